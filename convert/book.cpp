#include "convert/book.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <system_error>

#include "convert/byte_source.h"
#include "convert/encoding.h"
#include "convert/layout.h"
#include "resources/messages.h"

namespace quirel::convert {
namespace {

namespace fs = std::filesystem;

bool NameIs(const xmlNode* node, std::initializer_list<const char*> names) {
  const char* name = reinterpret_cast<const char*>(node->name);
  for (const char* n : names)
    if (std::strcmp(name, n) == 0) return true;
  return false;
}

// Walks parsed markup, gathering the text of each block.
class MarkupWalker {
 public:
  explicit MarkupWalker(Paragraphs& out) : out_(out) {}

  void Walk(const xmlNode* node) {
    for (; node != nullptr; node = node->next) {
      if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
        Text(reinterpret_cast<const char*>(node->content));
        continue;
      }
      if (node->type != XML_ELEMENT_NODE) continue;
      // Nothing of these reaches the reader: metadata, code, pictures.
      if (NameIs(node, {"head", "script", "style", "title", "noscript", "svg", "math", "img", "image", "object",
                        "embed", "video", "audio", "iframe", "template", "select", "button"}))
        continue;
      if (NameIs(node, {"br"})) {
        Flush();
        continue;
      }
      if (NameIs(node, {"td", "th"})) current_ += ' ';
      const bool block =
          NameIs(node, {"p",       "div",     "h1",      "h2",         "h3",       "h4",     "h5",           "h6",
                        "li",      "dt",      "dd",      "blockquote", "pre",      "tr",     "table",        "section",
                        "article", "header",  "footer",  "aside",      "nav",      "figure", "figcaption",   "hr",
                        "ul",      "ol",      "dl",      "address",    "center",   "body",   "main",         "hgroup",
                        "details", "summary", "caption", "form",       "fieldset", "legend", "mbp:pagebreak"});
      const bool pre = NameIs(node, {"pre"});
      if (block) Flush();
      if (pre) ++pre_;
      Walk(node->children);
      if (pre) --pre_;
      if (block) Flush();
    }
  }
  void Flush() {
    AddParagraph(out_, current_);
    current_.clear();
  }

 private:
  void Text(const char* text) {
    if (text == nullptr) return;
    if (pre_ == 0) {
      current_ += text;
      return;
    }
    // Preformatted text keeps its lines.
    for (const char* p = text; *p != '\0'; ++p) {
      if (*p == '\n')
        Flush();
      else
        current_ += *p;
    }
  }

  Paragraphs& out_;
  std::string current_;
  int pre_ = 0;
};

bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Full-width letters and Han characters join across a line end without a blank.
bool IsWide(std::uint32_t cp) { return cp >= 0x2E80 && cp <= 0xFFEF && !(cp >= 0xD800 && cp <= 0xF8FF); }

std::uint32_t LastCodePoint(std::string_view s) {
  if (s.empty()) return 0;
  std::size_t i = s.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
  std::uint32_t cp = 0;
  return DecodeUtf8(reinterpret_cast<const std::uint8_t*>(s.data()) + i, s.size() - i, cp) > 0 ? cp : 0;
}

std::uint32_t FirstCodePoint(std::string_view s) {
  std::uint32_t cp = 0;
  if (s.empty()) return 0;
  return DecodeUtf8(reinterpret_cast<const std::uint8_t*>(s.data()), s.size(), cp) > 0 ? cp : 0;
}

std::string DocumentMessage(const std::string& path, std::string_view reason) {
  return std::string(msg::kDocumentPrefix) + path + std::string(reason);
}

bool ReadWhole(const std::string& path, std::string& bytes) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// The book's paragraphs, or false with its message shown.
bool ReadBookFile(Context& ctx, const std::string& path, FileKind kind, Paragraphs& paragraphs) {
  BookStatus status = BookStatus::kBroken;
  try {
    std::string bytes;
    if (!ReadWhole(path, bytes)) return false;  // as a text that cannot be opened: no message
    status = ReadBook(kind, bytes, paragraphs);
  } catch (const std::bad_alloc&) {
    Paragraphs().swap(paragraphs);  // a book beyond the memory there is reads as damaged
  }
  switch (status) {
    case BookStatus::kOk:
      return true;
    case BookStatus::kProtected:
      ShowDocumentMessage(ctx, path, msg::kProtectedDocumentSuffix);
      return false;
    case BookStatus::kNoText:
      ShowDocumentMessage(ctx, path, msg::kNoTextDocumentSuffix);
      return false;
    case BookStatus::kBroken:
      break;
  }
  ShowDocumentMessage(ctx, path, msg::kBrokenDocumentSuffix);
  return false;
}

}  // namespace

void AddParagraph(Paragraphs& out, std::string_view text) {
  std::string folded;
  folded.reserve(text.size());
  bool space = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // The no-break space folds like any blank.
    const bool nbsp = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xA0;
    if (IsSpace(c) || nbsp) {
      if (nbsp) ++i;
      space = !folded.empty();
      continue;
    }
    if (space) folded += ' ';
    space = false;
    folded += static_cast<char>(c);
  }
  // Ideographic blanks that indent a paragraph: the layout indents it anyway.
  static constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
  std::string_view kept(folded);
  while (kept.substr(0, 3) == kIdeographicSpace || (!kept.empty() && kept.front() == ' '))
    kept.remove_prefix(kept.front() == ' ' ? 1 : 3);
  // A blank before a trailing ideographic one goes with it.
  while (!kept.empty() && (kept.back() == ' ' || kept.ends_with(kIdeographicSpace)))
    kept.remove_suffix(kept.back() == ' ' ? 1 : 3);
  if (!kept.empty()) out.emplace_back(kept);
}

