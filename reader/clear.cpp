// Clearing: 0x35 deletes the e-book files; 0x8D deletes e-books and phonebook
// and then takes the two fonts block by block (0x5A 0xA5 code, 8192 bytes,
// sum) until 0x5A 0xA5 0xF8; 0xF7 takes the start-up bitmap, one block.
#include <array>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "reader/firmware.h"
#include "reader/storage.h"

namespace quirel::reader {
namespace {

constexpr std::size_t kBlockSize = 8192;

std::string Hex(std::uint8_t b) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string("0x") + kDigits[b >> 4] + kDigits[b & 0x0F];
}

class QuickClearHandler final : public CommandHandler {
 public:
  explicit QuickClearHandler(Firmware& firmware) : firmware_(firmware) {}
  bool Start() override {
    RemoveContents(firmware_.Books());
    std::error_code ec;
    std::filesystem::remove(firmware_.CursorFile(), ec);  // nothing left to point at
    return false;
  }
  bool OnByte(std::uint8_t) override { return false; }

 private:
  Firmware& firmware_;
};

class FullClearHandler final : public CommandHandler {
 public:
  explicit FullClearHandler(Firmware& firmware) : firmware_(firmware) {}

  bool Start() override {
    RemoveContents(firmware_.Books());
    RemoveContents(firmware_.PhonebookDir());
    std::error_code ec;
    std::filesystem::remove(firmware_.CursorFile(), ec);
    return true;
  }

  bool OnByte(std::uint8_t b) override {
    switch (state_) {
      case State::Lead:
        if (b == 0x5A) {
          state_ = State::Second;
        } else {
          LogEvent(firmware_, "0x8D: stray byte " + Hex(b) + " between blocks");
        }
        return true;
      case State::Second:
        state_ = b == 0xA5 ? State::Code : State::Lead;
        if (b != 0xA5) LogEvent(firmware_, "0x8D: block header broken at " + Hex(b));
        return true;
      case State::Code:
        if (b == 0xF8) return false;  // the fonts are complete
        if (b != 0xFC && b != 0xFB) {
          LogEvent(firmware_, "0x8D: unknown block code " + Hex(b));
          state_ = State::Lead;
          return true;
        }
        code_ = b;
        filled_ = 0;
        sum_ = 0;
        state_ = State::Data;
        return true;
      case State::Data:
        block_[filled_++] = b;
        sum_ = static_cast<std::uint8_t>(sum_ + b);
        if (filled_ == kBlockSize) state_ = State::Sum;
        return true;
      case State::Sum:
        StoreBlock(b);
        state_ = State::Lead;
        return true;
    }
    return true;
  }

  void Abort() override { LogEvent(firmware_, "0x8D: font download cut short"); }

 private:
  enum class State { Lead, Second, Code, Data, Sum };

  // Whole blocks are stored as they come; the first block of a font starts
  // its file anew.
  void StoreBlock(std::uint8_t sum) {
    const bool fontJ = code_ == 0xFC;
    const char* name = fontJ ? "chnstd1j40.bin" : "chnstd1f40.bin";
    bool& started = fontJ ? startedJ_ : startedF_;
    if (sum != sum_) LogEvent(firmware_, std::string("0x8D: wrong block sum in ") + name);
    std::ofstream out(firmware_.SystemDir() / name, std::ios::binary | (started ? std::ios::app : std::ios::trunc));
    out.write(reinterpret_cast<const char*>(block_.data()), static_cast<std::streamsize>(block_.size()));
    started = true;
  }

  Firmware& firmware_;
  State state_ = State::Lead;
  std::uint8_t code_ = 0;
  std::array<std::uint8_t, kBlockSize> block_{};
  std::size_t filled_ = 0;
  std::uint8_t sum_ = 0;
  bool startedJ_ = false;
  bool startedF_ = false;
};

class BitmapHandler final : public CommandHandler {
 public:
  explicit BitmapHandler(Firmware& firmware) : firmware_(firmware) {}

  bool OnByte(std::uint8_t b) override {
    if (filled_ < kBlockSize) {
      block_[filled_++] = b;
      sum_ = static_cast<std::uint8_t>(sum_ + b);
      return true;
    }
    if (b != sum_) LogEvent(firmware_, "0xF7: wrong block sum in ebbmp40.bin");
    std::ofstream out(firmware_.SystemDir() / "ebbmp40.bin", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(block_.data()), static_cast<std::streamsize>(block_.size()));
    return false;
  }

  void Abort() override { LogEvent(firmware_, "0xF7: bitmap cut short"); }

 private:
  Firmware& firmware_;
  std::array<std::uint8_t, kBlockSize> block_{};
  std::size_t filled_ = 0;
  std::uint8_t sum_ = 0;
};

}  // namespace

void RegisterClearCommands(Firmware& firmware) {
  firmware.Register(0x35, [](Firmware& fw) { return std::make_unique<QuickClearHandler>(fw); });
  firmware.Register(0x8D, [](Firmware& fw) { return std::make_unique<FullClearHandler>(fw); });
  firmware.Register(0xF7, [](Firmware& fw) { return std::make_unique<BitmapHandler>(fw); });
}

}  // namespace quirel::reader
