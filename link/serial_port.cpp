#include "link/serial_port.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <tuple>

#include "adapter/protocol.h"
#include "common/translate.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#define QUIREL_HAVE_SERIAL 1
#endif
#if defined(__linux__)
#include <linux/serial.h>
#endif

namespace quirel {

namespace {

// What the user reads (through the catalogue).
constexpr const char* kOpenDenied = N_("cannot open %s: permission denied");
constexpr const char* kJoinDialout = N_("join the group dialout (sudo adduser $USER dialout) and log in again");
constexpr const char* kOpenMissing = N_("there is no device %s");
constexpr const char* kCheckPlugged = N_("check that the adapter is plugged in and the device name is right");
constexpr const char* kOpenBusy = N_("%s is in use by another program");
constexpr const char* kEndOther = N_("end the program that uses it and try again");
constexpr const char* kOpenFailed = N_("cannot open %s: %s");
constexpr const char* kNotSerial = N_("%s is not a serial device");
constexpr const char* kSetupFailed = N_("cannot set up the serial line of %s: %s");
constexpr const char* kNoAnswer =
    N_("the device on %s does not answer: it is not this program's USB adapter, or the adapter has no firmware yet");
constexpr const char* kCheckAdapter =
    N_("make sure the device is this program's USB adapter; a new adapter needs its firmware first (quirel adapter "
       "flash)");
constexpr const char* kWrongVersion = N_("the adapter on %s has firmware %s, which does not go with this program (%s)");
constexpr const char* kFlashFirmware = N_("write this program's firmware into the adapter (quirel adapter flash)");
constexpr const char* kUnplugged = N_("the adapter on %s was unplugged");
constexpr const char* kPlugIn = N_("plug the adapter in and try again");
constexpr const char* kSilent = N_("the adapter on %s stopped answering");
constexpr const char* kBadAnswer = N_("the adapter on %s gave a wrong answer");
constexpr const char* kRefused = N_("the adapter on %s refused a request (error %s)");
constexpr const char* kReplug = N_("unplug the adapter, plug it in again and try again");
#if !defined(QUIREL_HAVE_SERIAL)
constexpr const char* kNoSerial = N_("serial devices are not supported on this platform");
#endif

constexpr std::uint16_t kBase = 0x378;
// The adapter answers a hello at once; until it does, its bootloader eats
// what it is sent, so the hello goes again after this long.
constexpr auto kHelloRetry = std::chrono::milliseconds(250);
constexpr std::size_t kHeader = 4;  // sync, type, length low, length high

std::uint8_t Crc(const std::uint8_t* bytes, std::size_t size) {
  std::uint8_t crc = 0;
  for (std::size_t i = 0; i < size; ++i) crc = qa_crc8_step(crc, bytes[i]);
  return crc;
}

std::uint8_t Low(std::size_t n) { return static_cast<std::uint8_t>(n & 0xFF); }
std::uint8_t High(std::size_t n) { return static_cast<std::uint8_t>((n >> 8) & 0xFF); }
std::size_t Word(std::uint8_t low, std::uint8_t high) {
  return static_cast<std::size_t>(low) | static_cast<std::size_t>(high) << 8;
}

auto Now() { return std::chrono::steady_clock::now(); }

int MillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, 1 << 30));
}

// A late answer to a hello that was sent again while the board was starting.
bool AnswersHello(const std::vector<std::uint8_t>& payload, std::uint8_t type) {
  return type == (QA_HELLO | QA_ANSWER) || (type == QA_ERROR && payload.size() >= 2 && payload[1] == QA_HELLO);
}

}  // namespace

SerialPort::SerialPort(const std::string& device, int helloBudgetMs) : device_(device) {
  Open();
  if (fd_ >= 0) Hello(helloBudgetMs);
}

SerialPort::~SerialPort() {
#if defined(QUIREL_HAVE_SERIAL)
  if (fd_ >= 0) ::close(fd_);
#endif
}

void SerialPort::Drop(const std::string& problem, const std::string& remedy) {
#if defined(QUIREL_HAVE_SERIAL)
  if (fd_ >= 0) ::close(fd_);
#endif
  fd_ = -1;
  in_.clear();
  problem_ = problem;
  remedy_ = remedy;
}

void SerialPort::DropBadAnswer() { Drop(Tr(kBadAnswer, {device_}), Tr(kReplug)); }

