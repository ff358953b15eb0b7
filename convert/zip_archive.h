// Members of a zip archive held in memory (libzip), for the book readers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

typedef struct zip zip_t;

namespace quirel::convert {

class ZipArchive {
 public:
  enum class Read { kOk, kMissing, kEncrypted, kBroken };

  // The archive is read from the bytes, which must outlive it.
  explicit ZipArchive(std::string_view bytes);
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  bool ok() const { return zip_ != nullptr; }
  // A member by its exact name, at most maxBytes long once unpacked.
  Read Get(const std::string& name, std::string& content, std::size_t maxBytes = kMaxMember) const;
  std::vector<std::string> Names() const;

  static constexpr std::size_t kMaxMember = 256u << 20;

 private:
  zip_t* zip_ = nullptr;
};

}  // namespace quirel::convert
