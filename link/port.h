// The three registers of the parallel port, and the clock the link sleeps on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quirel {

// A port whose far end runs the byte layer itself (the USB adapter): the
// link hands it whole byte operations instead of single register accesses.
// Each operation does exactly what the link does on a register port.
class LinkEngine {
 public:
  virtual ~LinkEngine() = default;

  enum class SendOutcome { kSent, kTimedOut, kReaderOff };
  // Sends count bytes in order, each as Link::SendByte does (with the
  // presence check on every wait when asked), and stops at the first that
  // fails. sent is set to the number that went through.
  virtual SendOutcome SendBytes(const std::uint8_t* bytes, std::size_t count, bool presenceCheck,
                                std::size_t& sent) = 0;
  // Takes count bytes, each as ShiftInByte does with lowConfirmations hits
  // for its waits for 0. Returns 0, or which wait failed on the byte after
  // the taken ones (as ShiftInByte numbers them); taken is set to how many
  // bytes were stored in bytes.
  virtual int TakeBytes(int lowConfirmations, std::uint8_t* bytes, std::size_t count, std::size_t& taken) = 0;
};

class Port {
 public:
  virtual ~Port() = default;
  virtual std::uint8_t ReadPortByte(std::uint16_t address) = 0;
  virtual void WritePortByte(std::uint16_t address, std::uint8_t value) = 0;
  // True when reading the status register again, before the next write,
  // would change nothing and give the value just read: a wait may then skip
  // the busy polls that could not see a change. Hardware never promises it.
  virtual bool StatusSteady() const { return false; }
  // The byte layer at the far end, when the port has one.
  virtual LinkEngine* Engine() { return nullptr; }
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual void Sleep(unsigned milliseconds) = 0;
};

// Sleeps for real.
class SystemClock final : public Clock {
 public:
  void Sleep(unsigned milliseconds) override;
};

// Counts the time asked for instead of sleeping: time-out budgets run at
// once in tests and against the virtual reader.
class VirtualClock final : public Clock {
 public:
  void Sleep(unsigned milliseconds) override {
    ++sleeps;
    elapsedMs += milliseconds;
  }
  std::uint64_t sleeps = 0;
  std::uint64_t elapsedMs = 0;
};

struct PortAddresses {
  std::uint16_t data = 0x378;
  std::uint16_t status = 0x379;
  std::uint16_t control = 0x37A;

  static PortAddresses ForBase(std::uint16_t base) {
    return {base, static_cast<std::uint16_t>(base + 1), static_cast<std::uint16_t>(base + 2)};
  }
};

inline constexpr std::uint8_t kStatusAck = 0x20;   // bit 5: the reader's handshake line
inline constexpr std::uint8_t kStatusData = 0x40;  // bit 6: data from the reader / presence

}  // namespace quirel
