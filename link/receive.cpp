#include "link/receive.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <vector>

#include "common/device_codes.h"
#include "common/text.h"
#include "resources/messages.h"

namespace fs = std::filesystem;

namespace quirel {
namespace {

constexpr int kMaxLevels = 6;
constexpr std::size_t kRecordSize = 17;

// Converted, with the characters that would reach into another folder
// replaced by "_", and so is every control character (C0, DEL, C1): a name
// that clears a terminal or holds a line break is no name to keep a file by.
std::string NamePiece(std::string_view gbk) {
  const std::string converted = GbkToUtf8(RestoreDeviceCodes(gbk));
  std::string name;
  name.reserve(converted.size());
  for (std::size_t i = 0; i < converted.size(); ++i) {
    const auto c = static_cast<unsigned char>(converted[i]);
    const bool c1 =
        c == 0xC2 && i + 1 < converted.size() && (static_cast<unsigned char>(converted[i + 1]) & 0xE0) == 0x80;
    if (c1) ++i;
    name.push_back(c1 || c < 0x20 || c == 0x7F || c == '/' ? '_' : converted[i]);
  }
  return name;
}

std::string SafeWhole(std::string name) {
  if (name.empty() || name == "." || name == "..") return "_";
  return name;
}

// The subdirectory of dir (never a symbolic link) that name stands for: the exact name first,
// else the first that differs in letter case only.
std::optional<std::string> FindDirectory(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) return std::nullopt;
  const std::string wanted = LowerAscii(name);
  std::optional<std::string> found;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::error_code entryEc;
    if (it->is_symlink(entryEc) || !it->is_directory(entryEc)) continue;
    const std::string entryName = it->path().filename().string();
    if (entryName == name) return entryName;
    if (LowerAscii(entryName) == wanted && (!found || entryName < *found)) found = entryName;
  }
  return found;
}

// One level further down, creating it when missing. Never steps onto a
// symbolic link, so a link in the target tree cannot lead the files elsewhere.
std::optional<fs::path> EnterLevel(const fs::path& dir, const std::string& name) {
  if (std::optional<std::string> existing = FindDirectory(dir, name)) return dir / *existing;
  const fs::path child = dir / name;
  std::error_code ec;
  if (fs::exists(fs::symlink_status(child, ec))) return std::nullopt;  // a file or link is in the way
  if (!fs::create_directory(child, ec)) return std::nullopt;
  return child;
}

enum class Written { Yes, Kept, Failed };

// Whether the file at path holds exactly data.
bool SameContent(const fs::path& path, const std::vector<std::uint8_t>& data) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size != data.size()) return false;
  std::ifstream in(path, std::ios::binary);
  std::vector<char> old(data.size());
  in.read(old.data(), static_cast<std::streamsize>(old.size()));
  return in.gcount() == static_cast<std::streamsize>(old.size()) &&
         std::equal(old.begin(), old.end(), data.begin(),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

// Writes data beside path under a fresh name and renames it over path, so
// that neither a failed write nor a full disk costs the file that was there.
bool ReplaceAtomically(const fs::path& path, const std::vector<std::uint8_t>& data) {
  std::error_code ec;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path part = path.parent_path() / ("." + path.filename().string() + ".part" + std::to_string(attempt));
    // "x": never through a file or link that is already there.
    std::FILE* out = std::fopen(part.c_str(), "wbx");
    if (out == nullptr) {
      if (errno == EEXIST) continue;
      return false;
    }
    const bool written = std::fwrite(data.data(), 1, data.size(), out) == data.size();
    const bool closed = std::fclose(out) == 0;
    if (written && closed) {
      fs::rename(part, path, ec);
      if (!ec) return true;
    }
    fs::remove(part, ec);
    return false;
  }
  return false;
}

struct ReplacePolicy {
  bool replaceAll = false;
  bool keepAll = false;
};

