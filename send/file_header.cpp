#include "send/file_header.h"

#include <algorithm>

#include "common/device_codes.h"
#include "common/text.h"

namespace quirel::send {
namespace {

std::vector<std::size_t> SlashPositions(const std::string& path) {
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < path.size(); ++i)
    if (path[i] == '/') positions.push_back(i);
  return positions;
}

// Fills records with the names between the last count + 1 slashes.
bool NamesBetween(const std::string& path, const std::vector<std::size_t>& slashes, std::size_t count,
                  std::vector<NameRecord>& records) {
  records.clear();
  const std::size_t first = slashes.size() - count - 1;
  for (std::size_t j = 0; j < count; ++j) {
    const std::size_t from = slashes[first + j] + 1;
    const std::size_t to = slashes[first + j + 1];
    std::string gbk;
    if (!Utf8ToGbk(path.substr(from, to - from), gbk)) return false;
    records.push_back(MakeNameRecord(gbk));
  }
  return true;
}

}  // namespace

FileHeader MakeFileHeader(const std::string& gbkBase, const std::string& gbkExtension, bool convertFormat,
                          std::uint32_t length) {
  FileHeader header{};
  std::copy_n(gbkBase.begin(), std::min<std::size_t>(gbkBase.size(), 14), header.begin());
  // A lead byte is one above 0x80 that does not itself close a character;
  // one left at byte 13 would lose its second half to the cut.
  bool lead = false;
  for (std::size_t i = 0; i <= 13; ++i) {
    lead = !lead && header[i] > 0x80;
    if (i == 13 && lead) header[13] = 0;
  }
  const std::string extension = convertFormat ? std::string("ebk") : gbkExtension;
  std::copy_n(extension.begin(), std::min<std::size_t>(extension.size(), 3), header.begin() + 14);
  if (length == 0) length = 1;
  header[17] = static_cast<std::uint8_t>(length >> 16);
  header[18] = static_cast<std::uint8_t>(length >> 8);
  header[19] = static_cast<std::uint8_t>(length);
  ApplyDeviceCodes(header.data(), 12);
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < 20; ++i) sum = static_cast<std::uint8_t>(sum + header[i]);
  header[20] = sum;
  return header;
}

bool HeaderNameOf(const std::string& path, std::string& gbkBase, std::string& gbkExtension) {
  const auto slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto dot = name.rfind('.');
  const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  return Utf8ToGbk(base, gbkBase) && Utf8ToGbk(extension, gbkExtension);
}

bool BuildPathRecords(const std::string& path, int& depth, std::vector<NameRecord>& records) {
  records.clear();
  if (depth <= 0) {
    depth = 0;
    return true;
  }
  const std::vector<std::size_t> slashes = SlashPositions(path);
  if (slashes.size() < static_cast<std::size_t>(depth) + 1) {
    depth = 0;
    return true;
  }
  if (!NamesBetween(path, slashes, static_cast<std::size_t>(depth), records)) return false;
  for (NameRecord& record : records) MakeRecordSafe(record);
  return true;
}

int BuildFolderRecords(const std::string& folder, int level, std::vector<NameRecord>& records) {
  records.clear();
  std::string path = folder;
  while (!path.empty() && path.back() == '/') path.pop_back();
  path += '/';
  const std::vector<std::size_t> slashes = SlashPositions(path);
  const std::size_t count = static_cast<std::size_t>(level) + 1;
  if (slashes.size() < count + 1) return 1;
  return NamesBetween(path, slashes, count, records) ? 0 : 2;
}

}  // namespace quirel::send
