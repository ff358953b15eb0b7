#include "convert/fuzz_entries.h"

#include <string_view>

#include "convert/book.h"
#include "convert/html.h"
#include "convert/layout.h"

namespace quirel::convert {
namespace {

std::string_view View(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

int Book(FileKind kind, const std::uint8_t* data, std::size_t size) {
  Paragraphs paragraphs;
  ReadBook(kind, View(data, size), paragraphs);
  LayoutParagraphs(paragraphs, 20);
  return 0;
}

}  // namespace

int FuzzTextCoding(const std::uint8_t* data, std::size_t size) {
  LayoutText(View(data, size), 16);
  return 0;
}

int FuzzWebPage(const std::uint8_t* data, std::size_t size) {
  bool nonStandard = false;
  LayoutStrippedHtml(StripHtmlText(PreparePage(std::string(View(data, size))), nonStandard), 20);
  return 0;
}

int FuzzEpub(const std::uint8_t* data, std::size_t size) { return Book(kEpub, data, size); }
int FuzzFb2(const std::uint8_t* data, std::size_t size) { return Book(kFb2, data, size); }
int FuzzMobi(const std::uint8_t* data, std::size_t size) { return Book(kMobi, data, size); }
int FuzzPdf(const std::uint8_t* data, std::size_t size) { return Book(kPdf, data, size); }

}  // namespace quirel::convert
