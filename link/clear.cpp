#include "link/clear.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "link/commands.h"
#include "resources/messages.h"

namespace quirel {

LinkResult ClearDevice(Link& link, const Environment& env) {
  const std::optional<int> mode = link.ui().AskClearMode();
  if (!mode) return LinkResult::kInterrupted;
  return ClearDevice(link, env, *mode);
}

std::optional<MissingSystemFile> FindMissingSystemFile(const Environment& env, std::uint64_t* total) {
  static constexpr MissingSystemFile kFiles[] = {
      {kFontFileJ, msg::kFont1OpenFailed},
      {kFontFileF, msg::kFont2OpenFailed},
      {kBitmapFile, msg::kBitmapCheckFailed},
  };
  std::uint64_t sum = 0;
  for (const MissingSystemFile& file : kFiles) {
    const std::filesystem::path path = env.SystemFile(file.name);
    std::error_code ec;
    const bool regular = std::filesystem::is_regular_file(path, ec);
    const std::uintmax_t size = regular ? std::filesystem::file_size(path, ec) : 0;
    if (!regular || ec || !std::ifstream(path, std::ios::binary).is_open()) return file;
    sum += size;
  }
  if (total != nullptr) *total = sum;
  return std::nullopt;
}

std::string SystemFileNote(const Environment& env, const std::string& name) {
  return std::string(msg::kSystemFileMissingNote) + name + std::string(msg::kSystemFileLookedIn) + env.systemDir +
         std::string(msg::kSystemFileRemedy);
}

LinkResult ClearDevice(Link& link, const Environment& env, int mode) {
  UserInterface& ui = link.ui();

  // All three files are checked before anything goes out, for both modes:
  // a reader cleared without its fonts could no longer display.
  std::uint64_t total = 0;
  if (const auto missing = FindMissingSystemFile(env, &total)) {
    ui.ShowMessageWithDetail(missing->message, msg::kCaption, Icon::Error, SystemFileNote(env, missing->name));
    return LinkResult::kFailed;
  }
  const std::uint64_t blocks = total / kSystemBlockSize + (total % kSystemBlockSize != 0 ? 1 : 0);

  ProgressWindow& window = ui.NewProgress(ProgressKind::Clear);
  window.Show();
  // The bar's bounds are 16-bit: a larger count is held at the top.
  window.SetRange(Bar::Overall, 0, static_cast<int>(std::min<std::uint64_t>(blocks, 0xFFFF)));
  window.SetStep(Bar::Overall, 1);
  window.SetPos(Bar::Overall, 0);
  ui.EnableWindow(Window::Main, false);

  LinkResult result = LinkResult::kDone;
  if (mode == 0) {
    result = SendClearCommand(link, 0);
    if (result == LinkResult::kDone) ui.ShowMessage(msg::kQuickClearDone, msg::kCaption, Icon::Information);
  } else {
    result = SendClearCommand(link, 1);
    if (result == LinkResult::kDone)
      result = DownloadFontFile(link, env, kFontFileJ, std::string(msg::kFont1Label), 0xFC);
    if (result == LinkResult::kDone)
      result = DownloadFontFile(link, env, kFontFileF, std::string(msg::kFont2Label), 0xFB);
    if (result == LinkResult::kDone) result = SendDownloadEnd(link);
    if (result == LinkResult::kDone) {
      // The fonts are in: the clear itself is complete whatever becomes of
      // the bitmap. A failed opening or data byte of the bitmap has shown its
      // own box; the closing sum's result is not looked at, so a reader lost
      // on that last byte goes unnoticed.
      result = DownloadBitmapFile(link, env);
      ui.ShowMessage(msg::kFullClearDone, msg::kCaptionFullClear, Icon::Information);
    }
  }
  window.Hide();
  ui.EnableWindow(Window::Main, true);
  return result;
}

}  // namespace quirel
