#include "convert/fuzz_entries.h"

#include <string_view>

#include "convert/big5.h"
#include "convert/book.h"
#include "convert/convert.h"
#include "convert/ebook_check.h"
#include "convert/encoding.h"
#include "convert/html.h"
#include "convert/layout.h"

namespace quirel::convert {
namespace {

std::string_view View(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Rows as the reader reads them: every byte where it belongs.
const char* CheckRows(const std::string& rows, int width) {
  return CheckEbookRows(rows, width, 1).empty() ? nullptr : "the rows hold a fault the reader would show";
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
    if (const char* broken = CheckRows(LayoutParagraphs(paragraphs, width), width)) return broken;
  return nullptr;
}

}  // namespace

const char* FuzzTextCoding(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = View(data, size);
  const TextCoding coding = DetectCoding(bytes);
  const std::string rows = LayoutText(bytes, 16);
  if (coding == TextCoding::kBinary) return rows.empty() ? nullptr : "a file of no text gave rows";
  if (coding == TextCoding::kLegacy && SourceIsBig5(bytes)) {
    // Big5 rows are recoded to GB before they travel.
    const std::vector<std::uint8_t> big5(rows.begin(), rows.end());
    std::vector<std::uint8_t> gb;
    RecodeBig5(big5, gb);
    return CheckRows(std::string(gb.begin(), gb.end()), 16);
  }
  const TextCoding source = coding == TextCoding::kLegacy ? TextCoding::kGb18030 : coding;
  if (const char* broken = CheckGbText(TranscodeToGb(bytes, source, SampleIsTraditional(bytes, source)))) return broken;
  return CheckRows(rows, 16);
}

const char* FuzzWebPage(const std::uint8_t* data, std::size_t size) {
  const std::string page(View(data, size));
  for (const char c : MetaCharset(page))
    if (c >= 'A' && c <= 'Z') return "a declared charset is not lower-cased";
  RowCoding coding = RowCoding::kAsk;
  const std::string prepared = PreparePage(page, coding);
  bool nonStandard = false;
  const std::string kept = StripHtmlText(prepared, nonStandard);
  for (const int width : {16, 20}) {
    const std::string rows = LayoutStrippedHtml(kept, width, coding == RowCoding::kGb);
    if (rows.size() % static_cast<std::size_t>(width) != 0) return "rows are not whole rows of the font width";
    // Pages recoded to the reader's characters give rows it reads right;
    // Big5 pages are recoded with their rows, others are bytes as they came.
    if (coding == RowCoding::kGb)
      if (const char* broken = CheckRows(rows, width)) return broken;
  }
  return nullptr;
}

const char* FuzzEpub(const std::uint8_t* data, std::size_t size) { return Book(kEpub, data, size); }
const char* FuzzFb2(const std::uint8_t* data, std::size_t size) { return Book(kFb2, data, size); }
const char* FuzzMobi(const std::uint8_t* data, std::size_t size) { return Book(kMobi, data, size); }
const char* FuzzPdf(const std::uint8_t* data, std::size_t size) { return Book(kPdf, data, size); }
const char* FuzzMarkdown(const std::uint8_t* data, std::size_t size) { return Book(kMarkdown, data, size); }
const char* FuzzDocx(const std::uint8_t* data, std::size_t size) { return Book(kDocx, data, size); }
const char* FuzzOdt(const std::uint8_t* data, std::size_t size) { return Book(kOdt, data, size); }

}  // namespace quirel::convert
