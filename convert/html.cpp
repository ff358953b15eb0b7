// Web pages to rows in two passes: the markup is thinned out on the whole
// page (comments, scripts, styles and long tags go, short tags stay as marks
// of structure), then the kept text is laid out with tags as paragraph breaks
// and entities as one blank column.
#include "convert/html.h"

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "common/text.h"
#include "convert/byte_source.h"
#include "convert/convert.h"
#include "convert/encoding.h"
#include "convert/layout.h"
#include "resources/messages.h"

namespace quirel::convert {
namespace {

using Pos = long long;  // -1: not found

class Page {
 public:
  explicit Page(const std::string& text) : text_(text), n_(static_cast<Pos>(text.size())) {}
  Pos size() const { return n_; }
  char at(Pos i) const { return text_[static_cast<std::size_t>(i)]; }

  Pos Find(char ch, Pos from) const {
    if (from < 0 || from >= n_) return -1;
    const std::size_t k = text_.find(ch, static_cast<std::size_t>(from));
    return k == std::string::npos ? -1 : static_cast<Pos>(k);
  }
  Pos Find(std::string_view word, Pos from) const {
    if (from < 0 || from >= n_) return -1;
    const std::size_t k = text_.find(word, static_cast<std::size_t>(from));
    return k == std::string::npos ? -1 : static_cast<Pos>(k);
  }
  bool StartsAt(Pos i, std::string_view word) const {
    return i >= 0 && text_.compare(static_cast<std::size_t>(i), word.size(), word) == 0;
  }
  // The bytes from a to b inclusive.
  std::string_view Span(Pos a, Pos b) const {
    if (a < 0 || b < a || a >= n_) return {};
    return std::string_view(text_).substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a + 1));
  }

 private:
  const std::string& text_;
  Pos n_;
};

}  // namespace

std::string StripHtmlText(const std::string& lowered, bool& nonStandard) {
  nonStandard = false;
  const Page page(lowered);
  std::string kept;
  Pos pos = 0;
  int passes = 0;
  while (pos < page.size() - 1) {
    ++passes;
    if (passes > 1 && pos == 0) {
      // A search failed and wrapped to the start.
      nonStandard = true;
      break;
    }
    const Pos t = page.Find('<', pos);
    // No tag left (the rest follows a comment, script or style block):
    // nothing more is kept.
    if (t < 0) break;
    Pos e = page.Find('>', t);
    Pos v = page.Find('<', t + 1);
    if (v < 0) {
      // The last tag: only the text after it counts.
      if (e >= 0) kept.append(page.Span(e + 1, page.size() - 1));
      break;
    }
    if (page.StartsAt(t, "<!--")) {
      e = page.Find("-->", t + 3);
      if (e < 0) e = page.Find("--!>", t + 3);
      pos = e;
    } else if (page.StartsAt(t, "<script")) {
      e = page.Find("</script>", t + 3);
      // An end tag inside a quoted string of the script does not end it.
      while (e >= 1 && page.at(e - 1) == '\'') e = page.Find("</script>", e + 7);
      pos = e;
    } else if (page.StartsAt(t, "<style")) {
      e = page.Find("</style>", t + 3);
      pos = e;
    } else if (!(t >= 1 && page.at(t - 1) == '\'')) {
      // Another "<" before this tag closes: chase the pair a few times.
      bool last = false;
      for (int k = 0; k < 6 && e >= 0 && v < e; ++k) {
        e = page.Find('>', e + 1);
        v = page.Find('<', v + 1);
        if (v < 0) {
          last = true;
          break;
        }
      }
      pos = e;
      if (e >= 0) {
        if (e - t + 1 <= 9) kept.append(page.Span(t, e));
        if (last) {
          kept.append(page.Span(e + 1, page.size() - 1));
          break;
        }
        if (v > e + 1) kept.append(page.Span(e + 1, v - 1));
      }
    }
    ++pos;
  }
  return kept;
}

bool ReadPage(const std::string& path, std::string& page) {
  page.clear();
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  in.seekg(0);
  page.resize(static_cast<std::size_t>(size));
  if (size > 0 && !in.read(page.data(), size)) {
    page.clear();
    return false;
  }
  return true;
}

namespace {

bool IsOneOf(const std::string& name, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names)
    if (name == n) return true;
  return false;
}

