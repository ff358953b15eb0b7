#include "link/commands.h"

#include "common/device_codes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "common/text.h"
#include "link/clear.h"
#include "resources/messages.h"

namespace quirel {
namespace {

// Stands in for the clearing window when a download runs without one.
class NoProgress final : public ProgressWindow {
 public:
  void Show() override {}
  void Hide() override {}
  void SetLabel(std::string_view) override {}
  void SetRange(Bar, int, int) override {}
  void SetStep(Bar, int) override {}
  void SetPos(Bar, int) override {}
  void StepIt(Bar) override {}
  bool InterruptRequested() const override { return false; }
  void ClearInterrupt() override {}
};

ProgressWindow& ClearWindow(UserInterface& ui) {
  static NoProgress none;
  ProgressWindow* window = ui.Progress(ProgressKind::Clear);
  return window != nullptr ? *window : none;
}

using Block = std::array<std::uint8_t, kSystemBlockSize>;

// Opens a regular file of the system directory; a directory or a missing
// file counts as a file that cannot be opened.
bool OpenSystemFile(const Environment& env, const std::string& name, std::ifstream& in, std::uint64_t& size) {
  const std::filesystem::path path = env.SystemFile(name);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  size = std::filesystem::file_size(path, ec);
  if (ec) return false;
  in.open(path, std::ios::binary);
  return in.is_open();
}

std::uint64_t BlockCount(std::uint64_t length) {
  return length / kSystemBlockSize + (length % kSystemBlockSize != 0 ? 1 : 0);
}

int FileBarHigh(std::uint64_t blocks) {
  return static_cast<int>(std::min<std::uint64_t>(blocks * kSystemBlockSize / 100, 0x7FFFFFFF));
}

// Fills the block from the file; a short read leaves the tail as it was.
void ReadBlock(std::ifstream& in, Block& block) {
  in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
}

std::uint8_t BlockSum(const Block& block) {
  std::uint8_t sum = 0;
  for (std::uint8_t b : block) sum = static_cast<std::uint8_t>(sum + b);
  return sum;
}

// Sends the 8192 bytes with a pump and an interrupt check after each (after
// each run of a hundred where the port runs the byte layer itself); the file
// bar steps at every hundredth byte. 0, 1 (reported) or 2.
LinkResult SendBlockBytes(Link& link, const Block& block, ProgressWindow& window) {
  const std::size_t run = link.HasEngine() ? 100 : 1;
  for (std::size_t i = 0; i < block.size(); i += run) {
    if (link.SendBytes(block.data() + i, std::min(run, block.size() - i)) != LinkResult::kDone) {
      ReportLinkError(link);
      return LinkResult::kFailed;
    }
    link.ui().PumpMessage();
    if (window.InterruptRequested()) {
      window.Hide();
      window.ClearInterrupt();
      return LinkResult::kInterrupted;
    }
    if (i % 100 == 0) window.StepIt(Bar::File);
  }
  return LinkResult::kDone;
}

}  // namespace

NameRecord MakeNameRecord(const std::string& gbkName) {
  NameRecord record{};
  std::copy_n(gbkName.begin(), std::min(gbkName.size(), record.size()), record.begin());
  return record;
}

void MakeRecordSafe(NameRecord& record) {
  // The flag flips on every byte with the high bit set: a set flag at byte 15
  // means a double-byte character would spill into the terminating byte.
  bool flag = false;
  for (std::size_t i = 0; i < record.size(); ++i) {
    if (record[i] & 0x80) {
      flag = !flag;
      if (i == 15 && flag) record[15] = 0;
    }
  }
  record[16] = 0;
  ApplyDeviceCodes(record.data(), 15);
}

LinkResult SendDirectoryPath(Link& link, std::vector<NameRecord>& records) {
  if (records.empty()) return LinkResult::kDone;  // no level to announce
  for (NameRecord& record : records) MakeRecordSafe(record);
  if (link.OpenLink() != LinkResult::kDone) return LinkResult::kFailed;
  bool ok = link.SendBurst(0xC4) == LinkResult::kDone;
  ok = ok && link.SendByte(static_cast<std::uint8_t>(records.size() - 1)) == LinkResult::kDone;
  std::uint8_t sum = 0;
  for (const NameRecord& record : records) {
    for (std::uint8_t b : record) {
      if (!ok) break;
      ok = link.SendByte(b) == LinkResult::kDone;
      sum = static_cast<std::uint8_t>(sum + b);
    }
  }
  ok = ok && link.SendByte(sum) == LinkResult::kDone;
  if (!ok) {
    ReportDirectoryError(link);
    return LinkResult::kFailed;
  }
  return LinkResult::kDone;
}

LinkResult CreateDeviceDirectory(Link& link, NameRecord& record) {
  std::vector<NameRecord> path{record};
  const LinkResult sent = SendDirectoryPath(link, path);
  record = path.front();
  if (sent != LinkResult::kDone) return LinkResult::kFailed;
  if (link.OpenLink() != LinkResult::kDone) {
    link.ui().Diagnostic(msg::kDiagTransport14);
    return LinkResult::kFailed;
  }
  if (link.SendBurst(0x4E) != LinkResult::kDone) {
    link.ui().Diagnostic(msg::kDiagTransport15);
    return LinkResult::kFailed;
  }
  link.ui().ShowMessage(msg::kDirectoryCreated, msg::kCaption, Icon::Information);
  return LinkResult::kDone;
}

LinkResult CreateDirectoryCommand(Link& link, const std::string& utf8Name) {
  NameRecord record{};
  if (utf8Name.empty()) {
    link.ui().ShowMessage(msg::kEnterDirectoryName, msg::kCaption, Icon::Information);
    return LinkResult::kFailed;
  }
  std::string gbk;
  if (!Utf8ToGbk(utf8Name, gbk)) {
    link.ui().ShowMessage(msg::kDirectoryNameNotGbk, msg::kCaption, Icon::Error);
    return LinkResult::kFailed;
  }
  // Cut to fit, it would be another name than the one asked for; so would a
  // 16th byte the record's half-character cut clears.
  NameRecord cut = MakeNameRecord(gbk);
  MakeRecordSafe(cut);
  if (gbk.size() >= cut.size() || (gbk.size() == cut.size() - 1 && cut[cut.size() - 2] == 0)) {
    link.ui().ShowMessage(msg::kDirectoryNameTooLong, msg::kCaption, Icon::Error);
    return LinkResult::kFailed;
  }
  record = MakeNameRecord(gbk);
  return CreateDeviceDirectory(link, record);
}

LinkResult SendClearCommand(Link& link, int mode) {
  link.ResetPortLines();
  if (link.OpenLink() != LinkResult::kDone) {
    link.ui().EnableWindow(Window::Main, true);
    return LinkResult::kFailed;
  }
  if (link.SendBurst(mode == 0 ? 0x35 : 0x8D) != LinkResult::kDone) {
    ReportLinkError(link);
    return LinkResult::kFailed;
  }
  link.clock().Sleep(10);
  return LinkResult::kDone;
}

LinkResult SendDownloadEnd(Link& link) {
  if (link.SendByte(0x5A) != LinkResult::kDone || link.SendByte(0xA5) != LinkResult::kDone) {
    ReportLinkError(link);
    return LinkResult::kFailed;
  }
  (void)link.SendByte(0xF8);  // the reader's answer to the last byte is not awaited
  return LinkResult::kDone;
}

LinkResult DownloadFontFile(Link& link, const Environment& env, const std::string& file, const std::string& label,
                            std::uint8_t code) {
  UserInterface& ui = link.ui();
  std::ifstream in;
  std::uint64_t length = 0;
  if (!OpenSystemFile(env, file, in, length)) {
    ui.ShowMessageWithDetail(file == kFontFileF ? msg::kFont2OpenFailed : msg::kFont1OpenFailed, msg::kCaption,
                             Icon::Error, SystemFileNote(env, file));
    return LinkResult::kFailed;
  }
  const std::uint64_t blocks = BlockCount(length);
  ProgressWindow& window = ClearWindow(ui);
  window.SetLabel(label);
  window.Show();
  window.SetRange(Bar::File, 0, FileBarHigh(blocks));
  window.SetStep(Bar::File, 1);
  window.SetPos(Bar::File, 0);

  // Kept across blocks: the last block's tail carries over what the block
  // before it held, as the reader has always been sent.
  Block block{};
  for (std::uint64_t n = 0; n < blocks; ++n) {
    window.StepIt(Bar::Overall);
    ReadBlock(in, block);
    const std::uint8_t sum = BlockSum(block);
    if (link.SendByte(0x5A) != LinkResult::kDone || link.SendByte(0xA5) != LinkResult::kDone) {
      ReportLinkError(link);
      return LinkResult::kFailed;
    }
    (void)link.SendByte(code);  // a dead link shows at the next byte
    if (const LinkResult result = SendBlockBytes(link, block, window); result != LinkResult::kDone) return result;
    (void)link.SendByte(sum);  // a dead link shows at the next block's or the end's 0x5A
  }
  window.SetPos(Bar::File, FileBarHigh(blocks) - 1);
  return LinkResult::kDone;
}

LinkResult DownloadBitmapFile(Link& link, const Environment& env) {
  UserInterface& ui = link.ui();
  std::ifstream in;
  std::uint64_t length = 0;
  if (!OpenSystemFile(env, kBitmapFile, in, length)) {
    ui.ShowMessageWithDetail(msg::kBitmapOpenFailed, msg::kCaption, Icon::Error, SystemFileNote(env, kBitmapFile));
    return LinkResult::kFailed;
  }
  const std::uint64_t blocks = BlockCount(length);
  ProgressWindow& window = ClearWindow(ui);
  window.SetLabel(msg::kBitmapLabel);
  window.SetRange(Bar::File, 0, FileBarHigh(blocks));
  window.SetStep(Bar::File, 1);
  window.SetPos(Bar::File, 0);

  // The reader takes exactly one block, whatever the file's length.
  Block block{};
  ReadBlock(in, block);
  const std::uint8_t sum = BlockSum(block);
  if (link.OpenLink() != LinkResult::kDone) {
    ui.EnableWindow(Window::Main, true);
    ReportLinkError(link);
    return LinkResult::kFailed;
  }
  if (link.SendBurst(0xF7) != LinkResult::kDone) {
    ReportLinkError(link);
    return LinkResult::kFailed;
  }
  if (const LinkResult result = SendBlockBytes(link, block, window); result != LinkResult::kDone) return result;
  (void)link.SendByte(sum);  // the last byte: as at a download's end, no answer is awaited
  window.SetPos(Bar::File, FileBarHigh(blocks) - 1);
  window.Hide();
  return LinkResult::kDone;
}

void ReportLinkError(Link& link) {
  link.ui().ShowMessage(msg::kLinkError, msg::kCaption, Icon::Error);
  link.ui().RedrawWindow(Window::Main);
}

void ReportDirectoryError(Link& link) {
  link.ui().ShowMessage(msg::kDirectoryError, msg::kCaption, Icon::Error);
  link.ui().RedrawWindow(Window::Main);
}

}  // namespace quirel
