#include "link/backends.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#if defined(__linux__)
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>
#if defined(__i386__) || defined(__x86_64__)
#include <sys/io.h>
#define QUIREL_HAVE_PORT_IO 1
#endif
#endif

#if defined(__unix__) || defined(__APPLE__)
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#define QUIREL_HAVE_SOCKETS 1
#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0
#endif
#endif

#include "common/translate.h"
#include "link/serial_port.h"

namespace quirel {

namespace {

constexpr std::uint16_t kStandardBases[] = {0x378, 0x278, 0x3BC};

bool IsStandardBase(unsigned long base) {
  return std::find(std::begin(kStandardBases), std::end(kStandardBases), base) != std::end(kStandardBases);
}

// Device nodes /dev/parportN exist only while the parport driver is loaded.
constexpr const char* kLoadDriver = N_("load the parport driver: sudo modprobe ppdev");

class RealCalls final : public SystemCalls {
 public:
  int Open(const std::string& path) override {
#if defined(__linux__)
    int fd;
    do fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
#else
    (void)path;
    errno = ENOSYS;
    return -1;
#endif
  }
  int Close(int fd) override {
#if defined(__linux__)
    return ::close(fd);
#else
    (void)fd;
    return -1;
#endif
  }
  int Ioctl(int fd, unsigned long request, void* argument) override {
#if defined(__linux__)
    int result;
    do result = ::ioctl(fd, request, argument);
    while (result < 0 && errno == EINTR);
    return result;
#else
    (void)fd, (void)request, (void)argument;
    errno = ENOSYS;
    return -1;
#endif
  }
  int Ioperm(unsigned long from, unsigned long count, int turnOn) override {
#if defined(QUIREL_HAVE_PORT_IO)
    return ::ioperm(from, count, turnOn);
#else
    (void)from, (void)count, (void)turnOn;
    errno = ENOSYS;
    return -1;
#endif
  }
  std::uint8_t Inb(std::uint16_t address) override {
#if defined(QUIREL_HAVE_PORT_IO)
    return ::inb(address);
#else
    (void)address;
    return 0xFF;
#endif
  }
  void Outb(std::uint8_t value, std::uint16_t address) override {
#if defined(QUIREL_HAVE_PORT_IO)
    ::outb(value, address);
#else
    (void)value, (void)address;
#endif
  }
  std::vector<std::string> ListDirectory(const std::string& path) override {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
      names.push_back(it->path().filename().string());
    return names;
  }
  bool ReadTextFile(const std::string& path, std::string& text) override {
    std::ifstream in(path);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
  }
};

}  // namespace

long DeviceNumber(const std::string& name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
  long n = 0;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9' || n > 100000) return -1;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

std::string ErrnoText(int error) { return error != 0 ? std::string(std::strerror(error)) : Tr("failed"); }

SystemCalls& RealSystemCalls() {
  static RealCalls calls;
  return calls;
}

const PpdevRequests& Ppdev() {
#if defined(__linux__)
  static const PpdevRequests requests{PPCLAIM, PPRELEASE, PPWDATA, PPRDATA, PPRSTATUS, PPWCONTROL, PPRCONTROL};
#else
  static const PpdevRequests requests{0, 0, 0, 0, 0, 0, 0};
#endif
  return requests;
}

// ---------------------------------------------------------------- ppdev

PpdevPort::PpdevPort(SystemCalls& sys, const std::string& device) : sys_(sys) {
  std::vector<std::string> paths;
  if (!device.empty()) {
    paths.push_back(device);
  } else {
    std::vector<std::pair<long, std::string>> found;
    for (const auto& name : sys_.ListDirectory("/dev"))
      if (const long n = DeviceNumber(name, "parport"); n >= 0) found.emplace_back(n, name);
    std::sort(found.begin(), found.end());
    for (const auto& [n, name] : found) paths.push_back("/dev/" + name);
    if (paths.empty()) {
      AddProblem(Tr("no /dev/parport* device"), Tr(kLoadDriver));
      return;
    }
  }

  // The kernel tells each port's base; the first number of base-addr.
  struct Candidate {
    std::string path;
    unsigned long base = 0;
  };
  std::vector<Candidate> standard, other;
  for (const auto& path : paths) {
    const std::string name = std::filesystem::path(path).filename().string();
    std::string text;
    unsigned long base = 0;
    if (sys_.ReadTextFile("/proc/sys/dev/parport/" + name + "/base-addr", text))
      base = std::strtoul(text.c_str(), nullptr, 10);
    (IsStandardBase(base) ? standard : other).push_back({path, base});
  }

  auto claim = [&](const std::string& path, std::uint16_t base) {
    errno = 0;
    const int fd = sys_.Open(path);
    if (fd < 0) {
      const int error = errno;
      std::string remedy;
      if (error == EACCES || error == EPERM)
        remedy = Tr("%s belongs to group lp: join it (sudo usermod -aG lp $USER) and log in again", {path});
      else if (error == ENOENT || error == ENODEV || error == ENXIO)
        remedy = Tr(kLoadDriver);
      AddProblem(Tr("cannot open %s: %s", {path, ErrnoText(error)}), remedy);
      return false;
    }
    errno = 0;
    if (sys_.Ioctl(fd, Ppdev().claim, nullptr) != 0) {
      const int error = errno;
      AddProblem(Tr("cannot claim %s: %s", {path, ErrnoText(error)}),
                 error == EBUSY ? Tr("another program is using %s: end it and try again", {path}) : std::string());
      sys_.Close(fd);
      return false;
    }
    // The shadow starts from what the port holds: another program or the
    // firmware may have left the control lines set.
    unsigned char control = 0;
    if (sys_.Ioctl(fd, Ppdev().readControl, &control) != 0) control = 0;
    devices_.push_back({path, fd, base, control});
    return true;
  };
  auto taken = [&](std::uint16_t base) {
    return std::any_of(devices_.begin(), devices_.end(), [&](const Device& d) { return d.base == base; });
  };
  for (const auto& c : standard)
    if (!taken(static_cast<std::uint16_t>(c.base))) claim(c.path, static_cast<std::uint16_t>(c.base));
  // A port at another base (an add-in card) stands in for the first standard
  // base when nothing else answers there, so the detection finds it.
  if (!taken(kStandardBases[0]))
    for (const auto& c : other)
      if (claim(c.path, kStandardBases[0])) break;
  if (!devices_.empty()) {
    problem_.clear();
    remedy_.clear();
  }
}

void PpdevPort::AddProblem(const std::string& problem, const std::string& remedy) {
  problem_ += (problem_.empty() ? "" : "; ") + problem;
  if (remedy.empty() || remedy_.find(remedy) != std::string::npos) return;
  remedy_ += (remedy_.empty() ? "" : "\n") + remedy;
}

PpdevPort::~PpdevPort() {
  for (auto& d : devices_) {
    sys_.Ioctl(d.fd, Ppdev().release, nullptr);
    sys_.Close(d.fd);
  }
}

std::map<std::uint16_t, std::string> PpdevPort::Bases() const {
  std::map<std::uint16_t, std::string> bases;
  for (const auto& d : devices_) bases[d.base] = d.path;
  return bases;
}

PpdevPort::Device* PpdevPort::Find(std::uint16_t address, int& offset) {
  for (auto& d : devices_) {
    if (address >= d.base && address <= d.base + 2) {
      offset = address - d.base;
      return &d;
    }
  }
  return nullptr;
}

std::uint8_t PpdevPort::ReadPortByte(std::uint16_t address) {
  int offset = 0;
  Device* d = Find(address, offset);
  if (d == nullptr) return 0xFF;
  if (offset == 2) return d->control;
  unsigned char value = 0xFF;
  if (sys_.Ioctl(d->fd, offset == 0 ? Ppdev().readData : Ppdev().readStatus, &value) != 0) return 0xFF;
  return value;
}

void PpdevPort::WritePortByte(std::uint16_t address, std::uint8_t value) {
  int offset = 0;
  Device* d = Find(address, offset);
  if (d == nullptr || offset == 1) return;  // the status register is read-only
  unsigned char byte = value;
  if (offset == 0) {
    sys_.Ioctl(d->fd, Ppdev().writeData, &byte);
  } else {
    d->control = value;
    sys_.Ioctl(d->fd, Ppdev().writeControl, &byte);
  }
}

// ---------------------------------------------------------------- direct

DirectPort::DirectPort(SystemCalls& sys) : sys_(sys) {
  for (auto base : kStandardBases)
    if (sys_.Ioperm(base, 3, 1) == 0) granted_.push_back(base);
}

DirectPort::~DirectPort() {
  for (auto base : granted_) sys_.Ioperm(base, 3, 0);
}

bool DirectPort::Granted(std::uint16_t address) const {
  return std::any_of(granted_.begin(), granted_.end(),
                     [&](std::uint16_t base) { return address >= base && address <= base + 2; });
}

std::uint8_t DirectPort::ReadPortByte(std::uint16_t address) { return Granted(address) ? sys_.Inb(address) : 0xFF; }

void DirectPort::WritePortByte(std::uint16_t address, std::uint8_t value) {
  if (Granted(address)) sys_.Outb(value, address);
}

// ---------------------------------------------------------------- bridge

namespace {

bool SplitTcp(const std::string& rest, std::string& host, std::string& port) {
  const auto colon = rest.rfind(':');
  if (colon == std::string::npos) return false;
  host = rest.substr(0, colon);
  port = rest.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host.empty() || port.empty() || port.size() > 5) return false;
  if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  const long n = std::strtol(port.c_str(), nullptr, 10);
  return n >= 1 && n <= 65535;
}

}  // namespace

bool BridgePort::ValidTarget(const std::string& target, std::string& error) {
  if (target.rfind("unix:", 0) == 0) {
    if (target.size() > 5) return true;
    error = Tr("bridge:unix: needs a socket path");
    return false;
  }
  if (target.rfind("tcp:", 0) == 0) {
    std::string host, port;
    if (SplitTcp(target.substr(4), host, port)) return true;
    error = Tr("bridge:tcp: needs HOST:PORT, e.g. bridge:tcp:127.0.0.1:7378");
    return false;
  }
  error = Tr("bridge needs unix:PATH or tcp:HOST:PORT");
  return false;
}

BridgePort::BridgePort(const std::string& target) {
  std::string error;
  if (!ValidTarget(target, error)) {
    problem_ = error;
    return;
  }
#if defined(QUIREL_HAVE_SOCKETS)
  if (target.rfind("unix:", 0) == 0) {
    const std::string path = target.substr(5);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
      problem_ = Tr("bridge socket path too long: %s", {path});
      return;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
      problem_ = Tr("cannot connect to %s: %s", {path, ErrnoText(errno)});
      Drop();
    }
    return;
  }
  std::string host, port;
  SplitTcp(target.substr(4), host, port);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list); rc != 0) {
    problem_ = Tr("cannot resolve %s: %s", {host, ::gai_strerror(rc)});
    return;
  }
  problem_ = Tr("cannot connect to %s", {host + ":" + port});
  for (addrinfo* a = list; a != nullptr; a = a->ai_next) {
    fd_ = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (fd_ < 0) continue;
    if (::connect(fd_, a->ai_addr, a->ai_addrlen) == 0) {
      // Every access is a tiny request; waiting to fill packets would make
      // each one cost a round of Nagle's delay.
      int one = 1;
      ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
      problem_.clear();
      break;
    }
    problem_ = Tr("cannot connect to %s: %s", {host + ":" + port, ErrnoText(errno)});
    Drop();
  }
  ::freeaddrinfo(list);