std::string SerialPort::Version() const {
  return version_ ? std::to_string(version_->first) + "." + std::to_string(version_->second) : std::string();
}

void SerialPort::Open() {
#if defined(QUIREL_HAVE_SERIAL)
  int fd;
  do fd = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int error = errno;
    if (error == EACCES || error == EPERM)
      Drop(Tr(kOpenDenied, {device_}), Tr(kJoinDialout));
    else if (error == ENOENT || error == ENODEV || error == ENXIO)
      Drop(Tr(kOpenMissing, {device_}), Tr(kCheckPlugged));
    else if (error == EBUSY)
      Drop(Tr(kOpenBusy, {device_}), Tr(kEndOther));
    else
      Drop(Tr(kOpenFailed, {device_, ErrnoText(error)}), {});
    return;
  }
  fd_ = fd;
  termios line{};
  if (::tcgetattr(fd_, &line) != 0) {
    Drop(Tr(kNotSerial, {device_}), {});
    return;
  }
  // Another program writing to the adapter in between would garble frames.
  // A pty, or root, may let the next open through anyway.
  ::ioctl(fd_, TIOCEXCL);
  ::cfmakeraw(&line);
  line.c_cflag |= CLOCAL | CREAD;
#if defined(CRTSCTS)
  line.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
  line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  const termios anySpeed = line;
#if defined(B1000000)
  ::cfsetspeed(&line, B1000000);
#endif
  // A pty may refuse the speed; it has no line to clock anyway.
  if (::tcsetattr(fd_, TCSANOW, &line) != 0 && ::tcsetattr(fd_, TCSANOW, &anySpeed) != 0) {
    Drop(Tr(kSetupFailed, {device_, ErrnoText(errno)}), {});
    return;
  }
#if defined(__linux__)
  // The chip otherwise holds small answers back for its latency timer.
  serial_struct serial{};
  if (::ioctl(fd_, TIOCGSERIAL, &serial) == 0) {
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(fd_, TIOCSSERIAL, &serial);
  }
#endif
  ::tcflush(fd_, TCIOFLUSH);
#else
  Drop(Tr(kNoSerial), {});
#endif
}

void SerialPort::Hello(int budgetMs) {
  const Deadline end = Now() + std::chrono::milliseconds(budgetMs);
  std::uint8_t hello[] = {QA_SYNC, QA_HELLO, 0, 0, 0};
  hello[4] = Crc(hello + 1, 3);
  Frame frame;
  while (Now() < end) {
    const Deadline attemptEnd = std::min(Now() + kHelloRetry, end);
    Got got = WriteAll(hello, sizeof(hello), attemptEnd);
    // The bytes before the firmware runs may be anything, frames included.
    while (got == Got::kOk) {
      got = ReadFrame(frame, attemptEnd);
      const auto& p = frame.payload;
      if (got == Got::kOk && frame.type == (QA_HELLO | QA_ANSWER) && p.size() >= 6 && p[0] == 'Q' && p[1] == 'A') break;
    }
    if (got == Got::kGone) {
      Drop(Tr(kUnplugged, {device_}), Tr(kPlugIn));
      return;
    }
    if (got != Got::kOk) continue;
    const auto& p = frame.payload;
    version_ = std::pair<int, int>(p[2], p[3]);
    // A smaller board may take less; a frame must carry at least one byte.
    maxPayload_ = std::clamp<std::size_t>(Word(p[4], p[5]), 2, QA_MAX_PAYLOAD);
    if (p[2] != QA_VERSION_MAJOR) {
      const std::string ours = std::to_string(QA_VERSION_MAJOR) + "." + std::to_string(QA_VERSION_MINOR);
      Drop(Tr(kWrongVersion, {device_, Version(), ours}), Tr(kFlashFirmware));
    }
    return;
  }
  Drop(Tr(kNoAnswer, {device_}), Tr(kCheckAdapter));
}

SerialPort::Deadline SerialPort::ReplyDeadline() const { return Now() + std::chrono::milliseconds(replyTimeoutMs_); }

