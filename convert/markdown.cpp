// Markdown: md4c renders it to HTML (tables and strikethrough as on GitHub),
// whose text then becomes paragraphs as a book's chapter does. What md4c does
// not know is settled around it: a front matter block is dropped, a footnote
// definition becomes a paragraph of its text, and a reference to a footnote
// is dropped.
#include <md4c-html.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "convert/big5.h"
#include "convert/book.h"
#include "convert/convert.h"
#include "convert/encoding.h"

namespace quirel::convert {
namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::size_t kNone = std::string_view::npos;

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The line that starts at `at`, without its line end; `next` is where the
// line after it starts.
std::string_view LineAt(std::string_view text, std::size_t at, std::size_t& next) {
  const std::size_t end = std::min(text.find('\n', at), text.size());
  next = end + 1;
  std::string_view line = text.substr(at, end - at);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// Where the text goes on after a front matter block (a first line "---" up
// to the next line "---" or "..."); 0 when it has none.
std::size_t AfterFrontMatter(std::string_view text) {
  std::size_t at = 0;
  if (TrimRight(LineAt(text, 0, at)) != "---") return 0;
  while (at < text.size()) {
    std::size_t next = 0;
    const std::string_view line = TrimRight(LineAt(text, at, next));
    if (line == "---" || line == "...") return std::min(next, text.size());
    at = next;
  }
  return 0;
}

// A fence of a code block: up to three blanks, then three or more ` or ~.
struct Fence {
  char mark = 0;
  std::size_t length = 0;  // 0: the line is no fence
  bool bare = false;       // nothing after the run: the line may close a block
};

Fence FenceOf(std::string_view line) {
  const std::size_t start = line.find_first_not_of(' ');
  if (start == kNone || start > 3 || (line[start] != '`' && line[start] != '~')) return {};
  const char mark = line[start];
  const std::size_t end = std::min(line.find_first_not_of(mark, start), line.size());
  if (end - start < 3) return {};
  return {mark, end - start, TrimRight(line).size() == end};
}

// The text of a footnote definition, "[^label]: text" after up to three blanks.
bool NoteText(std::string_view line, std::string_view& text) {
  const std::size_t start = line.find_first_not_of(' ');
  if (start == kNone || start > 3 || line.substr(start, 2) != "[^") return false;
  const std::size_t close = line.find(']', start + 2);
  if (close == kNone || line.substr(close + 1, 1) != ":") return false;
  text = line.substr(close + 2);
  return true;
}

// The Markdown as md4c is to read it: without its front matter, and each
// footnote definition a paragraph of its text, the lines indented below it
// included. Code blocks stay as they are.
std::string Prepare(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 64);
  Fence open;         // the code block's opening fence
  bool note = false;  // in a footnote definition
  bool gap = false;   // an empty line since it began
  for (std::size_t at = AfterFrontMatter(text), next = 0; at < text.size(); at = next) {
    std::string_view line = LineAt(text, at, next);
    std::string_view noteText;
    if (open.length > 0) {
      const Fence fence = FenceOf(line);
      if (fence.bare && fence.mark == open.mark && fence.length >= open.length) open = {};
    } else if (const Fence fence = FenceOf(line); fence.length > 0) {
      open = fence;
      note = false;
    } else if (NoteText(line, noteText)) {
      out += '\n';  // ends the paragraph above
      line = noteText;
      note = true;
      gap = false;
    } else if (note) {
      if (TrimRight(line).empty())
        gap = true;
      else if (kBlanks.find(line.front()) != kNone)
        line.remove_prefix(line.find_first_not_of(kBlanks));  // not a code block
      else if (gap)
        note = false;
    }
    out += line;
    out += '\n';
  }
  return out;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whether a tag, from its '<' on, opens or closes the named element.
bool TagIs(std::string_view tag, std::string_view name) {
  if (tag.size() < name.size() + 2) return false;
  for (std::size_t k = 0; k < name.size(); ++k) {
    const char c = tag[1 + k];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != name[k]) return false;
  }
  const char after = tag[1 + name.size()];
  return after == '>' || after == ' ' || after == '\t' || after == '\n' || after == '\r';
}

// The HTML after a line end, past the tags that follow it.
std::string_view TextAfter(std::string_view html, std::size_t at) {
  while (at < html.size() && html[at] == '<') {
    const std::size_t end = html.find('>', at);
    if (end == kNone) return {};
    at = end + 1;
  }
  return html.substr(at);
}

// md4c's HTML as the walker is to read it: outside code, footnote references
// ("[^label]") are dropped, and so is a line end between two Han or
// full-width characters, as Chinese wrapped in the source runs on without a
// blank.
std::string Tidy(std::string_view html) {
  std::string out;
  out.reserve(html.size());
  std::size_t textEnd = 0;  // in out, just after the last character of text
  int code = 0;             // open <pre> and <code> elements
  for (std::size_t i = 0; i < html.size();) {
    const char c = html[i];
    if (c == '<' && i + 1 < html.size() && (IsLetter(html[i + 1]) || html[i + 1] == '/' || html[i + 1] == '!')) {
      const std::size_t end = std::min(html.find('>', i), html.size() - 1);
      const std::string_view tag = html.substr(i, end + 1 - i);
      if (TagIs(tag, "/pre") || TagIs(tag, "/code"))
        code = std::max(code - 1, 0);
      else if (TagIs(tag, "pre") || TagIs(tag, "code"))
        ++code;
      out += tag;
      i = end + 1;
      continue;
    }
    if (code == 0 && html.substr(i, 2) == "[^") {
      const std::size_t close = html.find_first_of("] \t\r\n[<", i + 2);
      if (close != kNone && close > i + 2 && html[close] == ']') {
        i = close + 1;
        continue;
      }
    }
    if (code == 0 && c == '\n' && JoinsWithoutBlank(std::string_view(out).substr(0, textEnd), TextAfter(html, i + 1))) {
      ++i;
      continue;
    }
    out += c;
    textEnd = out.size();
    ++i;
  }
  return out;
}

// The Markdown's text as UTF-8; false for bytes that are no text.
bool Utf8Text(std::string_view bytes, std::string& text) {
  TextCoding coding = DetectCoding(bytes);
  if (coding == TextCoding::kBinary) return false;
  if (coding == TextCoding::kLegacy) {
    // Not UTF-8: Big5 when the text files' check says so, else GB18030 (of
    // which GBK and plain ASCII are part).
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (SourceIsBig5(bytes)) {
      std::vector<std::uint8_t> gb;
      RecodeBig5(std::vector<std::uint8_t>(data, data + bytes.size()), gb);
      text = ToUtf8(std::string_view(reinterpret_cast<const char*>(gb.data()), gb.size()), TextCoding::kLegacy);
      return true;
    }
    coding = TextCoding::kGb18030;
  }
  text = ToUtf8(bytes, coding);
  return true;
}

void Append(const MD_CHAR* text, MD_SIZE size, void* html) { static_cast<std::string*>(html)->append(text, size); }

}  // namespace

BookStatus ReadMarkdown(std::string_view bytes, Paragraphs& out) {
  // ICU and libxml2 take no more in one piece.
  if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) return BookStatus::kBroken;
  std::string html;
  {
    std::string text;
    if (!Utf8Text(bytes, text)) return BookStatus::kBroken;
    const std::string source = Prepare(text);
    if (source.size() > std::numeric_limits<MD_SIZE>::max()) return BookStatus::kBroken;
    html.reserve(source.size() + source.size() / 4);
    if (md_html(source.data(), static_cast<MD_SIZE>(source.size()), Append, &html, MD_DIALECT_GITHUB, 0) != 0)
      return BookStatus::kBroken;
  }
  MarkupParagraphs(Tidy(html), "UTF-8", out);
  return BookStatus::kOk;
}

}  // namespace quirel::convert
