// The USB adapter: an ATmega328P board behind a USB-serial chip that drives
// the reader's lines and runs the link's byte operations itself. The program
// talks to it in the frames of adapter/protocol.h.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/backends.h"
#include "link/port.h"

namespace quirel {

// The adapter on a serial device ("/dev/ttyUSB0", "/dev/ttyACM0", or a pty
// in tests). As a Port it looks like a parallel port at 0x378: data writes
// go to the adapter and read back from a shadow copy, status reads ask the
// adapter, the control register is a shadow only, other addresses read 0xFF
// and ignore writes. As a LinkEngine it hands whole sends and takes to the
// adapter, one stop-and-wait frame per QA_MAX_PAYLOAD - 1 bytes.
//
// Once the adapter fails (unplugged, silent, or a wrong answer) the device
// is closed and stays closed: the registers read 0x00, writes go nowhere and
// the byte operations fail at once, so the link reports its own errors.
class SerialPort final : public Port, public LinkEngine {
 public:
  // How long the board may take to answer the first hello: opening the
  // device resets it, and its bootloader runs for up to about 2 s.
  static constexpr int kHelloBudgetMs = 3000;
  static constexpr int kReplyTimeoutMs = 2000;

  // Opens the device, sets the line up and says hello.
  explicit SerialPort(const std::string& device, int helloBudgetMs = kHelloBudgetMs);
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  std::uint8_t ReadPortByte(std::uint16_t address) override;
  void WritePortByte(std::uint16_t address, std::uint8_t value) override;
  // This, while the adapter answers.
  LinkEngine* Engine() override { return usable() ? this : nullptr; }

  SendOutcome SendBytes(const std::uint8_t* bytes, std::size_t count, bool presenceCheck, std::size_t& sent) override;
  int TakeBytes(int lowConfirmations, std::uint8_t* bytes, std::size_t count, std::size_t& taken) override;

  // The device is open and the adapter said hello with our major version.
  bool usable() const { return fd_ >= 0; }
  // Why not; empty while usable.
  const std::string& problem() const { return problem_; }
  // What the user can do about it, one step a line; may be empty.
  const std::string& remedy() const { return remedy_; }
  // "major.minor" as the adapter reported it; empty before any hello answer.
  std::string Version() const;
  // How long a silence (no byte at all; keep-alives count) ends an answer.
  void SetReplyTimeout(int milliseconds) { replyTimeoutMs_ = milliseconds; }

  // True when target is "serial:PATH" with PATH absolute.
  static bool ValidTarget(const std::string& target, std::string& error);

 private:
  using Deadline = std::chrono::steady_clock::time_point;
  enum class Got { kOk, kSilent, kGone, kBroken };
  struct Frame {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> payload;
  };

  void Open();
  void Hello(int budgetMs);
  Got WriteAll(const std::uint8_t* bytes, std::size_t size, Deadline deadline);
  Got Fill(Deadline deadline);
  Got ReadFrame(Frame& frame, std::optional<Deadline> hello);
  bool Request(std::uint8_t type, const std::vector<std::uint8_t>& payload, std::vector<std::uint8_t>& answer);
  Deadline ReplyDeadline() const;
  void Drop(const std::string& problem, const std::string& remedy);
  void DropBadAnswer();

  std::string device_;
  int fd_ = -1;
  int replyTimeoutMs_ = kReplyTimeoutMs;
  std::optional<std::pair<int, int>> version_;
  std::size_t maxPayload_ = 0;
  std::uint8_t data_ = 0;
  std::uint8_t control_ = 0;
  std::vector<std::uint8_t> in_;  // received and not yet taken as a frame
  std::string problem_;
  std::string remedy_;
};

// The serial devices where an adapter may sit: /dev/ttyUSB* (the USB-serial
// chips of most boards) before /dev/ttyACM*, each in the order of its number.
std::vector<std::string> SerialCandidates(SystemCalls& sys);

}  // namespace quirel