#else
  problem_ = Tr("no sockets on this platform");
#endif
}

BridgePort::~BridgePort() { Drop(); }

void BridgePort::Drop() {
#if defined(QUIREL_HAVE_SOCKETS)
  if (fd_ >= 0) ::close(fd_);
#endif
  fd_ = -1;
}

bool BridgePort::SendAll(const std::uint8_t* bytes, std::size_t size) {
#if defined(QUIREL_HAVE_SOCKETS)
  while (size > 0 && fd_ >= 0) {
    const ssize_t n = ::send(fd_, bytes, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Drop();
      return false;
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return fd_ >= 0;
#else
  (void)bytes, (void)size;
  return false;
#endif
}

std::uint8_t BridgePort::ReadPortByte(std::uint16_t address) {
  const std::uint8_t request[3] = {'R', static_cast<std::uint8_t>(address & 0xFF),
                                   static_cast<std::uint8_t>(address >> 8)};
  if (!SendAll(request, sizeof(request))) return 0x00;
#if defined(QUIREL_HAVE_SOCKETS)
  std::uint8_t answer = 0;
  // A signal (Ctrl-C) wakes the wait, which goes on until its deadline; the
  // link sees the interrupt as soon as the read returns.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(replyTimeoutMs_);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    pollfd ready{fd_, POLLIN, 0};
    const int polled = left > 0 ? ::poll(&ready, 1, static_cast<int>(left)) : 0;
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) break;  // silent past the deadline
    const ssize_t n = ::recv(fd_, &answer, 1, 0);
    if (n == 1) return answer;
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  Drop();
  return 0x00;
#else
  return 0x00;
#endif
}

void BridgePort::WritePortByte(std::uint16_t address, std::uint8_t value) {
  const std::uint8_t request[4] = {'W', static_cast<std::uint8_t>(address & 0xFF),
                                   static_cast<std::uint8_t>(address >> 8), value};
  SendAll(request, sizeof(request));
}

// ---------------------------------------------------------------- choice

bool ValidHardwareSpec(const std::string& spec, std::string& error) {
  if (spec == "auto" || spec == "ppdev" || spec == "direct") return true;
  if (spec.rfind("ppdev:", 0) == 0) {
    if (spec.size() > 6) return true;
    error = Tr("ppdev: needs a device, e.g. ppdev:/dev/parport0");
    return false;
  }
  if (spec.rfind("bridge:", 0) == 0) return BridgePort::ValidTarget(spec.substr(7), error);
  if (spec.rfind("serial:", 0) == 0) return SerialPort::ValidTarget(spec, error);
  error =
      Tr("unknown port: %s (auto, ppdev[:DEVICE], direct, serial:DEVICE, virtual[:DIR][,OPTION...], "
         "bridge:unix:PATH, bridge:tcp:HOST:PORT)",
         {spec});
  return false;
}

std::unique_ptr<Port> OpenHardwarePort(const std::string& spec, SystemCalls& sys, std::string& note,
                                       std::string& error) {
  note.clear();
  if (!ValidHardwareSpec(spec, error)) return nullptr;
  if (spec.rfind("bridge:", 0) == 0) {
    auto bridge = std::make_unique<BridgePort>(spec.substr(7));
    if (!bridge->connected()) note = bridge->problem();
    return bridge;
  }
  // The reason first, then each step the user can take on a line of its own.
  auto explain = [](std::string reason, const std::string& remedy) {
    std::istringstream steps(remedy);
    for (std::string step; std::getline(steps, step);) reason += "\n" + Tr("To fix: %s", {step});
    return reason;
  };
  if (spec.rfind("serial:", 0) == 0) {
    auto adapter = std::make_unique<SerialPort>(spec.substr(7));
    if (!adapter->usable()) note = explain(adapter->problem(), adapter->remedy());
    return adapter;
  }
  const bool automatic = spec == "auto";
  std::string ppdevProblem, ppdevRemedy;
  if (automatic || spec.rfind("ppdev", 0) == 0) {
    auto ppdev = std::make_unique<PpdevPort>(sys, spec.size() > 6 ? spec.substr(6) : std::string());
    if (ppdev->usable()) return ppdev;
    ppdevProblem = ppdev->problem();
    ppdevRemedy = ppdev->remedy();
    if (!automatic) {
      note = explain("ppdev: " + ppdevProblem, ppdevRemedy);
      return std::make_unique<NoPort>();
    }
  }
  auto direct = std::make_unique<DirectPort>(sys);
  if (direct->usable()) return direct;
  const std::string directProblem = Tr("direct port access not permitted (needs root or CAP_SYS_RAWIO on x86)");
  if (!automatic) {
    note = explain(directProblem, Tr("run as root, or use --port ppdev (group lp)"));
    return std::make_unique<NoPort>();
  }
  // No parallel port: the USB adapter, where one answers.
  std::string adapterProblems, adapterRemedy;
  for (const std::string& device : SerialCandidates(sys)) {
    auto adapter = std::make_unique<SerialPort>(device);
    if (adapter->usable()) return adapter;
    adapterProblems += "; " + adapter->problem();
    if (adapterRemedy.empty()) adapterRemedy = adapter->remedy();
  }
  note = explain(Tr("no usable parallel port: %s; %s", {ppdevProblem, directProblem}) + adapterProblems,
                 ppdevRemedy + (adapterRemedy.empty() || ppdevRemedy.empty() ? "" : "\n") + adapterRemedy);
  return std::make_unique<NoPort>();
}

}  // namespace quirel
