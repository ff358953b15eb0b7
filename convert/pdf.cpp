// PDF through poppler: each page's text in reading order, which poppler
// gives as lines grouped in blocks (an empty line between two); a block is
// one paragraph.
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <memory>

#include "convert/book.h"

namespace quirel::convert {
namespace {

void Quiet(const std::string&, void*) {}

void AddBlocks(const std::string& text, Paragraphs& out) {
  std::vector<std::string> lines;
  auto endBlock = [&] {
    AddParagraph(out, JoinLines(lines));
    lines.clear();
  };
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    const bool pageEnd = !line.empty() && line.front() == '\f';
    if (pageEnd) line.erase(0, 1);
    if (line.empty() || pageEnd) endBlock();
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  endBlock();
}

}  // namespace

BookStatus ReadPdf(std::string_view bytes, Paragraphs& out) {
  // Damaged files make poppler talk on standard error; the message box says it.
  poppler::set_debug_error_function(Quiet, nullptr);
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT32_MAX)) return BookStatus::kBroken;
  std::unique_ptr<poppler::document> doc(
      poppler::document::load_from_raw_data(bytes.data(), static_cast<int>(bytes.size())));
  if (!doc) return BookStatus::kBroken;
  if (doc->is_locked()) return BookStatus::kProtected;
  for (int i = 0; i < doc->pages(); ++i) {
    std::unique_ptr<poppler::page> page(doc->create_page(i));
    if (!page) continue;
    const poppler::byte_array utf8 = page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout).to_utf8();
    AddBlocks(std::string(utf8.begin(), utf8.end()), out);
  }
  return BookStatus::kOk;
}

}  // namespace quirel::convert