Written WriteReceivedFile(UserInterface& ui, ReplacePolicy& policy, const fs::path& target,
                          const std::vector<std::string>& levels, const std::string& fileName,
                          const std::vector<std::uint8_t>& data, fs::path& path) {
  fs::path dir = target;
  for (const std::string& level : levels) {
    std::optional<fs::path> next = EnterLevel(dir, level);
    if (!next) return Written::Failed;
    dir = *next;
  }
  path = dir / fileName;
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  if (fs::is_symlink(status) || (fs::exists(status) && !fs::is_regular_file(status))) return Written::Failed;
  if (fs::exists(status)) {
    // A local file of the same name is only replaced when the user says so.
    if (SameContent(path, data)) return Written::Yes;
    bool replace = policy.replaceAll;
    if (!policy.replaceAll && !policy.keepAll) {
      switch (ui.AskReplaceFile(path.string())) {
        case ReplaceChoice::Replace:
          replace = true;
          break;
        case ReplaceChoice::ReplaceAll:
          replace = policy.replaceAll = true;
          break;
        case ReplaceChoice::KeepAll:
          policy.keepAll = true;
          break;
        case ReplaceChoice::Keep:
          break;
      }
    }
    if (!replace) return Written::Kept;
  }
  return ReplaceAtomically(path, data) ? Written::Yes : Written::Failed;
}

}  // namespace

bool CheckReceiveTarget(const std::string& target) { return !target.empty() && fs::path(target).is_absolute(); }

std::string ReceivedName(std::string_view gbk) { return SafeWhole(NamePiece(gbk)); }

