// What the fuzz targets share: a reader of the fuzzer's bytes, a scratch
// folder that lives as long as the process, a check that aborts (so the
// fuzzer keeps the input), and a port that ends a transfer once the scripted
// reader has nothing more to say.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <memory>
#include <vector>

#include "link/port.h"
#include "reader/firmware.h"
#include "reader/virtual_reader.h"

namespace quirel::fuzz {

namespace fs = std::filesystem;

// A broken promise of the code under test: the fuzzer must see a crash.
#define FUZZ_REQUIRE(condition)                                                                \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "%s:%d: requirement failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                            \
    }                                                                                          \
  } while (0)

// The verdict of an entry point that names the promise it found broken.
#define FUZZ_HOLDS(verdict)                                                          \
  do {                                                                               \
    if (const char* broken = (verdict)) {                                            \
      std::fprintf(stderr, "%s:%d: %s: %s\n", __FILE__, __LINE__, #verdict, broken); \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)

// Takes the fuzzer's bytes from the front: small choices first, the payload last.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  // Up to n bytes.
  std::string_view Take(std::size_t n) {
    n = n < size_ - pos_ ? n : size_ - pos_;
    const std::string_view out(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return out;
  }
  std::string_view Rest() { return Take(size_ - pos_); }
  std::size_t left() const { return size_ - pos_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// One folder per process, in memory when the machine offers it; removed at exit.
inline const fs::path& Scratch() {
  static const fs::path dir = [] {
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm")
                                                                                        : fs::temp_directory_path();
    std::string pattern = (base / "quirel-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    static const std::string made = pattern;
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(made, ignored);
    });
    return fs::path(pattern);
  }();
  return dir;
}

// A fresh, empty folder below the scratch folder.
inline fs::path FreshDir(const std::string& name) {
  const fs::path dir = Scratch() / name;
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir);
  return dir;
}

inline void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Thrown when the scripted reader has given everything and the PC keeps
// waiting: the program's own time-out would only burn three million polls
// per exchange, which the fault sweep already covers.
struct ScriptEnded {};

// The virtual reader with a patience limit: many reads in a row without a
// byte moving either way end the run.
class ScriptedCable final : public Port {
 public:
  explicit ScriptedCable(reader::VirtualReader& reader) : reader_(reader) {}
  // Runs on every poll: kept out of the coverage the fuzzer steers by.
#if defined(__clang__)
  __attribute__((no_sanitize("coverage")))
#endif
  std::uint8_t
  ReadPortByte(std::uint16_t address) override {
    const std::uint64_t moved = reader_.GivenCount() + reader_.Received().size();
    if (moved != lastMoved_) {
      lastMoved_ = moved;
      idleReads_ = 0;
    } else if (++idleReads_ > kPatience && reader_.PendingGive() == 0) {
      throw ScriptEnded{};
    }
    return reader_.ReadPortByte(address);
  }
  void WritePortByte(std::uint16_t address, std::uint8_t value) override { reader_.WritePortByte(address, value); }

 private:
  static constexpr int kPatience = 5000;  // a live reader answers within a few polls
  reader::VirtualReader& reader_;
  std::uint64_t lastMoved_ = ~std::uint64_t{0};
  int idleReads_ = 0;
};

// A reader command whose answer is the fuzzer's bytes, given as soon as the
// burst is in.
class ScriptedAnswer final : public reader::CommandHandler {
 public:
  ScriptedAnswer(reader::Firmware& firmware, std::vector<std::uint8_t> answer)
      : firmware_(firmware), answer_(std::move(answer)) {}
  bool Start() override {
    firmware_.reader().Give(answer_);
    return false;
  }
  bool OnByte(std::uint8_t) override { return false; }

 private:
  reader::Firmware& firmware_;
  std::vector<std::uint8_t> answer_;
};

inline void AnswerWith(reader::Firmware& firmware, std::uint8_t code, std::string_view answer) {
  std::vector<std::uint8_t> bytes(answer.begin(), answer.end());
  firmware.Register(code, [bytes](reader::Firmware& fw) { return std::make_unique<ScriptedAnswer>(fw, bytes); });
}

}  // namespace quirel::fuzz
