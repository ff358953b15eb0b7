#include "pacer/pacer.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

// ancestors holds the real paths of the directories being walked, so that a
// symbolic link back up the tree is not followed round in a loop.
void Walk(const fs::path& dir, std::int32_t* size, std::int32_t* count, std::vector<fs::path>& ancestors) {
  std::error_code ec;
  fs::path real = fs::canonical(dir, ec);
  if (ec) return;
  for (const auto& a : ancestors)
    if (a == real) return;
  fs::directory_iterator it(dir, ec);
  if (ec) return;
  ancestors.push_back(std::move(real));
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code kind;
    if (it->is_directory(kind)) {  // also through a symbolic link
      Walk(it->path(), size, count, ancestors);
      continue;
    }
    if (size != nullptr) {
      // stat instead of opening: opening a fifo would block. A file whose
      // length cannot be found adds nothing to the size but still counts.
      std::error_code sizeError;
      const std::uintmax_t length = fs::file_size(it->path(), sizeError);
      if (!sizeError)
        *size = static_cast<std::int32_t>(static_cast<std::uint32_t>(*size) + static_cast<std::uint32_t>(length));
    }
    if (count != nullptr) *count = static_cast<std::int32_t>(static_cast<std::uint32_t>(*count) + 1u);
  }
  ancestors.pop_back();
}

}  // namespace

extern "C" {

void delay(std::int32_t microseconds) {
  using Clock = std::chrono::steady_clock;
  const double frequency = static_cast<double>(Clock::period::den) / static_cast<double>(Clock::period::num);
  const Clock::rep start = Clock::now().time_since_epoch().count();
  const double wanted = static_cast<double>(microseconds) * 1e-6;
  for (;;) {
    const Clock::rep now = Clock::now().time_since_epoch().count();
    const double elapsed = static_cast<double>(now - start) / frequency;
    if (wanted < elapsed) return;
  }
}

void GetDirInfo(const char* dir, std::int32_t* size, std::int32_t* count) {
  if (dir == nullptr) return;
  std::vector<fs::path> ancestors;
  Walk(fs::path(dir), size, count, ancestors);
}
}
