#include "reader/port_factory.h"

#include <cctype>
#include <cstdlib>
#include <unistd.h>

#include <filesystem>

#include "link/backends.h"
#include "reader/firmware.h"
#include "reader/virtual_reader.h"
#include "resources/messages.h"

namespace quirel::reader {

std::string ChosenPortSpec(const std::string& explicitSpec) {
  if (!explicitSpec.empty()) return explicitSpec;
  const char* fromEnvironment = std::getenv("QUIREL_PORT");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
  return "auto";
}

bool IsVirtualSpec(const std::string& spec) {
  return spec == "virtual" || spec.rfind("virtual:", 0) == 0 || spec.rfind("virtual,", 0) == 0;
}

bool ValidPortSpec(const std::string& spec, std::string& error) {
  if (IsVirtualSpec(spec)) {
    std::string dir;
    ReaderOptions options;
    return ParseVirtualSpec(spec, dir, options, error);
  }
  return ValidHardwareSpec(spec, error);
}

std::string VirtualReaderDir(const std::string& spec, const Environment& env) {
  std::string dir;
  ReaderOptions options;
  std::string error;
  if (IsVirtualSpec(spec) && ParseVirtualSpec(spec, dir, options, error) && !dir.empty()) return dir;
  return env.home + "/virtual-reader";
}

OpenedPort OpenPort(const std::string& spec, const Environment& env, std::string& error) {
  OpenedPort opened;
  if (IsVirtualSpec(spec)) {
    std::string dir;
    ReaderOptions options;
    if (!ParseVirtualSpec(spec, dir, options, error)) return opened;
    if (dir.empty()) dir = env.home + "/virtual-reader";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    auto reader = std::make_unique<VirtualReader>(options, MakeFirmware(dir));
    opened.virtualReader = reader.get();
    opened.port = std::move(reader);
    return opened;
  }
  opened.port = OpenHardwarePort(spec, RealSystemCalls(), opened.note, error);
  return opened;
}

std::string PortLockPath(const std::string& spec, const Environment& env) {
  if (IsVirtualSpec(spec)) {
    const std::string dir = VirtualReaderDir(spec, env);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir + "/port.lock";
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string dir = runtime != nullptr && *runtime != '\0' ? runtime : "/tmp";
  // A bridge or an adapter stands for one reader per address or device.
  std::string kind;
  for (const char* prefix : {"bridge", "serial"})
    if (spec.rfind(std::string(prefix) + ":", 0) == 0) kind = prefix;
  if (kind.empty()) return dir + "/quirel-parallel-port.lock";
  std::string key;
  for (const char c : spec.substr(7)) key.push_back(std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_');
  return dir + "/quirel-" + kind + "-" + key + ".lock";
}

bool PortClaim::Take() {
  if (lock_.held()) return true;
  lock_ = FileLock(lockPath_, FileLock::Mode::kTry);
  if (lock_.held()) {
    lock_.SetHolder(who_ + "（进程 " + std::to_string(::getpid()) + "）");
    return true;
  }
  if (refusalShown_) return false;
  refusalShown_ = true;
  // The holder writes its name just after taking the lock.
  std::string holder = FileLock::HolderOf(lockPath_);
  for (int tries = 0; holder.empty() && tries < 10; ++tries) {
    ::usleep(10000);
    holder = FileLock::HolderOf(lockPath_);
  }
  if (holder.empty()) holder = lockPath_;
  ui_.ShowMessage(std::string(msg::kPortBusy) + holder, msg::kCaption, Icon::Error);
  return false;
}

}  // namespace quirel::reader
