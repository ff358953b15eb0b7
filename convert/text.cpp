// Text documents to rows, the classification by name, and the conversions
// that the send and the preview run.
#include <filesystem>
#include <new>
#include <fstream>
#include <string_view>
#include <system_error>

#include "common/text.h"
#include "convert/book.h"
#include "convert/byte_source.h"
#include "convert/convert.h"
#include "convert/encoding.h"
#include "convert/layout.h"
#include "resources/messages.h"

namespace quirel::convert {

namespace fs = std::filesystem;

namespace {

constexpr const char* kWordWorkFolder = "wordwork";

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

bool EndsWith(const std::string& text, std::string_view tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool CopyOver(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  return !ec;
}

// Copies the work file that CheckTextCode named over the preview file.
ConvertResult CopyResult(Context& ctx, TextCode checked) {
  const std::string from = ctx.env.WorkFile(checked == TextCode::kRecoded ? kRecodedWork : kEbookWork);
  return CopyOver(from, ctx.env.WorkFile(kPreviewFile)) ? ConvertResult::kDone : ConvertResult::kFailed;
}

}  // namespace

FileKind ClassifyName(const std::string& lowerName) {
  const std::size_t dot = lowerName.rfind('.');
  const std::string extension = dot == std::string::npos ? std::string() : lowerName.substr(dot + 1);
  if (extension == "epub") return kEpub;
  if (extension == "fb2" || EndsWith(lowerName, ".fb2.zip")) return kFb2;
  if (extension == "mobi" || extension == "azw" || extension == "azw3") return kMobi;
  if (extension == "pdf") return kPdf;
  if (extension == "md" || extension == "markdown") return kMarkdown;
  // Before the substring tests, which take ".docx" for ".doc".
  if (extension == "docx") return kDocx;
  if (extension == "odt") return kOdt;
  FileKind kind = kOther;
  if (Contains(lowerName, ".txt") || Contains(lowerName, ".md") || Contains(lowerName, ".markdown")) kind = kText;
  if (Contains(lowerName, ".htm") || Contains(lowerName, ".xhtml")) kind = kWebPage;  // ".html" contains ".htm"
  if (Contains(lowerName, ".doc") || Contains(lowerName, ".rtf") || Contains(lowerName, ".odt") ||
      Contains(lowerName, ".wps"))
    kind = kWordDocument;
  if (Contains(lowerName, ".ebk")) kind = kEbook;
  return kind;
}

bool IsBookKind(FileKind kind) {
  return kind == kEpub || kind == kFb2 || kind == kMobi || kind == kPdf || kind == kMarkdown || kind == kDocx ||
         kind == kOdt;
}

ConvertResult TextToEbook(Context& ctx, const std::string& path) {
  RowCoding rows = RowCoding::kAsk;
  return TextToEbook(ctx, path, rows);
}

ConvertResult TextToEbook(Context& ctx, const std::string& path, RowCoding& coding) {
  coding = RowCoding::kAsk;
  if (!ValidRowWidth(ctx.rowWidth)) return ConvertResult::kFailed;
  std::error_code ec;
  if (fs::is_directory(path, ec)) return ConvertResult::kFailed;
  FileSource raw(path);
  if (!raw.IsOpen()) return ConvertResult::kFailed;
  TextCoding textCoding = DetectFileCoding(path);
  if (textCoding == TextCoding::kBinary) {
    // Its bytes as rows would be garbage on the reader.
    ShowDocumentMessage(ctx, path, msg::kNotTextSuffix);
    return ConvertResult::kFailed;
  }
  FileRowSink rows(ctx.env.WorkFile(kEbookWork));
  if (!rows.ok()) {
    ctx.ui.ShowMessage(msg::kNoDiskSpace1, msg::kCaption, Icon::Error);
    return ConvertResult::kFailed;
  }
  std::string sample(kReadBlock * 4, '\0');
  {
    std::ifstream in(path, std::ios::binary);
    in.read(sample.data(), static_cast<std::streamsize>(sample.size()));
    sample.resize(static_cast<std::size_t>(in.gcount()));
  }
  // GB text goes through its characters like Unicode text: extension
  // characters take their simplified twins, and Traditional text is
  // simplified. Only Big5 rows are laid out as bytes and recoded after.
  if (textCoding == TextCoding::kLegacy && !SourceIsBig5(sample)) textCoding = TextCoding::kGb18030;
  if (textCoding == TextCoding::kLegacy) {
    CrLfSource lines(raw);
    LayoutTextStream(lines, ctx.rowWidth, rows);
  } else {
    UnicodeToGbSource gb(raw, textCoding, SampleIsTraditional(sample, textCoding));
    CrLfSource lines(gb);
    LayoutTextStream(lines, ctx.rowWidth, rows);
    coding = RowCoding::kGb;
  }
  if (!rows.Close()) {
    // A full disk must not pass a cut-off book on as complete.
    ctx.ui.ShowMessage(msg::kNoDiskSpace1, msg::kCaption, Icon::Error);
    return ConvertResult::kFailed;
  }
  return ConvertResult::kDone;
}

std::string TextPathFor(const std::string& documentPath) {
  const std::size_t slash = documentPath.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = documentPath.rfind('.');
  if (dot == std::string::npos || dot < nameStart) return documentPath + ".txt";
  return documentPath.substr(0, dot) + ".txt";
}

namespace {

ConvertResult ConvertForSendUnguarded(Context& ctx, const std::string& path, FileKind kind, std::string& sendPath) {
  if (kind == kEbook) {
    sendPath = path;
    return ConvertResult::kDone;
  }
  RowCoding coding = RowCoding::kGb;
  ConvertResult converted;
  if (IsBookKind(kind))
    converted = BookToEbook(ctx, path, kind);
  else if (kind == kWebPage)
    converted = HtmlTextToEbook(ctx, path, coding);
  else
    converted = TextToEbook(ctx, path, coding);
  if (converted != ConvertResult::kDone) return ConvertResult::kFailed;
  const TextCode checked = CheckTextCode(ctx, coding);
  if (checked == TextCode::kFailed) return ConvertResult::kFailed;
  sendPath = ctx.env.WorkFile(checked == TextCode::kRecoded ? kRecodedWork : kEbookWork);
  return ConvertResult::kDone;
}

}  // namespace

ConvertResult ConvertForSend(Context& ctx, const std::string& path, FileKind kind, std::string& sendPath) {
  try {
    return ConvertForSendUnguarded(ctx, path, kind, sendPath);
  } catch (const std::bad_alloc&) {
    // More than the memory holds, or made to exhaust it: this file fails as
    // a damaged one, and whatever else is to go goes on.
    ShowDocumentMessage(ctx, path, msg::kBrokenDocumentSuffix);
    return ConvertResult::kFailed;
  }
}

std::string WordWorkCopy(Context& ctx, const std::string& documentPath) {
  const fs::path folder = fs::path(ctx.env.WorkDir()) / kWordWorkFolder;
  std::error_code ec;
  fs::create_directories(folder, ec);
  const fs::path copy = folder / fs::path(documentPath).filename();
  fs::remove(TextPathFor(copy.string()), ec);
  ec.clear();
  fs::copy_file(documentPath, copy, fs::copy_options::overwrite_existing, ec);
  if (ec) return {};
  return copy.string();
}

void RemoveWordWorkCopy(const std::string& copyPath) {
  if (copyPath.empty()) return;
  std::error_code ec;
  fs::remove(TextPathFor(copyPath), ec);
  fs::remove(copyPath, ec);
}

ConvertResult ConvertForPreview(Context& ctx, const std::string& path) {
  std::error_code ec;
  fs::remove(ctx.env.WorkFile(kPreviewFile), ec);

  const std::string name = LowerAscii(fs::path(path).filename().string());
  FileKind kind = ClassifyName(name);
  if (Contains(name, "~$")) kind = kOther;  // a word processor's lock file

  switch (kind) {
    case kWebPage:
    case kEpub:
    case kFb2:
    case kMobi:
    case kPdf:
    case kMarkdown:
    case kDocx:
    case kOdt: {
      std::string converted;
      if (ConvertForSend(ctx, path, kind, converted) != ConvertResult::kDone) return ConvertResult::kFailed;
      return CopyOver(converted, ctx.env.WorkFile(kPreviewFile)) ? ConvertResult::kDone : ConvertResult::kFailed;
    }
    case kWordDocument: {
      if (!WordInstalled()) {
        ctx.ui.ShowMessage(msg::kNoWordConvert, msg::kCaption, Icon::Information);
        return ConvertResult::kFailed;
      }
      // The text is made beside a copy, so that a text file of the same name
      // next to the document is neither overwritten nor deleted.
      const std::string copy = WordWorkCopy(ctx, path);
      if (copy.empty()) return ConvertResult::kFailed;
      if (WordToText(ctx, copy) != ConvertResult::kDone) {
        RemoveWordWorkCopy(copy);
        return ConvertResult::kFailed;
      }
      ConvertResult result = ConvertResult::kFailed;
      if (TextToEbook(ctx, TextPathFor(copy)) == ConvertResult::kDone) {
        const TextCode checked = CheckTextCode(ctx);
        if (checked != TextCode::kFailed) result = CopyResult(ctx, checked);
      }
      RemoveWordWorkCopy(copy);
      return result;
    }
    case kEbook:
      return CopyOver(path, ctx.env.WorkFile(kPreviewFile)) ? ConvertResult::kDone : ConvertResult::kFailed;
    default: {
      std::string converted;
      if (ConvertForSend(ctx, path, kText, converted) != ConvertResult::kDone) return ConvertResult::kFailed;
      return CopyOver(converted, ctx.env.WorkFile(kPreviewFile)) ? ConvertResult::kDone : ConvertResult::kFailed;
    }
  }
}

}  // namespace quirel::convert
