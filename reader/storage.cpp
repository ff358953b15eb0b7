#include "reader/storage.h"

#include <algorithm>
#include <fstream>

#include "common/device_codes.h"
#include "common/text.h"
#include "reader/firmware.h"

namespace fs = std::filesystem;

namespace quirel::reader {

std::string NameFromDevice(std::string_view deviceGbk) {
  const std::string gbk = RestoreDeviceCodes(deviceGbk);
  std::string name = GbkToUtf8(gbk);
  for (char& ch : name)
    if (ch == '/' || ch == '\0') ch = '_';
  if (name.empty() || name == "." || name == "..") return "_";
  return name;
}

std::string NameToDevice(std::string_view utf8) { return ToDeviceCodes(Utf8ToGbkLossy(utf8, "?")); }

std::string RecordName(std::span<const std::uint8_t> record) {
  const auto end = std::find(record.begin(), record.end(), std::uint8_t{0});
  return std::string(record.begin(), end);
}

std::string CutGbk(std::string_view gbk, std::size_t maxBytes) {
  std::size_t keep = 0;
  for (std::size_t i = 0; i < gbk.size();) {
    const std::size_t width =
        (static_cast<unsigned char>(gbk[i]) >= 0x81 && static_cast<unsigned char>(gbk[i]) <= 0xFE) && i + 1 < gbk.size()
            ? 2
            : 1;
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
