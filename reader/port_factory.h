// Turns a port choice (--port SPEC or QUIREL_PORT) into a Port: the hardware
// backends of link/backends.h, or the in-process virtual reader.
#pragma once

#include <memory>
#include <string>

#include "common/environment.h"
#include "common/file_lock.h"
#include "common/ui.h"
#include "link/port.h"

namespace quirel::reader {

class VirtualReader;

struct OpenedPort {
  std::unique_ptr<Port> port;
  // Set when the port is the virtual reader; owned by port.
  VirtualReader* virtualReader = nullptr;
  // Why the hardware that was asked for cannot be used (the port then has
  // nothing on the bus); empty when all is well.
  std::string note;
};

// The --port value in force: the explicit one, else QUIREL_PORT, else "auto".
std::string ChosenPortSpec(const std::string& explicitSpec);

bool IsVirtualSpec(const std::string& spec);

// Checks the shape of a --port value without opening anything.
bool ValidPortSpec(const std::string& spec, std::string& error);

// The storage folder of the virtual reader that value names, or would name:
// its DIR, else "virtual-reader" in the program directory.
std::string VirtualReaderDir(const std::string& spec, const Environment& env);

// Opens the port. A malformed value gives no port and the reason in error.
OpenedPort OpenPort(const std::string& spec, const Environment& env, std::string& error);

// The lock file that stands for the port a --port value names: inside a
// virtual reader's folder; for a bridge, one per address; for a USB adapter,
// one per device; for the machine's own parallel port, one for all programs
// of every user.
std::string PortLockPath(const std::string& spec, const Environment& env);

// This program's hold on the port, for Link::claimPort and releasePort. who
// names this program ("quirel send", ...); it is shown to the others.
class PortClaim {
 public:
  PortClaim(std::string lockPath, std::string who, UserInterface& ui)
      : lockPath_(std::move(lockPath)), who_(std::move(who)), ui_(ui) {}

  // True when held (now or already); else the holder is shown, once until
  // the next Release.
  bool Take();
  void Release() {
    lock_.Release();
    refusalShown_ = false;
  }

 private:
  std::string lockPath_;
  std::string who_;
  UserInterface& ui_;
  FileLock lock_;
  bool refusalShown_ = false;
};

}  // namespace quirel::reader
