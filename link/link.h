// The byte layer between the PC and the reader: nibbles out, bits in, every
// wait a counted poll with one-millisecond sleeps.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/ui.h"
#include "link/port.h"

namespace quirel {

// The outcome of a link operation (and of the commands built on it); the
// numbers are the ones every caller has always been given.
enum class LinkResult : int { kDone = 0, kFailed = 1, kInterrupted = 2 };

enum class Confirm { Consecutive, Cumulative };

// Writes 0 to the control registers and 5 to the data registers of the three
// standard bases, picks the first whose data register reads back 5, shows the
// detection error when none does, and leaves 0 on the chosen data register.
// problem, when known, says why no hardware can answer and goes under the
// error's fixed text.
PortAddresses DetectPorts(Port& port, UserInterface& ui, std::string_view problem = {});

// The poll loop behind every wait. presenceLost, when given, turns on the
// presence check and is set to 1 when the reader is found switched off.
bool WaitHandshakeAt(Port& port, Clock& clock, const PortAddresses& ports, bool level, Confirm mode,
                     std::optional<std::uint8_t> rewrite, int* presenceLost, int confirmations);

// Shifts in one byte from the reader, least significant bit first, with the
// given number of confirmations for the waits for 0 of each round. Returns 0
// on success; otherwise which wait failed: 1 the first wait for 1, 2 a wait
// for 0, 3 a wait for 1 inside a round.
[[nodiscard]] int ShiftInByte(Port& port, Clock& clock, const PortAddresses& ports, int lowConfirmations,
                              std::uint8_t& byte);

// The process-wide link state: port addresses, the lost-link flag and the last
// received byte, with the operations on them. One per program run.
class Link {
 public:
  Link(Port& port, Clock& clock, UserInterface& ui) : port_(port), clock_(clock), ui_(ui) {}

  Port& port() { return port_; }
  Clock& clock() { return clock_; }
  UserInterface& ui() { return ui_; }

  PortAddresses ports;            // DataPort, StatusPort, ControlPort
  int linkLost = 0;               // LinkLost
  std::uint8_t receivedByte = 0;  // ReceivedByte
  // Why the opened port cannot reach any hardware, with the remedy; empty
  // when it can. Shown with the detection error.
  std::string portProblem;

  // Set by programs that share the port with others running at the same
  // time: takes the port for this program (false, the reason shown, when
  // another holds it), and lets it go again when a command has ended.
  std::function<bool()> claimPort;
  std::function<void()> releasePort;
  void ReleasePort() {
    if (releasePort) releasePort();
  }

  void DetectParallelPort();
  void ResetPortLines();

  // Waits for status bit 5 to reach level. With the presence check a miss
  // that finds bit 6 at 0 fails at once and sets linkLost.
  bool WaitHandshake(bool level, Confirm mode, std::optional<std::uint8_t> rewrite, bool presenceCheck) {
    return WaitHandshakeAt(port_, clock_, ports, level, mode, rewrite, presenceCheck ? &linkLost : nullptr, 3);
  }
  [[nodiscard]] LinkResult SendByte(std::uint8_t b);
  [[nodiscard]] LinkResult SendProbeByte(std::uint8_t b);
  [[nodiscard]] LinkResult OpenLink();
  [[nodiscard]] LinkResult ReceiveByte();

  // Sends b ten times; stops at the first failure. Returns 0 or 1.
  [[nodiscard]] LinkResult SendBurst(std::uint8_t b);

  // Sends count bytes as SendByte sends each, stopping at the first that
  // fails; a port with its own byte layer takes them in one go.
  [[nodiscard]] LinkResult SendBytes(const std::uint8_t* bytes, std::size_t count);
  // Takes count bytes into bytes as ReceiveByte takes each, with its
  // interrupt check and its messages; a port with its own byte layer takes
  // them in runs of kTakeRun, checking for the interrupt before each run.
  [[nodiscard]] LinkResult ReceiveBytes(std::uint8_t* bytes, std::size_t count);
  static constexpr std::size_t kTakeRun = 1024;
  // True when the port runs the byte layer itself: the callers that pump
  // and check for the interrupt after every byte may then do it per run.
  bool HasEngine() { return port_.Engine() != nullptr; }

  std::uint8_t Read(std::uint16_t address) { return port_.ReadPortByte(address); }
  void Write(std::uint16_t address, std::uint8_t value) { port_.WritePortByte(address, value); }

 private:
  [[nodiscard]] LinkResult SendByteChecked(std::uint8_t b, bool presenceCheck);
  // ReceiveByte's two halves: the interrupt check before a byte, and the
  // messages when the wait numbered failed (ShiftInByte's numbers) ran out.
  bool ReceiveInterrupted();
  void ReportReceiveFailure(int failed);

  Port& port_;
  Clock& clock_;
  UserInterface& ui_;
  bool detected_ = false;
};

}  // namespace quirel
