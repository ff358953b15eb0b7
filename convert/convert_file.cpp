#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "common/text.h"
#include "convert/convert.h"
#include "resources/messages.h"

namespace quirel::convert {

namespace fs = std::filesystem;

ConvertResult ConvertDocument(Context& ctx, const std::string& inputPath, const std::string& outputPath) {
  FileKind kind = ClassifyName(LowerAscii(fs::path(inputPath).filename().string()));
  std::string path = inputPath;
  std::string copy;
  if (kind == kWordDocument) {
    // One run of the word processor: it saves the document, or it is not there.
    copy = WordWorkCopy(ctx, inputPath);
    if (copy.empty()) return ConvertResult::kFailed;
    bool started = false;
    const std::optional<std::string> text = WordTextsInOneRun(ctx.env, {copy}, started)[0];
    if (!started) {
      // Converted as plain text, as a send does.
      ctx.ui.ShowMessage(msg::kNoWordConvert, msg::kCaption, Icon::Information);
    } else {
      std::ofstream out(TextPathFor(copy), std::ios::binary | std::ios::trunc);
      if (text) out.write(text->data(), static_cast<std::streamsize>(text->size()));
      out.flush();
      if (!text || !out) {
        ctx.ui.ShowMessage(msg::kWordError, msg::kCaption, Icon::Error);
        RemoveWordWorkCopy(copy);
        return ConvertResult::kFailed;
      }
      path = TextPathFor(copy);
      kind = kText;
    }
  }
  std::string sendPath;
  ConvertResult result = ConvertForSend(ctx, path, kind, sendPath);
  if (result == ConvertResult::kDone) {
    std::error_code ec;
    if (!fs::equivalent(sendPath, outputPath, ec)) {
      ec.clear();
      fs::copy_file(sendPath, outputPath, fs::copy_options::overwrite_existing, ec);
      if (ec) result = ConvertResult::kFailed;
    }
  }
  RemoveWordWorkCopy(copy);
  return result;
}

}  // namespace quirel::convert
