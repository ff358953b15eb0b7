// The reader's side of the cable, played at register level: it takes bytes
// from the PC on the nibble handshake, gives bytes back on status bit 6, and
// hands what it takes to its firmware (reader/firmware.h).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "link/port.h"
#include "reader/firmware.h"

namespace quirel::reader {

class Firmware;

struct ReaderOptions {
  std::uint16_t base = 0x378;
  bool off = false;            // switched off: bit 6 low, never answers
  int slow = 0;                // K status reads before each change of bit 5 shows
  long long silentAfter = -1;  // stops answering after N bytes (taken or given)
  // Counts every handshake the PC breaks: a nibble or step value written
  // before the acknowledge of the previous one was read, a step out of turn.
  bool strict = false;
};

// Parses "virtual[:DIR][,base=0x278][,off][,slow=K][,silent-after=N][,strict]".
// Returns false with a message in error when the text is not understood.
bool ParseVirtualSpec(const std::string& spec, std::string& dir, ReaderOptions& options, std::string& error);

class VirtualReader final : public Port {
 public:
  // firmware may be null: the byte layer then only logs what it takes.
  explicit VirtualReader(ReaderOptions options, std::unique_ptr<Firmware> firmware = nullptr);
  ~VirtualReader() override;

  std::uint8_t ReadPortByte(std::uint16_t address) override;
  void WritePortByte(std::uint16_t address, std::uint8_t value) override;
  // Only a slow reader's acknowledge moves on reads alone.
  bool StatusSteady() const override { return options_.off || delay_ == 0; }

  // Bytes to give to the PC, in order.
  void Give(const std::vector<std::uint8_t>& bytes);
  void Give(std::uint8_t byte) { give_.push_back(byte); }
  // Drops whatever was queued for the PC.
  void DropGiven() { give_.clear(); }
  std::size_t PendingGive() const { return give_.size(); }

  // Every byte taken from the PC, in order.
  const std::vector<std::uint8_t>& Received() const { return received_; }
  void ClearReceived() { received_.clear(); }
  // Bytes given to the PC so far.
  std::uint64_t GivenCount() const { return givenCount_; }

  void SetOff(bool off) { options_.off = off; }
  void SetSilentAfter(long long n) { options_.silentAfter = n; }
  Firmware* firmware() { return firmware_.get(); }
  const ReaderOptions& options() const { return options_; }

  // Handshakes the PC broke (strict mode only), and what the first few were.
  std::uint64_t Violations() const { return violations_; }
  std::string ViolationReport() const;

  // Register accesses seen, for the benchmarks.
  std::uint64_t accesses = 0;

 private:
  bool Silent() const {
    return options_.off ||
           (options_.silentAfter >= 0 &&
            static_cast<long long>(received_.size()) + static_cast<long long>(givenCount_) >= options_.silentAfter);
  }
  void SetAck(bool level);
  void Take(std::uint8_t byte);
  // A write that moves the handshake on must follow a read that showed the
  // acknowledge of the one before.
  void CheckAckSeen(const char* what);
  void Violation(const std::string& what);

  ReaderOptions options_;
  std::unique_ptr<Firmware> firmware_;
  std::uint8_t dataRegister_ = 0;
  std::uint8_t controlRegister_ = 0;

  bool ack_ = true;         // bit 5 as the PC sees it
  bool pendingAck_ = true;  // bit 5 as the reader has set it
  int delay_ = 0;           // reads left before pendingAck_ shows
  bool ackSeen_ = false;    // the PC has read pendingAck_ since it was set
  bool dataBit_ = true;     // bit 6

  bool highLatched_ = false;
  std::uint8_t high_ = 0;

  std::deque<std::uint8_t> give_;
  int lastStep_ = -1;  // half-step of the byte being given, -1 before its first
  std::uint64_t givenCount_ = 0;
  std::vector<std::uint8_t> received_;
  std::uint64_t violations_ = 0;
  std::vector<std::string> violationNotes_;
};

}  // namespace quirel::reader
