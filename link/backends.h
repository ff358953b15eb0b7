// The real ports behind the Port interface: the Linux parport driver (ppdev),
// direct port I/O (ioperm + inb/outb), a socket bridge to an external
// emulator, and "no port" for machines without any of these. The virtual
// reader is the remaining backend; it lives with the device in reader/.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/port.h"

namespace quirel {

// The operating-system calls the hardware backends make. Tests substitute a
// recorder, so the exact call sequence is checked without a parallel port.
class SystemCalls {
 public:
  virtual ~SystemCalls() = default;
  // open(path, O_RDWR); a descriptor or -1.
  virtual int Open(const std::string& path) = 0;
  virtual int Close(int fd) = 0;
  virtual int Ioctl(int fd, unsigned long request, void* argument) = 0;
  virtual int Ioperm(unsigned long from, unsigned long count, int turnOn) = 0;
  virtual std::uint8_t Inb(std::uint16_t address) = 0;
  virtual void Outb(std::uint8_t value, std::uint16_t address) = 0;
  // The names in a directory (no "." or ".."); empty when it cannot be read.
  virtual std::vector<std::string> ListDirectory(const std::string& path) = 0;
  // A small text file such as /proc/sys/dev/parport/parport0/base-addr.
  virtual bool ReadTextFile(const std::string& path, std::string& text) = 0;
};

// "parport12" with prefix "parport" -> 12; -1 for any other name.
long DeviceNumber(const std::string& name, std::string_view prefix);

// strerror's text for error, or "failed" when there is no error number.
std::string ErrnoText(int error);

// The calls of this machine. Where the platform has no parallel-port access,
// every call fails.
SystemCalls& RealSystemCalls();

// Nothing on the bus: reads return 0xFF, writes go nowhere, so the port
// detection fails with its message and the program stays usable.
class NoPort final : public Port {
 public:
  std::uint8_t ReadPortByte(std::uint16_t) override { return 0xFF; }
  void WritePortByte(std::uint16_t, std::uint8_t) override {}
};

// Register ioctl numbers of the parport driver, kept here so that the code
// (and its tests) compile on every platform. Zero where there is no ppdev.
struct PpdevRequests {
  unsigned long claim, release, writeData, readData, readStatus, writeControl, readControl;
};
const PpdevRequests& Ppdev();

// /dev/parportN through the parport driver. Each device answers at the
// standard base its kernel driver reports; the data register goes through
// PPWDATA / PPRDATA, the status register through PPRSTATUS (the raw status
// byte), the control register through PPWCONTROL with a shadow copy for
// reads that starts from PPRCONTROL at claim.
class PpdevPort final : public Port {
 public:
  // device: "/dev/parportN", or empty for every /dev/parport* that can be
  // opened and claimed. usable() tells whether any device was claimed;
  // problem() says why not.
  PpdevPort(SystemCalls& sys, const std::string& device);
  ~PpdevPort() override;
  PpdevPort(const PpdevPort&) = delete;
  PpdevPort& operator=(const PpdevPort&) = delete;

  std::uint8_t ReadPortByte(std::uint16_t address) override;
  void WritePortByte(std::uint16_t address, std::uint8_t value) override;

  bool usable() const { return !devices_.empty(); }
  // Every device that could not be used, and why.
  const std::string& problem() const { return problem_; }
  // What the user can do about the problem, one step a line; empty when
  // nothing is known.
  const std::string& remedy() const { return remedy_; }
  // The base each claimed device answers at, for messages and tests.
  std::map<std::uint16_t, std::string> Bases() const;

 private:
  struct Device {
    std::string path;
    int fd = -1;
    std::uint16_t base = 0;
    std::uint8_t control = 0;
  };
  Device* Find(std::uint16_t address, int& offset);
  void AddProblem(const std::string& problem, const std::string& remedy);

  SystemCalls& sys_;
  std::vector<Device> devices_;
  std::string problem_;
  std::string remedy_;
};

// inb/outb on the three standard bases after ioperm grants them (root or
// CAP_SYS_RAWIO, x86 only). Addresses that were not granted read 0xFF and
// ignore writes, because touching them would kill the process.
class DirectPort final : public Port {
 public:
  explicit DirectPort(SystemCalls& sys);
  ~DirectPort() override;
  DirectPort(const DirectPort&) = delete;
  DirectPort& operator=(const DirectPort&) = delete;

  std::uint8_t ReadPortByte(std::uint16_t address) override;
  void WritePortByte(std::uint16_t address, std::uint8_t value) override;

  bool usable() const { return !granted_.empty(); }

 private:
  bool Granted(std::uint16_t address) const;

  SystemCalls& sys_;
  std::vector<std::uint16_t> granted_;  // bases with their three registers
};

// Every register access forwarded over a stream socket:
//   read  = 'R', address low, address high  -> one byte answer
//   write = 'W', address low, address high, value  (no answer)
// Once the connection fails or closes, reads give 0x00 and writes go nowhere.
class BridgePort final : public Port {
 public:
  // target: "unix:PATH" or "tcp:HOST:PORT".
  explicit BridgePort(const std::string& target);
  ~BridgePort() override;
  BridgePort(const BridgePort&) = delete;
  BridgePort& operator=(const BridgePort&) = delete;

  std::uint8_t ReadPortByte(std::uint16_t address) override;
  void WritePortByte(std::uint16_t address, std::uint8_t value) override;

  bool connected() const { return fd_ >= 0; }
  const std::string& problem() const { return problem_; }

  // How long a read waits for its answer. A peer that stays silent longer
  // is given up: the connection is closed and every read gives 0 from then
  // on, so the link's own waits run out and report the link error.
  static constexpr int kReplyTimeoutMs = 2000;
  void SetReplyTimeout(int milliseconds) { replyTimeoutMs_ = milliseconds; }

  // True when target has one of the two shapes above.
  static bool ValidTarget(const std::string& target, std::string& error);

 private:
  bool SendAll(const std::uint8_t* bytes, std::size_t size);
  void Drop();

  int fd_ = -1;
  int replyTimeoutMs_ = kReplyTimeoutMs;
  std::string problem_;
};

// Opens the hardware port a --port value names: "auto", "ppdev", "ppdev:/dev/parportN",
// "direct", "bridge:unix:PATH" or "bridge:tcp:HOST:PORT". An unknown value
// returns nullptr with the reason in error. A known value whose hardware
// cannot be used still gives a port (NoPort, or a closed bridge) and says why
// in note, with what the user can do about it on the lines after; "auto"
// falling back to no port says so in note as well.
std::unique_ptr<Port> OpenHardwarePort(const std::string& spec, SystemCalls& sys, std::string& note,
                                       std::string& error);

// Checks the shape of a --port value without touching any device.
bool ValidHardwareSpec(const std::string& spec, std::string& error);

}  // namespace quirel
