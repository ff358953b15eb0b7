// The transfer of one file: announcement (0x7E burst, depth, path records,
// header) and data in blocks of 1000 bytes, with the per-file bar, a message
// pump and the interrupt check of the send progress window.
#include <filesystem>
#include <fstream>

#include "common/text.h"
#include "resources/messages.h"
#include "send/send_job.h"

namespace quirel::send {
namespace {

constexpr std::uint8_t kFileCommand = 0x7E;
constexpr std::uint8_t kEndCommand = 0x4E;
// Sent for the single byte that announces an empty file.
constexpr std::uint8_t kEmptyFileByte = 0x20;

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

std::string LastComponent(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool SendJob::PrepareRecords(int& depth, const std::string& path, std::vector<NameRecord>& records) {
  link_.ResetPortLines();
  const std::string& named = sourcePath.empty() ? path : sourcePath;
  std::string base, extension;
  if (!HeaderNameOf(named, base, extension)) return false;
  return BuildPathRecords(named, depth, records);
}

LinkResult SendJob::SendEntry(int depth, const std::string& path) {
  std::vector<NameRecord> records;
  // A name the reader cannot be told, or something that is not a plain file
  // (a pipe would block the conversion), counts as a file that cannot be opened.
  if (!PrepareRecords(depth, path, records) || !IsRegularFile(path)) return LinkResult::kFailed;
  std::string sendPath;
  if (convert::ConvertForSend(ctx_, path, static_cast<convert::FileKind>(fileKind), sendPath) !=
      convert::ConvertResult::kDone)
    return LinkResult::kFailed;
  return SendFileBody(depth, records, sendPath);
}

LinkResult SendJob::SendAsIs(int depth, const std::string& path) {
  std::vector<NameRecord> records;
  if (!PrepareRecords(depth, path, records)) return LinkResult::kFailed;
  return SendFileBody(depth, records, path);
}

bool SendJob::Interrupted() {
  UserInterface& ui = link_.ui();
  ProgressWindow* window = ui.Progress(ProgressKind::Send);
  if (window == nullptr || !window->InterruptRequested()) return false;
  window->Hide();
  ui.EnableWindow(Window::Main, true);
  userStopped = 1;
  window->ClearInterrupt();
  // A new link opening and the end burst tell the reader to drop the file.
  if (link_.OpenLink() != LinkResult::kDone) return true;
  if (link_.SendBurst(kEndCommand) != LinkResult::kDone) return true;
  ui.RedrawWindow(Window::Main);
  return true;
}

LinkResult SendJob::SendFileBody(int depth, std::vector<NameRecord>& records, const std::string& file) {
  UserInterface& ui = link_.ui();
  PlannedFile* planned = Planned(records);
  for (NameRecord& record : records) MakeRecordSafe(record);

  if (!IsRegularFile(file)) return LinkResult::kFailed;
  std::ifstream in(file, std::ios::binary);
  if (!in) return LinkResult::kFailed;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return LinkResult::kFailed;
  const std::string& named = sourcePath.empty() ? file : sourcePath;
  if (static_cast<std::uint64_t>(size) > kMaxSendLength) {
    // The 24-bit length field cannot announce it; a cut-off file on the
    // reader would be worse than none.
    ui.ShowMessage(std::string(msg::kFileTooLarge) + LastComponent(named), msg::kCaption, Icon::Error);
    return LinkResult::kFailed;
  }
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(data.data()), size);
  if (in.gcount() != size) return LinkResult::kFailed;
  in.close();
  if (data.empty()) data.push_back(kEmptyFileByte);
  const std::uint32_t length = static_cast<std::uint32_t>(data.size());

  std::string base, extension;
  if (!HeaderNameOf(named, base, extension)) return LinkResult::kFailed;
  if (planned != nullptr && planned->renamed) base = planned->gbkBase;
  const FileHeader header = MakeFileHeader(base, extension, sendFormat == kConvertFormat, length);

  if (link_.OpenLink() != LinkResult::kDone) {
    if (ProgressWindow* window = ui.Progress(ProgressKind::Send)) window->Hide();
    ui.EnableWindow(Window::Main, true);
    return LinkResult::kFailed;
  }
  auto transferError = [&] {
    ui.ShowMessage(msg::kSendFileError, msg::kCaption, Icon::Error);
    ui.RedrawWindow(Window::Main);
    return LinkResult::kFailed;
  };
  if (link_.SendBurst(kFileCommand) != LinkResult::kDone) return transferError();
  if (link_.SendByte(static_cast<std::uint8_t>(depth)) != LinkResult::kDone) return transferError();
  for (const NameRecord& record : records)
    for (std::uint8_t b : record)
      if (link_.SendByte(b) != LinkResult::kDone) return transferError();
  for (std::uint8_t b : header)
    if (link_.SendByte(b) != LinkResult::kDone) return transferError();

  ProgressWindow* window = ui.Progress(ProgressKind::Send);
  if (window != nullptr) {
    window->SetRange(Bar::File, 0, static_cast<int>(length / kBlockSize + 1));
    window->SetStep(Bar::File, 1);
    window->SetPos(Bar::File, 0);
  }
  const std::size_t blocks = length / kBlockSize;
  std::size_t at = 0;
  for (std::size_t block = 0; block < blocks; ++block) {
    ui.PumpMessage();
    if (Interrupted()) return LinkResult::kFailed;
    if (link_.SendBytes(data.data() + at, kBlockSize) != LinkResult::kDone) return transferError();
    at += kBlockSize;
    if (window != nullptr) window->StepIt(Bar::File);
  }
  // The last partial block goes byte by byte, each with its own pump and check.
  while (at < data.size()) {
    ui.PumpMessage();
    if (Interrupted()) return LinkResult::kFailed;
    if (link_.SendByte(data[at++]) != LinkResult::kDone) return transferError();
  }
  if (window != nullptr) window->StepIt(Bar::File);
  if (planned != nullptr) planned->arrived = true;
  return LinkResult::kDone;
}

}  // namespace quirel::send
