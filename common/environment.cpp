#include "common/environment.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace quirel {
namespace fs = std::filesystem;

namespace {

constexpr const char* kWorkRoot = "work";
constexpr const char* kLockName = "lock";
constexpr std::string_view kRunPrefix = "run-";
constexpr std::string_view kNewPrefix = "new-";

// Removes the work folders of programs that are no longer running: their
// lock can be taken. A folder still being set up ("new-") is left alone
// unless it is a day old.
void SweepStale(const fs::path& root) {
  std::error_code ec;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(it->path());
  const auto dayAgo = fs::file_time_type::clock::now() - std::chrono::hours(24);
  for (const fs::path& entry : entries) {
    const std::string name = entry.filename().string();
    if (name.rfind(kNewPrefix, 0) == 0) {
      if (fs::last_write_time(entry, ec) < dayAgo && !ec) fs::remove_all(entry, ec);
      continue;
    }
    if (name.rfind(kRunPrefix, 0) != 0 || !fs::is_directory(fs::symlink_status(entry, ec))) continue;
    const int fd = ::open((entry / kLockName).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
      // No lock file at all: not one of ours in use.
      if (errno == ENOENT) fs::remove_all(entry, ec);
      continue;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) fs::remove_all(entry, ec);
    ::close(fd);
  }
}

}  // namespace

std::shared_ptr<WorkSpace> WorkSpace::Make(const std::string& systemDir) {
  std::error_code ec;
  const fs::path root = fs::absolute(systemDir, ec) / kWorkRoot;
  fs::create_directories(root, ec);
  if (ec) return nullptr;
  ::chmod(root.c_str(), 0700);
  SweepStale(root);
  // Made and locked under a name the sweep passes by, then given its final
  // name, so that no other program starting at the same moment takes it
  // for a dead one.
  std::string pattern = (root / (std::string(kNewPrefix) + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) return nullptr;
  const fs::path made = pattern;
  std::shared_ptr<WorkSpace> space(new WorkSpace());
  // The folder is new and ours alone: nobody else can hold its lock yet.
  space->lock_ = FileLock((made / kLockName).string(), FileLock::Mode::kTry);
  const fs::path final =
      root / (std::string(kRunPrefix) + std::to_string(::getpid()) + "-" + made.filename().string().substr(4));
  if (space->lock_.held()) fs::rename(made, final, ec);
  if (!space->lock_.held() || ec) {
    fs::remove_all(made, ec);
    return nullptr;
  }
  space->dir_ = final.string();
  return space;
}

WorkSpace::~WorkSpace() {
  std::error_code ec;
  fs::remove_all(dir_, ec);  // the lock goes after, with lock_
}

Environment Environment::Resolve(const std::string& home, const std::string& systemDir, bool withWorkSpace) {
  auto env = [](const char* name) -> std::string {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
  };
  std::string dataHome = env("XDG_DATA_HOME");
  if (dataHome.empty()) {
    const std::string userHome = env("HOME");
    dataHome = (userHome.empty() ? std::string(".") : userHome) + "/.local/share";
  }
  Environment e;
  e.home = !home.empty() ? home : !env("QUIREL_HOME").empty() ? env("QUIREL_HOME") : dataHome + "/quirel";
  e.systemDir = !systemDir.empty()                  ? systemDir
                : !env("QUIREL_SYSTEM_DIR").empty() ? env("QUIREL_SYSTEM_DIR")
                                                    : dataHome + "/quirel/system";
  std::error_code ec;
  fs::create_directories(e.home, ec);
  fs::create_directories(e.systemDir, ec);
  if (withWorkSpace) {
    e.workSpace = WorkSpace::Make(e.systemDir);
    if (e.workSpace) e.workDir = e.workSpace->dir();
  }
  return e;
}

}  // namespace quirel
