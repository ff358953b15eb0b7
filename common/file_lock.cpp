#include "common/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <utility>

namespace quirel {

FileLock::FileLock(const std::string& path, Mode mode) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  int rc = 0;
  do {
    rc = ::flock(fd, LOCK_EX | (mode == Mode::kTry ? LOCK_NB : 0));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FileLock::~FileLock() { Release(); }

void FileLock::Release() {
  if (fd_ < 0) return;
  ::close(fd_);  // closing the only descriptor lets go of the lock
  fd_ = -1;
}

void FileLock::SetHolder(std::string_view who) {
  if (fd_ < 0) return;
  if (::ftruncate(fd_, 0) != 0) return;
  std::size_t done = 0;
  while (done < who.size()) {
    const ssize_t n = ::pwrite(fd_, who.data() + done, who.size() - done, static_cast<off_t>(done));
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

std::string FileLock::HolderOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace quirel
