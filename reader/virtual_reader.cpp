#include "reader/virtual_reader.h"

#include <cstdlib>
#include <sstream>

#include "common/translate.h"
#include "reader/firmware.h"

namespace quirel::reader {

bool ParseVirtualSpec(const std::string& spec, std::string& dir, ReaderOptions& options, std::string& error) {
  std::string rest = spec;
  if (rest.rfind("virtual", 0) != 0) {
    error = Tr("not a virtual reader: %s", {spec});
    return false;
  }
  rest = rest.substr(7);
  std::vector<std::string> parts;
  {
    std::stringstream ss(rest);
    std::string part;
    while (std::getline(ss, part, ',')) parts.push_back(part);
  }
  if (!parts.empty()) {
    if (!parts[0].empty()) {
      if (parts[0][0] != ':') {
        error = Tr("bad virtual reader spec: %s", {spec});
        return false;
      }
      dir = parts[0].substr(1);
    }
    parts.erase(parts.begin());
  }
  for (const auto& p : parts) {
    const auto eq = p.find('=');
    const std::string key = p.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : p.substr(eq + 1);
    char* end = nullptr;
    if (key == "off" && eq == std::string::npos) {
      options.off = true;
    } else if (key == "base" && !value.empty()) {
      const long v = std::strtol(value.c_str(), &end, 0);
      if (*end != '\0' || v <= 0 || v > 0xFFFD) {
        error = Tr("bad base address: %s", {value});
        return false;
      }
      options.base = static_cast<std::uint16_t>(v);
    } else if (key == "slow" && !value.empty()) {
      const long v = std::strtol(value.c_str(), &end, 10);
      if (*end != '\0' || v < 0 || v > 1000000) {
        error = Tr("bad slow value: %s", {value});
        return false;
      }
      options.slow = static_cast<int>(v);
    } else if (key == "strict" && eq == std::string::npos) {
      options.strict = true;
    } else if (key == "silent-after" && !value.empty()) {
      const long long v = std::strtoll(value.c_str(), &end, 10);
      if (*end != '\0' || v < 0) {
        error = Tr("bad silent-after value: %s", {value});
        return false;
      }
      options.silentAfter = v;
    } else {
      error = Tr("unknown virtual reader option: %s", {p});
      return false;
    }
  }
  return true;
}

VirtualReader::VirtualReader(ReaderOptions options, std::unique_ptr<Firmware> firmware)
    : options_(options), firmware_(std::move(firmware)) {
  if (firmware_) firmware_->Attach(*this);
}

VirtualReader::~VirtualReader() = default;

void VirtualReader::Give(const std::vector<std::uint8_t>& bytes) {
  give_.insert(give_.end(), bytes.begin(), bytes.end());
}

void VirtualReader::SetAck(bool level) {
  pendingAck_ = level;
  ackSeen_ = false;
  if (options_.slow <= 0) {
    ack_ = level;
    delay_ = 0;
  } else {
    delay_ = options_.slow;
  }
}

std::uint8_t VirtualReader::ReadPortByte(std::uint16_t address) {
  ++accesses;
  if (address == options_.base) return dataRegister_;
  if (address == options_.base + 2) return controlRegister_;
  if (address != options_.base + 1) return 0xFF;  // nothing on the bus there
  if (options_.off) return 0x00;
  if (delay_ > 0 && --delay_ == 0) ack_ = pendingAck_;
  if (delay_ == 0) ackSeen_ = true;
  return static_cast<std::uint8_t>((ack_ ? kStatusAck : 0) | (dataBit_ ? kStatusData : 0));
}

void VirtualReader::WritePortByte(std::uint16_t address, std::uint8_t value) {
  ++accesses;
  if (address == options_.base + 2) {
    controlRegister_ = value;
    return;
  }
  if (address != options_.base) return;
  dataRegister_ = value;
  if (Silent()) return;

  if (value & 0x10) {
    // D4 up: the high nibble of a byte from the PC. The PC has given up
    // whatever it was receiving.
    if (!give_.empty() || lastStep_ >= 0) {
      give_.clear();
      lastStep_ = -1;
      dataBit_ = true;
    }
    if (!highLatched_) {
      CheckAckSeen("high nibble");
      high_ = value & 0x0F;
      highLatched_ = true;
      SetAck(false);
    }
    return;
  }
  if (highLatched_) {
    // D4 down: the low nibble completes the byte.
    CheckAckSeen("low nibble");
    highLatched_ = false;
    const std::uint8_t byte = static_cast<std::uint8_t>(~((high_ << 4) | (value & 0x0F)));
    SetAck(true);
    Take(byte);
    return;
  }
  // Step values of a byte the PC clocks in: 0x0F, 0x0E, ... 0x08.
  if (!give_.empty() && (value & 0x08)) {
    const int step = 0x0F - (value & 0x0F);
    if (step == lastStep_) return;  // a rewrite after a sleep
    CheckAckSeen("step value");
    if (options_.strict && step != (lastStep_ + 1) % 8)
      Violation("step " + std::to_string(step) + " after step " + std::to_string(lastStep_));
    lastStep_ = step;
    dataBit_ = ((give_.front() >> step) & 1) != 0;
    SetAck(step % 2 == 1);
    if (step == 7) {
      give_.pop_front();
      ++givenCount_;
      if (give_.empty() && firmware_) firmware_->OnGiven();
    }
  }
}

void VirtualReader::CheckAckSeen(const char* what) {
  if (options_.strict && !ackSeen_) Violation(std::string(what) + " written before the acknowledge was read");
}

void VirtualReader::Violation(const std::string& what) {
  ++violations_;
  constexpr std::size_t kNotesKept = 8;
  if (violationNotes_.size() < kNotesKept)
    violationNotes_.push_back(what + " (after " + std::to_string(received_.size()) + " bytes taken, " +
                              std::to_string(givenCount_) + " given)");
}

std::string VirtualReader::ViolationReport() const {
  std::string out = std::to_string(violations_) + " handshake violations";
  for (const auto& note : violationNotes_) out += "\n  " + note;
  return out;
}

void VirtualReader::Take(std::uint8_t byte) {
  received_.push_back(byte);
  if (firmware_) firmware_->OnByte(byte);
}

}  // namespace quirel::reader
