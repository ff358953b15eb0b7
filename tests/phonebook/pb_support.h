// Helpers of the phonebook tests: a scratch directory, byte strings written
// out by hand, and store records built from the record rule.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>

namespace quirel::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quirel-pb-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string Path(const std::string& name = {}) const { return name.empty() ? path_ : path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

inline std::string Repeat(int byte, std::size_t count) { return std::string(count, static_cast<char>(byte)); }

// The line layout's run of an empty Mobile field and the end of a record.
inline const std::string kNoMobile = Repeat(0x11, 5) + Repeat(0x08, 11);
inline const std::string kEnd = Repeat(0x1B, 5);

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// 0x10 name 0x11 mobile 0x12 phone 0x13 ... 0x1A note 0x1B.
inline std::string Rec(const std::string& name, const std::string& mobile = {}, const std::string& phone = {},
                       const std::string& note = {}) {
  return "\x10" + name + "\x11" + mobile + "\x12" + phone + "\x13\x14\x15\x16\x17\x18\x19\x1A" + note + "\x1B";
}

inline std::string Store(const std::string& records) { return "\x09\x09" + records + "\x1E"; }

}  // namespace quirel::testing
