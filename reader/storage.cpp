#include "reader/storage.h"

#include <algorithm>
#include <fstream>

#include "common/text.h"
#include "reader/firmware.h"

namespace fs = std::filesystem;

namespace quirel::reader {
namespace {

struct DeviceCode {
  unsigned char first, second, deviceSecond;
};
constexpr DeviceCode kDeviceCodes[] = {
    {0xDF, 0x4D, 0xFA}, {0xDE, 0x92, 0xFB}, {0x98, 0x84, 0xFC}, {0x85, 0x64, 0xFD}, {0xC3, 0x8E, 0xFE}};

bool IsLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

}  // namespace

std::string NameFromDevice(std::string_view deviceGbk) {
  std::string gbk;
  gbk.reserve(deviceGbk.size());
  for (std::size_t i = 0; i < deviceGbk.size(); ++i) {
    const auto c = static_cast<unsigned char>(deviceGbk[i]);
    if (!IsLead(c) || i + 1 == deviceGbk.size()) {
      gbk.push_back(deviceGbk[i]);
      continue;
    }
    const auto d = static_cast<unsigned char>(deviceGbk[i + 1]);
    if (c == 0xA9 && d >= 0xFA && d <= 0xFE) {
      gbk.push_back(static_cast<char>(kDeviceCodes[d - 0xFA].first));
      gbk.push_back(static_cast<char>(kDeviceCodes[d - 0xFA].second));
    } else {
      gbk.push_back(deviceGbk[i]);
      gbk.push_back(deviceGbk[i + 1]);
    }
    ++i;
  }
  std::string name = GbkToUtf8(gbk);
  for (char& ch : name)
    if (ch == '/' || ch == '\0') ch = '_';
  if (name.empty() || name == "." || name == "..") return "_";
  return name;
}

std::string NameToDevice(std::string_view utf8) {
  std::string gbk = Utf8ToGbkLossy(utf8, "?");
  for (std::size_t i = 0; i + 1 < gbk.size(); ++i) {
    const auto c = static_cast<unsigned char>(gbk[i]);
    if (!IsLead(c)) continue;
    const auto d = static_cast<unsigned char>(gbk[i + 1]);
    for (const DeviceCode& code : kDeviceCodes) {
      if (c == code.first && d == code.second) {
        gbk[i] = static_cast<char>(0xA9);
        gbk[i + 1] = static_cast<char>(code.deviceSecond);
        break;
      }
    }
    ++i;
  }
  return gbk;
}

std::string RecordName(std::span<const std::uint8_t> record) {
  const auto end = std::find(record.begin(), record.end(), std::uint8_t{0});
  return std::string(record.begin(), end);
}

std::string CutGbk(std::string_view gbk, std::size_t maxBytes) {
  std::size_t keep = 0;
  for (std::size_t i = 0; i < gbk.size();) {
    const std::size_t width = IsLead(static_cast<unsigned char>(gbk[i])) && i + 1 < gbk.size() ? 2 : 1;
    if (i + width > maxBytes) break;
    i += width;
    keep = i;
  }
  return std::string(gbk.substr(0, keep));
}

std::optional<fs::path> EnterFolders(const fs::path& base, const std::vector<std::string>& names) {
  fs::path dir = base;
  for (const std::string& name : names) {
    const fs::path child = dir / name;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(child, ec);
    if (fs::is_directory(status)) {
      dir = child;
      continue;
    }
    if (fs::exists(status) || !fs::create_directory(child, ec)) return std::nullopt;
    dir = child;
  }
  return dir;
}

void RemoveContents(const fs::path& dir) {
  std::error_code ec;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
    entries.push_back(it->path());
  for (const fs::path& entry : entries) fs::remove_all(entry, ec);
}

std::vector<fs::path> FilesBelow(const fs::path& dir) {
  std::vector<fs::path> entries;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
    entries.push_back(it->path());
  std::sort(entries.begin(), entries.end());
  std::vector<fs::path> files;
  for (const fs::path& entry : entries) {
    const fs::file_status status = fs::symlink_status(entry, ec);
    if (fs::is_directory(status)) {
      std::vector<fs::path> below = FilesBelow(entry);
      files.insert(files.end(), below.begin(), below.end());
    } else if (fs::is_regular_file(status)) {
      files.push_back(entry);
    }
  }
  return files;
}

bool IsInsideRelative(const fs::path& relative) {
  if (relative.empty() || relative.is_absolute() || relative.has_root_name()) return false;
  for (const fs::path& part : relative)
    if (part == "." || part == "..") return false;
  return true;
}

std::optional<fs::path> ReadCursor(const Firmware& firmware) {
  std::ifstream in(firmware.CursorFile(), std::ios::binary);
  std::string line;
  if (!in.is_open() || !std::getline(in, line)) return std::nullopt;
  while (!line.empty() && (line.back() == '\r' || line.back() == '/')) line.pop_back();
  const fs::path relative(line);
  if (!IsInsideRelative(relative)) return std::nullopt;
  return relative;
}

bool WriteCursor(const Firmware& firmware, const std::string& relative) {
  if (!IsInsideRelative(fs::path(relative))) return false;
  std::ofstream out(firmware.CursorFile(), std::ios::binary | std::ios::trunc);
  out << relative << '\n';
  out.close();
  return static_cast<bool>(out);
}

void LogEvent(const Firmware& firmware, std::string_view line) {
  std::ofstream out(firmware.root() / "events.log", std::ios::binary | std::ios::app);
  out << line << '\n';
}

std::vector<std::string> ReadEvents(const fs::path& root) {
  std::vector<std::string> lines;
  std::ifstream in(root / "events.log", std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace quirel::reader
