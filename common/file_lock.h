// Advisory locks between programs: a lock file held with flock(2) for as long
// as the object lives. The kernel lets go when the holder ends in any way,
// kill -9 included, so a lock never outlives its program.
#pragma once

#include <string>
#include <string_view>

namespace quirel {

class FileLock {
 public:
  enum class Mode { kWait, kTry };

  FileLock() = default;
  // Opens (creating) path and takes the lock; held() tells whether it did.
  // The descriptor is closed on exec, so children never inherit the lock.
  FileLock(const std::string& path, Mode mode);
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  bool held() const { return fd_ >= 0; }
  void Release();

  // Writes who holds the lock into the lock file, for HolderOf to tell.
  void SetHolder(std::string_view who);
  // The holder text of a lock file (empty when none was written).
  static std::string HolderOf(const std::string& path);

 private:
  int fd_ = -1;
};

}  // namespace quirel
