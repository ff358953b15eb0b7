#include "convert/fuzz_entries.h"

#include <string_view>

#include "convert/book.h"
#include "convert/encoding.h"
#include "convert/html.h"
#include "convert/layout.h"

namespace quirel::convert {
namespace {

std::string_view View(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Rows of GB text only (no byte of its own above 0x7F): whole rows, and no
// double-byte character cut by a row's end.
const char* CheckGbRows(const std::string& rows, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (rows.size() % w != 0) return "rows are not whole rows of the font width";
  for (std::size_t row = 0; row < rows.size(); row += w) {
    std::size_t i = 0;
    while (i < w) i += static_cast<unsigned char>(rows[row + i]) >= 0x80 ? 2 : 1;
    if (i != w) return "a double-byte character is cut by the end of a row";
  }
  return nullptr;
}

// Text made from Unicode: ASCII, characters the reader's font shows, and the
// two (槃 and 卍) that the layout turns into the reader's own codes.
const char* CheckGbText(std::string_view gb) {
  for (std::size_t i = 0; i < gb.size(); ++i) {
    if (static_cast<unsigned char>(gb[i]) < 0x80) continue;
    if (i + 1 == gb.size()) return "transcoded text ends in half a character";
    const std::uint8_t pair[2] = {static_cast<std::uint8_t>(gb[i]), static_cast<std::uint8_t>(gb[i + 1])};
    const bool deviceCode = (pair[0] == 0x98 && pair[1] == 0x84) || (pair[0] == 0x85 && pair[1] == 0x64);
    if (!deviceCode && !GbFormShowable(pair)) return "transcoded text holds a character the reader cannot show";
    ++i;
  }
  return nullptr;
}

const char* Book(FileKind kind, const std::uint8_t* data, std::size_t size) {
  Paragraphs paragraphs;
  const BookStatus status = ReadBook(kind, View(data, size), paragraphs);
  if (status == BookStatus::kNoText && !paragraphs.empty()) return "a book without text gave paragraphs";
  if (status != BookStatus::kOk) return nullptr;  // refused: BookToEbook shows its message, no rows
  for (const std::string& p : paragraphs) {
    if (p.empty() || p.front() == ' ' || p.back() == ' ' || p.find("  ") != std::string::npos)
      return "a paragraph is empty or its blanks are not folded";
  }
  const std::string gb = ParagraphsToGb(paragraphs);
  if (const char* broken = CheckGbText(gb)) return broken;
  for (const int width : {16, 20})
    if (const char* broken = CheckGbRows(LayoutParagraphs(paragraphs, width), width)) return broken;
  return nullptr;
}

}  // namespace

const char* FuzzTextCoding(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = View(data, size);
  const TextCoding coding = DetectCoding(bytes);
  const std::string rows = LayoutText(bytes, 16);
  if (coding == TextCoding::kBinary) return rows.empty() ? nullptr : "a file of no text gave rows";
  if (rows.size() % 16 != 0) return "rows are not whole rows of the font width";
  if (coding == TextCoding::kLegacy) return nullptr;  // its own bytes, whatever they are
  if (const char* broken = CheckGbText(TranscodeToGb(bytes, coding, SampleIsTraditional(bytes, coding)))) return broken;
  return CheckGbRows(rows, 16);
}

const char* FuzzWebPage(const std::uint8_t* data, std::size_t size) {
  const std::string page(View(data, size));
  for (const char c : MetaCharset(page))
    if (c >= 'A' && c <= 'Z') return "a declared charset is not lower-cased";
  RowCoding coding = RowCoding::kAsk;
  const std::string prepared = PreparePage(page, coding);
  bool nonStandard = false;
  const std::string kept = StripHtmlText(prepared, nonStandard);
  for (const int width : {16, 20})
    if (LayoutStrippedHtml(kept, width).size() % static_cast<std::size_t>(width) != 0)
      return "rows are not whole rows of the font width";
  return nullptr;
}

const char* FuzzEpub(const std::uint8_t* data, std::size_t size) { return Book(kEpub, data, size); }
const char* FuzzFb2(const std::uint8_t* data, std::size_t size) { return Book(kFb2, data, size); }
const char* FuzzMobi(const std::uint8_t* data, std::size_t size) { return Book(kMobi, data, size); }
const char* FuzzPdf(const std::uint8_t* data, std::size_t size) { return Book(kPdf, data, size); }

}  // namespace quirel::convert
