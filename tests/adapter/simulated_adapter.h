// The USB adapter's real firmware, run in simavr with its pins wired to a
// register-level reader model and its UART to a pseudo-terminal, so a test
// (or the serial backend) talks to it as to the board behind /dev/ttyUSB0.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/port.h"

namespace quirel::testing {

class SimulatedAdapter {
 public:
  // Runs the firmware ELF at elfPath in simavr (atmega328p, 16 MHz) in a thread of its own;
  // its pins are wired to reader (a register-level Port model at base 0x378), its UART to a
  // pseudo-terminal whose slave side devicePath() names, as a USB-serial adapter's tty would.
  SimulatedAdapter(const std::string& elfPath, Port& reader);
  ~SimulatedAdapter();  // stops the simulation and closes the pty
  SimulatedAdapter(const SimulatedAdapter&) = delete;
  SimulatedAdapter& operator=(const SimulatedAdapter&) = delete;

  const std::string& devicePath() const;
  bool running() const;  // false when the ELF could not be loaded (with why())
  const std::string& why() const;
  std::uint64_t cycles() const;     // simulated CPU cycles so far
  double simulatedSeconds() const;  // cycles / 16e6
  // Runs f while the simulation stands still, so the test may look at or change the reader.
  void Access(const std::function<void()>& f);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quirel::testing
