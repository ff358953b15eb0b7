// Text documents to rows, the classification by name, and the conversions
// that the send and the preview run.
#include <filesystem>
#include <system_error>

#include "common/text.h"
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

bool CopyOver(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  return !ec;
}

// Copies the work file that CheckTextCode named over the preview file.
int CopyResult(Context& ctx, int checked) {
  const std::string from = ctx.env.SystemFile(checked == 2 ? kRecodedWork : kEbookWork);
  return CopyOver(from, ctx.env.SystemFile(kPreviewFile)) ? 0 : 1;
}

}  // namespace

FileKind ClassifyName(const std::string& lowerName) {
  FileKind kind = kOther;
  if (Contains(lowerName, ".txt")) kind = kText;
  if (Contains(lowerName, ".htm")) kind = kWebPage;  // ".html" contains ".htm"
  if (Contains(lowerName, ".doc") || Contains(lowerName, ".rtf") || Contains(lowerName, ".odt")) kind = kWordDocument;
  if (Contains(lowerName, ".ebk")) kind = kEbook;
  return kind;
}

int TextToEbook(Context& ctx, const std::string& path) {
  if (!ValidRowWidth(ctx.rowWidth)) return 1;
  std::error_code ec;
  if (fs::is_directory(path, ec)) return 1;
  FileSource raw(path);
  if (!raw.IsOpen()) return 1;
  FileRowSink rows(ctx.env.SystemFile(kEbookWork));
  if (!rows.ok()) {
    ctx.ui.ShowMessage(msg::kNoDiskSpace1, msg::kCaption, Icon::Error);
    return 1;
  }
  if (FileLooksLikeUtf8(path)) {
    Utf8ToGbkSource gbk(raw);
    CrLfSource lines(gbk);
    LayoutTextStream(lines, ctx.rowWidth, rows);
  } else {
    CrLfSource lines(raw);
    LayoutTextStream(lines, ctx.rowWidth, rows);
  }
  if (!rows.Close()) {
    // A full disk must not pass a cut-off book on as complete.
    ctx.ui.ShowMessage(msg::kNoDiskSpace1, msg::kCaption, Icon::Error);
    return 1;
  }
  return 0;
}

std::string TextPathFor(const std::string& documentPath) {
  const std::size_t slash = documentPath.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = documentPath.rfind('.');
  if (dot == std::string::npos || dot < nameStart) return documentPath + ".txt";
  return documentPath.substr(0, dot) + ".txt";
}

int ConvertForSend(Context& ctx, const std::string& path, FileKind kind, std::string& sendPath) {
  if (kind == kEbook) {
    sendPath = path;
    return 0;
  }
  const int converted = kind == kWebPage ? HtmlTextToEbook(ctx, path) : TextToEbook(ctx, path);
  if (converted != 0) return 1;
  const int checked = CheckTextCode(ctx);
  if (checked == 1) return 1;
  sendPath = ctx.env.SystemFile(checked == 2 ? kRecodedWork : kEbookWork);
  return 0;
}

std::string WordWorkCopy(Context& ctx, const std::string& documentPath) {
  const fs::path folder = fs::path(ctx.env.systemDir) / kWordWorkFolder;
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

int ConvertForPreview(Context& ctx, const std::string& path) {
  std::error_code ec;
  fs::remove(ctx.env.SystemFile(kPreviewFile), ec);

  const std::string name = LowerAscii(fs::path(path).filename().string());
  FileKind kind = ClassifyName(name);
  if (Contains(name, "~$")) kind = kOther;  // a word processor's lock file

  switch (kind) {
    case kWebPage: {
      if (HtmlTextToEbook(ctx, path) != 0) return 1;
      const int checked = CheckTextCode(ctx);
      if (checked == 1) return 1;
      return CopyResult(ctx, checked);
    }
    case kWordDocument: {
      if (!WordInstalled()) {
        ctx.ui.ShowMessage(msg::kNoWordConvert, msg::kCaption, Icon::Information);
        return 1;
      }
      // The text is made beside a copy, so that a text file of the same name
      // next to the document is neither overwritten nor deleted.
      const std::string copy = WordWorkCopy(ctx, path);
      if (copy.empty()) return 1;
      if (WordToText(ctx, copy) != 0) {
        RemoveWordWorkCopy(copy);
        return 1;
      }
      int result = 1;
      if (TextToEbook(ctx, TextPathFor(copy)) == 0) {
        const int checked = CheckTextCode(ctx);
        if (checked != 1) result = CopyResult(ctx, checked);
      }
      RemoveWordWorkCopy(copy);
      return result;
    }
    case kEbook:
      return CopyOver(path, ctx.env.SystemFile(kPreviewFile)) ? 0 : 1;
    default: {
      if (TextToEbook(ctx, path) != 0) return 1;
      const int checked = CheckTextCode(ctx);
      if (checked == 1) return 1;
      return CopyResult(ctx, checked);
    }
  }
}

}  // namespace quirel::convert