// The page in the reader's GB characters, by the charset it declares or, when
// it declares none that decides, by its bytes.
std::string PageToGb(std::string page, RowCoding& coding) {
  coding = RowCoding::kAsk;
  const TextCoding byShape = DetectCoding(std::string_view(page).substr(0, std::size_t{64} * 1024));
  if (byShape == TextCoding::kUtf16Le || byShape == TextCoding::kUtf16Be ||
      (byShape == TextCoding::kUtf8 && page.rfind("\xEF\xBB\xBF", 0) == 0)) {
    // A byte-order mark or UTF-16's shape outranks a declaration.
    coding = RowCoding::kGb;
    return TranscodeToGb(page, byShape, SampleIsTraditional(page, byShape));
  }
  const std::size_t nul = page.find('\0');
  if (nul != std::string::npos) page.resize(nul);
  const std::string declared = MetaCharset(page);
  TextCoding textCoding = TextCoding::kLegacy;
  if (IsOneOf(declared, {"utf-8", "utf8"})) {
    textCoding = TextCoding::kUtf8;
  } else if (IsOneOf(declared,
                     {"gb18030", "gb2312", "gbk", "x-gbk", "cp936", "windows-936", "euc-cn", "x-euc-cn", "chinese"})) {
    // Declared GB (GB18030 holds every other GB coding): its rows are never
    // taken for Big5.
    textCoding = TextCoding::kGb18030;
  } else if (IsOneOf(declared, {"big5", "x-big5", "cp950", "windows-950", "big5-hkscs"})) {
    coding = RowCoding::kBig5;
    return page;
  } else {
    textCoding = DetectCoding(page);
    if (textCoding == TextCoding::kBinary) textCoding = TextCoding::kLegacy;  // cut at its first 0x00 as ever
  }
  // GB pages go through their characters as Unicode pages do; Big5 pages
  // stay bytes, recoded with their rows.
  if (textCoding == TextCoding::kLegacy && !SourceIsBig5(page)) textCoding = TextCoding::kGb18030;
  if (textCoding == TextCoding::kLegacy) return page;
  coding = RowCoding::kGb;
  return TranscodeToGb(page, textCoding, SampleIsTraditional(page, textCoding));
}

}  // namespace

std::string PreparePage(std::string page, RowCoding& coding) {
  return LowerMultibyte(PageToGb(std::move(page), coding));
}

std::string PreparePage(std::string page) {
  RowCoding coding;
  return PreparePage(std::move(page), coding);
}

int StripHtml(Context& ctx, const std::string& path) {
  RowCoding coding;
  return StripHtml(ctx, path, coding);
}

int StripHtml(Context& ctx, const std::string& path, RowCoding& coding) {
  coding = RowCoding::kAsk;
  std::string raw;
  // A page that cannot be read fails; a page whose text happens to be
  // "error" is converted like any other.
  if (!ReadPage(path, raw)) return 0;
  bool nonStandard = false;
  const std::string kept = StripHtmlText(PreparePage(std::move(raw), coding), nonStandard);
  if (nonStandard) ctx.ui.ShowMessage(msg::kHtmlNonStandard, msg::kCaptionFramework, Icon::None);

  std::FILE* f = std::fopen(ctx.env.WorkFile(kHtmlWork).c_str(), "wb");
  bool written = f != nullptr;
  if (f != nullptr) {
    if (!kept.empty() && std::fwrite(kept.data(), 1, kept.size(), f) != kept.size()) written = false;
    if (std::fclose(f) != 0) written = false;
  }
  if (!written) {
    ctx.ui.ShowMessage(msg::kHtmlDiskFull, msg::kCaption, Icon::Error);
    return 0;
  }
  return 1;
}

ConvertResult HtmlTextToEbook(Context& ctx, const std::string& path) {
  RowCoding coding;
  return HtmlTextToEbook(ctx, path, coding);
}

ConvertResult HtmlTextToEbook(Context& ctx, const std::string& path, RowCoding& coding) {
  coding = RowCoding::kAsk;
  if (!ValidRowWidth(ctx.rowWidth)) return ConvertResult::kFailed;
  const std::string openFailed = std::string(msg::kOpenFilePrefix) + path + std::string(msg::kOpenFileSuffix);
  if (StripHtml(ctx, path, coding) == 0) {
    ctx.ui.ShowMessage(openFailed, msg::kCaption, Icon::Error);
    return ConvertResult::kFailed;
  }
  FileSource kept(ctx.env.WorkFile(kHtmlWork));
  if (!kept.IsOpen()) {
    ctx.ui.ShowMessage(openFailed, msg::kCaption, Icon::Error);
    return ConvertResult::kFailed;
  }
  FileRowSink rows(ctx.env.WorkFile(kEbookWork));
  if (!rows.ok()) {
    ctx.ui.ShowMessage(msg::kNoDiskSpace2, msg::kCaption, Icon::Error);
    return ConvertResult::kFailed;
  }
  // Pages said to be GB were recoded to the reader's forms on the way.
  LayoutHtmlStream(kept, ctx.rowWidth, rows, coding == RowCoding::kGb);
  if (!rows.Close()) {
    ctx.ui.ShowMessage(msg::kNoDiskSpace2, msg::kCaption, Icon::Error);
    return ConvertResult::kFailed;
  }
  return ConvertResult::kDone;
}

}  // namespace quirel::convert