LinkResult ReceiveFiles(Link& link, std::uint8_t mode, const std::string& target) {
  UserInterface& ui = link.ui();

  // Missing levels of the target are created; a failure here shows later as
  // files that could not be created.
  std::error_code ec;
  fs::create_directories(target, ec);

  ProgressWindow& window = ui.NewProgress(ProgressKind::Receive);
  window.Show();
  ui.EnableWindow(Window::Main, false);
  auto end = [&](LinkResult result) {
    window.Hide();
    ui.EnableWindow(Window::Main, true);
    return result;
  };
  auto receiveError = [&](LinkResult result) {
    ui.ShowMessage(msg::kReceiveFileError, msg::kCaption, Icon::Error);
    return end(result);
  };

  // A link that does not open has said so in its own box.
  if (link.OpenLink() != LinkResult::kDone) return end(LinkResult::kFailed);
  for (int i = 0; i < 10; ++i) {
    if (link.SendByte(mode) != LinkResult::kDone) {
      ui.ShowMessage(msg::kReceiveLinkFailed, msg::kCaption, Icon::Error);
      return end(LinkResult::kFailed);
    }
  }
  window.SetRange(Bar::Overall, 0, 100);
  window.SetStep(Bar::Overall, 1);
  window.SetPos(Bar::Overall, 0);
  window.SetRange(Bar::File, 0, 20);
  window.SetStep(Bar::File, 1);

  bool someFailed = false;
  int stored = 0;
  std::string kept;  // the local files left as they were, one per line
  ReplacePolicy policy;
  for (;;) {
    window.StepIt(Bar::Overall);
    std::uint8_t sum = 0;
    LinkResult result = LinkResult::kDone;
    // Header bytes: a time-out is an error, an interrupt ends quietly.
    auto take = [&](std::uint8_t& out) {
      result = link.ReceiveByte();
      if (result != LinkResult::kDone) return false;
      out = link.receivedByte;
      sum = static_cast<std::uint8_t>(sum + out);
      return true;
    };
    auto headerFailure = [&] {
      return result == LinkResult::kInterrupted ? end(LinkResult::kInterrupted) : receiveError(LinkResult::kFailed);
    };

    std::uint8_t lead = 0;
    if (!take(lead)) return headerFailure();
    if (lead == 0xB2) {
      window.SetPos(Bar::Overall, 99);
      if (someFailed)
        ui.ShowMessage(msg::kSomeNotCreated, msg::kCaption, Icon::Error);
      else if (!kept.empty())
        ui.ShowMessageWithDetail(" " + std::to_string(stored) + std::string(msg::kReceivedSomeKeptSuffix),
                                 msg::kCaption, Icon::Information, std::string(msg::kKeptHeading) + kept);
      else
        ui.ShowMessage(msg::kAllReceived, msg::kCaption, Icon::Information);
      end(LinkResult::kDone);
      ui.ExpandToPath(target);
      return someFailed ? LinkResult::kFailed : LinkResult::kDone;
    }
    if (lead != 0xB3) return receiveError(LinkResult::kFailed);

    std::uint8_t size[3];
    for (std::uint8_t& b : size)
      if (!take(b)) return headerFailure();
    const std::size_t length = (std::size_t{size[0]} << 16) + (std::size_t{size[1]} << 8) + size[2] + 1;
    std::vector<std::uint8_t> data;
    try {
      // Reserved, not filled: memory is only touched as the bytes arrive.
      data.reserve(length);
    } catch (const std::bad_alloc&) {
      return receiveError(LinkResult::kFailed);  // the item's bytes cannot be skipped without a buffer
    }

    std::string base, extension;
    bool extensionEnded = false;
    for (std::size_t i = 0; i < kRecordSize; ++i) {
      std::uint8_t b = 0;
      if (!take(b)) return headerFailure();
      if (i < 14) {
        if (b != 0) base.push_back(static_cast<char>(b));
      } else if (b == 0) {
        extensionEnded = true;
      } else if (!extensionEnded) {
        extension.push_back(static_cast<char>(b));
      }
    }
    // An empty extension leaves no trailing dot.
    const std::string fileName =
        SafeWhole(extension.empty() ? NamePiece(base) : NamePiece(base) + "." + NamePiece(extension));
    window.SetLabel(fileName);

    std::uint8_t levelCount = 0;
    if (!take(levelCount)) return headerFailure();
    if (levelCount > kMaxLevels) return receiveError(LinkResult::kFailed);
    std::vector<std::string> levels;
    for (int level = 0; level < levelCount; ++level) {
      std::string name;
      bool nameEnded = false;
      for (std::size_t i = 0; i < kRecordSize; ++i) {
        std::uint8_t b = 0;
        if (!take(b)) return headerFailure();
        if (b == 0) nameEnded = true;
        if (!nameEnded) name.push_back(static_cast<char>(b));
      }
      levels.push_back(ReceivedName(name));
    }

    window.SetPos(Bar::File, 0);
    const std::size_t step = length / 20;
    for (std::size_t k = 0; k < length;) {
      if (k % (step + 1) == 0) window.StepIt(Bar::File);
      // A port that runs the byte layer itself takes the bytes up to the
      // bar's next step in one go; any other takes them one by one.
      const std::size_t run = link.HasEngine() ? std::min(length - k, step + 1 - k % (step + 1)) : 1;
      data.resize(k + run);
      result = link.ReceiveBytes(data.data() + k, run);
      if (result != LinkResult::kDone) return receiveError(result);
      for (; k < data.size(); ++k) sum = static_cast<std::uint8_t>(sum + data[k]);
    }
    window.SetPos(Bar::File, 19);
    const std::uint8_t expected = sum;
    std::uint8_t checksum = 0;
    if (!take(checksum)) return receiveError(result);
    if (checksum != expected) return receiveError(LinkResult::kFailed);

    fs::path storedAt;
    switch (WriteReceivedFile(ui, policy, target, levels, fileName, data, storedAt)) {
      case Written::Yes:
        ++stored;
        break;
      case Written::Kept:
        kept += "\n" + storedAt.string();
        break;
      case Written::Failed:
        someFailed = true;
        break;
    }
  }
}

}  // namespace quirel