SerialPort::Got SerialPort::WriteAll(const std::uint8_t* bytes, std::size_t size, Deadline deadline) {
#if defined(QUIREL_HAVE_SERIAL)
  while (size > 0) {
    const ssize_t n = ::write(fd_, bytes, size);
    if (n > 0) {
      bytes += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return Got::kGone;
    pollfd ready{fd_, POLLOUT, 0};
    const int polled = ::poll(&ready, 1, MillisecondsUntil(deadline));
    if (polled < 0 && errno == EINTR) continue;
    if (polled == 0) return Got::kSilent;
    if (polled < 0 || (ready.revents & POLLOUT) == 0) return Got::kGone;
  }
  return Got::kOk;
#else
  (void)bytes, (void)size, (void)deadline;
  return Got::kGone;
#endif
}

SerialPort::Got SerialPort::Fill(Deadline deadline) {
#if defined(QUIREL_HAVE_SERIAL)
  for (;;) {
    pollfd ready{fd_, POLLIN, 0};
    const int polled = ::poll(&ready, 1, MillisecondsUntil(deadline));
    if (polled < 0 && errno == EINTR) continue;
    if (polled == 0) return Got::kSilent;
    // Unplugged, or a pty whose far end closed: a hang-up, EIO or end of file.
    if (polled < 0 || (ready.revents & POLLIN) == 0) return Got::kGone;
    std::uint8_t buffer[1024];
    const ssize_t n = ::read(fd_, buffer, sizeof(buffer));
    if (n > 0) {
      in_.insert(in_.end(), buffer, buffer + n);
      return Got::kOk;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    return Got::kGone;
  }
#else
  (void)deadline;
  return Got::kGone;
#endif
}

// Skips to the next sync byte and takes the frame there. An answer must be
// whole and right; while saying hello (hello holds the attempt's end), a sync
// byte that starts no good frame is taken for noise, and the search goes on
// from the byte after it.
SerialPort::Got SerialPort::ReadFrame(Frame& frame, std::optional<Deadline> hello) {
  for (;;) {
    in_.erase(in_.begin(), std::find(in_.begin(), in_.end(), QA_SYNC));
    if (in_.size() >= kHeader) {
      const std::size_t length = Word(in_[2], in_[3]);
      const bool fits = length <= QA_MAX_PAYLOAD;
      if (!fits || in_.size() >= kHeader + length + 1) {
        if (fits && Crc(in_.data() + 1, kHeader - 1 + length) == in_[kHeader + length]) {
          frame.type = in_[1];
          frame.payload.assign(in_.begin() + kHeader, in_.begin() + static_cast<std::ptrdiff_t>(kHeader + length));
          in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(kHeader + length + 1));
          return Got::kOk;
        }
        if (!hello) return Got::kBroken;
        in_.erase(in_.begin());
        continue;
      }
    }
    const Got got = Fill(hello ? *hello : ReplyDeadline());
    if (got == Got::kSilent && hello && !in_.empty()) {
      // A false sync can wait for a length that never comes: look past it
      // at what did come.
      in_.erase(in_.begin());
      continue;
    }
    if (got != Got::kOk) return got;
  }
}

// Sends one request and waits for its answer; false, with the port dropped,
// when none came. An answer the adapter refused for a bad check byte is sent
// once more: the request was not carried out.
bool SerialPort::Request(std::uint8_t type, const std::vector<std::uint8_t>& payload,
                         std::vector<std::uint8_t>& answer) {
  if (fd_ < 0) return false;
  std::vector<std::uint8_t> request = {QA_SYNC, type, Low(payload.size()), High(payload.size())};
  request.insert(request.end(), payload.begin(), payload.end());
  request.push_back(Crc(request.data() + 1, request.size() - 1));
  Frame frame;
  for (int attempt = 0;; ++attempt) {
    Got got = WriteAll(request.data(), request.size(), ReplyDeadline());
    while (got == Got::kOk && (got = ReadFrame(frame, std::nullopt)) == Got::kOk &&
           AnswersHello(frame.payload, frame.type)) {}
    if (got == Got::kGone) Drop(Tr(kUnplugged, {device_}), Tr(kPlugIn));
    if (got == Got::kSilent) Drop(Tr(kSilent, {device_}), Tr(kReplug));
    if (got == Got::kBroken) DropBadAnswer();
    if (got != Got::kOk) return false;
    if (frame.type == (type | QA_ANSWER)) {
      answer = std::move(frame.payload);
      return true;
    }
    if (frame.type != QA_ERROR || frame.payload.size() < 2) {
      DropBadAnswer();
      return false;
    }
    if (frame.payload[0] == QA_BAD_CRC && attempt == 0) continue;
    Drop(Tr(kRefused, {device_, std::to_string(frame.payload[0])}), Tr(kReplug));
    return false;
  }
}

std::uint8_t SerialPort::ReadPortByte(std::uint16_t address) {
  if (address < kBase || address > kBase + 2) return 0xFF;
  if (!usable()) return 0x00;
  if (address == kBase) return data_;
  if (address == kBase + 2) return control_;
  std::vector<std::uint8_t> answer;
  if (!Request(QA_READ_STATUS, {}, answer)) return 0x00;
  if (answer.size() == 1) return answer[0];
  DropBadAnswer();
  return 0x00;
}

void SerialPort::WritePortByte(std::uint16_t address, std::uint8_t value) {
  if (address < kBase || address > kBase + 2 || address == kBase + 1 || !usable()) return;
  if (address == kBase + 2) {
    control_ = value;
    return;
  }
  data_ = value;
  std::vector<std::uint8_t> answer;
  if (Request(QA_WRITE_DATA, {value}, answer) && !answer.empty()) DropBadAnswer();
}

LinkEngine::SendOutcome SerialPort::SendBytes(const std::uint8_t* bytes, std::size_t count, bool presenceCheck,
                                              std::size_t& sent) {
  sent = 0;
  if (!usable()) return SendOutcome::kTimedOut;
  std::vector<std::uint8_t> request, answer;
  while (sent < count) {
    const std::size_t n = std::min(maxPayload_ - 1, count - sent);
    request.assign(1, presenceCheck ? QA_SEND_PRESENCE : 0);
    request.insert(request.end(), bytes + sent, bytes + sent + n);
    if (!Request(QA_SEND, request, answer)) return SendOutcome::kTimedOut;
    const std::size_t went = answer.size() == 3 ? Word(answer[0], answer[1]) : n + 1;
    const int outcome = answer.size() == 3 ? answer[2] : -1;
    const bool failed = outcome == QA_TIMED_OUT || outcome == QA_READER_OFF;
    if (!(outcome == QA_OK && went == n) && !(failed && went < n)) {
      DropBadAnswer();
      return SendOutcome::kTimedOut;
    }
    sent += went;
    if (outcome == QA_TIMED_OUT) return SendOutcome::kTimedOut;
    if (outcome == QA_READER_OFF) return SendOutcome::kReaderOff;
  }
  return SendOutcome::kSent;
}

int SerialPort::TakeBytes(int lowConfirmations, std::uint8_t* bytes, std::size_t count, std::size_t& taken) {
  taken = 0;
  if (!usable()) return QA_TAKE_FIRST_WAIT;
  const auto low = static_cast<std::uint8_t>(std::clamp(lowConfirmations, 0, 255));
  std::vector<std::uint8_t> answer;
  while (taken < count) {
    const std::size_t n = std::min(maxPayload_ - 1, count - taken);
    if (!Request(QA_TAKE, {low, Low(n), High(n)}, answer)) return QA_TAKE_FIRST_WAIT;
    const std::size_t got = answer.empty() ? 0 : answer.size() - 1;
    const int outcome = answer.empty() ? -1 : answer[0];
    const bool failed = outcome >= QA_TAKE_FIRST_WAIT && outcome <= QA_TAKE_WAIT_FOR_1;
    if (!(outcome == QA_OK && got == n) && !(failed && got < n)) {
      DropBadAnswer();
      return QA_TAKE_FIRST_WAIT;
    }
    std::copy(answer.begin() + 1, answer.end(), bytes + taken);
    taken += got;
    if (failed) return outcome;
  }
  return QA_OK;
}

bool SerialPort::ValidTarget(const std::string& target, std::string& error) {
  static constexpr std::string_view kPrefix = "serial:";
  if (target.rfind(kPrefix, 0) == 0 && target.size() > kPrefix.size() && target[kPrefix.size()] == '/') return true;
  error = Tr("serial needs an absolute device path, e.g. serial:/dev/ttyUSB0");
  return false;
}

std::vector<std::string> SerialCandidates(SystemCalls& sys) {
  static constexpr std::string_view kPrefixes[] = {"ttyUSB", "ttyACM"};
  std::vector<std::tuple<int, long, std::string>> found;
  for (const auto& name : sys.ListDirectory("/dev"))
    for (int kind = 0; kind < 2; ++kind)
      if (const long n = DeviceNumber(name, kPrefixes[kind]); n >= 0) found.emplace_back(kind, n, name);
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (const auto& [kind, n, name] : found) paths.push_back("/dev/" + name);
  return paths;
}

}  // namespace quirel
