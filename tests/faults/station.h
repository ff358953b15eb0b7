// One PC and one virtual reader in a scratch folder, with the faults the
// sweeps inject: the reader falls silent or is switched off after N bytes
// (counted both ways), answers slowly, or gives a wrong sum; the clock runs
// in virtual time and stops a run that outlives any wait budget.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/environment.h"
#include "link/link.h"
#include "reader/firmware.h"
#include "reader/virtual_reader.h"

namespace quirel::faults {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Every regular file below dir (relative path -> bytes); links and folders
// are listed with a mark of their own.
inline std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  if (!fs::exists(dir, ec)) return files;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string rel = it->path().lexically_relative(dir).string();
    if (it->is_symlink())
      files[rel] = "<link>";
    else if (it->is_directory())
      files[rel] = "<folder>";
    else
      files[rel] = ReadFile(it->path());
  }
  return files;
}

// Thrown by the clock when a run has waited longer than any command may.
struct Hang {};

class BudgetClock final : public Clock {
 public:
  void Sleep(unsigned milliseconds) override {
    elapsedMs += milliseconds;
    if (elapsedMs > kHardLimitMs) throw Hang{};
  }
  static constexpr std::uint64_t kHardLimitMs = 120000;
  std::uint64_t elapsedMs = 0;
};

// The cable between the PC and the reader: switches the reader off once N
// bytes have moved, and calls a hook as bytes move (for Ctrl-C).
class FaultCable final : public Port {
 public:
  explicit FaultCable(reader::VirtualReader& reader) : reader_(reader) {}
  std::uint8_t ReadPortByte(std::uint16_t address) override {
    if (offAt < 0 && corruptGivenAt < 0 && hookAt < 0) return reader_.ReadPortByte(address);  // the sweeps' hot path
    Check();
    std::uint8_t value = reader_.ReadPortByte(address);
    // Bit 6 carries the bits of a byte the reader gives: flipping it while
    // that byte goes out turns it into its complement.
    if (corruptGivenAt >= 0 && reader_.PendingGive() > 0 &&
        static_cast<long long>(reader_.GivenCount()) == corruptGivenAt)
      value ^= kStatusData;
    return value;
  }
  void WritePortByte(std::uint16_t address, std::uint8_t value) override {
    Check();
    reader_.WritePortByte(address, value);
  }
  // What a read may change here (switching off, the hook) depends only on
  // the bytes moved, which reads alone do not move.
  bool StatusSteady() const override { return reader_.StatusSteady(); }
  long long Moved() const {
    return static_cast<long long>(reader_.Received().size()) + static_cast<long long>(reader_.GivenCount());
  }

  long long offAt = -1;
  long long corruptGivenAt = -1;
  long long hookAt = -1;
  std::function<void()> hook;

 private:
  void Check() {
    if (offAt >= 0 && Moved() >= offAt) reader_.SetOff(true);
    if (hookAt >= 0 && Moved() >= hookAt && hook) {
      hookAt = -1;
      hook();
    }
  }
  reader::VirtualReader& reader_;
};

class Scratch {
 public:
  // A sweep builds and removes tens of thousands of stations: on a disk the
  // journal, not the test, would set the pace, so memory is used when there.
  Scratch() {
    std::error_code ec;
    const fs::path memory = "/dev/shm";
    const bool inMemory = fs::is_directory(memory, ec) && ::access(memory.c_str(), W_OK | X_OK) == 0;
    std::string pattern = ((inMemory ? memory : fs::temp_directory_path()) / "quirel-faults-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder: " + pattern);
    path_ = pattern;
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

}  // namespace quirel::faults