bool MarkupParagraphs(std::string_view markup, const char* encoding, Paragraphs& out) {
  if (markup.empty() || markup.size() > static_cast<std::size_t>(INT32_MAX)) return true;
  const std::unique_ptr<htmlParserCtxt, decltype(&htmlFreeParserCtxt)> ctxt(htmlNewParserCtxt(), htmlFreeParserCtxt);
  if (!ctxt) return false;
  htmlDocPtr doc = htmlCtxtReadMemory(
      ctxt.get(), markup.data(), static_cast<int>(markup.size()), nullptr, encoding,
      HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET | HTML_PARSE_COMPACT);
  // In recovery only stopping for good disables the callbacks.
  const bool whole = ctxt->disableSAX == 0;
  if (doc == nullptr) return whole;
  MarkupParagraphs(xmlDocGetRootElement(doc), out);
  xmlFreeDoc(doc);
  return whole;
}

void MarkupParagraphs(const xmlNode* root, Paragraphs& out) {
  MarkupWalker walker(out);
  walker.Walk(root);
  walker.Flush();
}

std::string ParagraphsToGb(const Paragraphs& paragraphs) {
  ScriptCount count;
  for (const std::string& p : paragraphs) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(p.data());
    for (std::size_t i = 0; i < p.size();) {
      std::uint32_t cp = 0;
      const int len = DecodeUtf8(bytes + i, p.size() - i, cp);
      if (len <= 0) {
        ++i;
        continue;
      }
      count.Add(cp);
      i += static_cast<std::size_t>(len);
    }
  }
  const bool traditional = count.Traditional();
  std::string text;
  for (const std::string& p : paragraphs) {
    if (!text.empty()) text += "\r\n\r\n";
    text += TranscodeToGb(p, TextCoding::kUtf8, traditional);
  }
  return text;
}

std::string LayoutParagraphs(const Paragraphs& paragraphs, int width) {
  const std::string text = ParagraphsToGb(paragraphs);
  StringSource in(text);
  StringRowSink sink;
  LayoutTextStream(in, width, sink);
  return sink.out;
}

void ShowDocumentMessage(Context& ctx, const std::string& path, std::string_view reason) {
  ctx.ui.ShowMessage(DocumentMessage(path, reason), msg::kCaption, Icon::Error);
}

BookStatus ReadBook(FileKind kind, std::string_view bytes, Paragraphs& out) {
  const std::size_t before = out.size();
  BookStatus status = BookStatus::kBroken;
  switch (kind) {
    case kEpub:
      status = ReadEpub(bytes, out);
      break;
    case kFb2:
      status = ReadFb2(bytes, out);
      break;
    case kMobi:
      status = ReadMobi(bytes, out);
      break;
    case kPdf:
      status = ReadPdf(bytes, out);
      break;
    case kMarkdown:
      status = ReadMarkdown(bytes, out);
      break;
    case kDocx:
      status = ReadDocx(bytes, out);
      break;
    case kOdt:
      status = ReadOdt(bytes, out);
      break;
    default:
      break;
  }
  if (status == BookStatus::kOk && out.size() == before) status = BookStatus::kNoText;
  std::size_t size = 0;
  for (std::size_t k = before; k < out.size(); ++k) size += out[k].size() + 1;
  if (status == BookStatus::kOk && size > kMaxBookText) status = BookStatus::kBroken;
  return status;
}

ConvertResult BookToEbook(Context& ctx, const std::string& path, FileKind kind) {
  if (!ValidRowWidth(ctx.rowWidth)) return ConvertResult::kFailed;
  Paragraphs paragraphs;
  if (!ReadBookFile(ctx, path, kind, paragraphs)) return ConvertResult::kFailed;
  const std::string text = ParagraphsToGb(paragraphs);
  FileRowSink rows(ctx.env.WorkFile(kEbookWork));
  if (!rows.ok()) {
    ctx.ui.ShowMessage(msg::kNoDiskSpace1, msg::kCaption, Icon::Error);
    return ConvertResult::kFailed;
  }
  StringSource in(text);
  LayoutTextStream(in, ctx.rowWidth, rows);
  if (!rows.Close()) {
    ctx.ui.ShowMessage(msg::kNoDiskSpace1, msg::kCaption, Icon::Error);
    return ConvertResult::kFailed;
  }
  return ConvertResult::kDone;
}

ConvertResult BookToText(Context& ctx, const std::string& path, FileKind kind, std::string& utf8) {
  utf8.clear();
  Paragraphs paragraphs;
  if (!ReadBookFile(ctx, path, kind, paragraphs)) return ConvertResult::kFailed;
  for (const std::string& p : paragraphs) {
    if (!utf8.empty()) utf8 += "\n\n";
    utf8 += p;
  }
  return ConvertResult::kDone;
}

// Shared by the PDF reader: lines of one block joined into one paragraph.
std::string JoinLines(const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) {
    if (!joined.empty() && !line.empty() && !JoinsWithoutBlank(joined, line)) joined += ' ';
    joined += line;
  }
  return joined;
}

bool JoinsWithoutBlank(std::string_view before, std::string_view after) {
  return IsWide(LastCodePoint(before)) && IsWide(FirstCodePoint(after));
}

}  // namespace quirel::convert
