// The reader's phonebook: it keeps the frames the PC sends (index, query file
// and data blocks) as index.bin, query.bin and data.bin, gives them back in
// the same framing, and erases them.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "reader/firmware.h"
#include "reader/virtual_reader.h"

namespace quirel::reader {
namespace {

constexpr std::size_t kFrame = 8192;
constexpr std::uint8_t kMark = 0xA5;
constexpr std::uint8_t kEnd = 0x1E;
constexpr std::uint8_t kIndexType = 0x4C;
constexpr std::uint8_t kQueryType = 0x1B;
constexpr std::uint8_t kDataType = 0xF9;

const char* const kFiles[] = {"index.bin", "query.bin", "data.bin"};

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// 0x06: the PC's phonebook, frame by frame, until 0xA5 0x1E. Nothing is kept
// before the end mark, and a frame with a wrong sum spoils the whole lot: the
// old phonebook stays.
class TakePhonebook final : public CommandHandler {
 public:
  explicit TakePhonebook(Firmware& firmware) : firmware_(firmware) {}

  bool OnByte(std::uint8_t b) override {
    switch (state_) {
      case State::Mark:
        if (b == kMark) state_ = State::Type;
        return true;
      case State::Type:
        if (b == kEnd) {
          Keep();
          return false;
        }
        type_ = b;
        frame_.clear();
        sum_ = 0;
        state_ = State::Body;
        return true;
      case State::Body:
        frame_.push_back(b);
        sum_ = static_cast<std::uint8_t>(sum_ + b);
        if (frame_.size() == kFrame) state_ = State::Sum;
        return true;
      case State::Sum:
        if (b != sum_) {
          bad_ = true;
        } else if (type_ == kIndexType) {
          index_ = frame_;
        } else if (type_ == kQueryType) {
          query_ = frame_;
        } else if (type_ == kDataType) {
          data_.insert(data_.end(), frame_.begin(), frame_.end());
        }
        state_ = State::Mark;
        return true;
    }
    return true;
  }

 private:
  enum class State { Mark, Type, Body, Sum };

  void Keep() {
    if (bad_) return;
    const auto dir = firmware_.PhonebookDir();
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    WriteAll(dir / kFiles[0], index_);
    WriteAll(dir / kFiles[1], query_);
    WriteAll(dir / kFiles[2], data_);
  }

  Firmware& firmware_;
  State state_ = State::Mark;
  std::uint8_t type_ = 0;
  std::uint8_t sum_ = 0;
  bool bad_ = false;
  std::vector<std::uint8_t> frame_, index_, query_, data_;
};

void AppendFrame(std::vector<std::uint8_t>& out, std::uint8_t type, const std::vector<std::uint8_t>& bytes,
                 std::size_t offset) {
  out.push_back(kMark);
  out.push_back(type);
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < kFrame; ++i) {
    const std::uint8_t b = offset + i < bytes.size() ? bytes[offset + i] : std::uint8_t{0xFF};
    out.push_back(b);
    sum = static_cast<std::uint8_t>(sum + b);
  }
  out.push_back(sum);
}

// 0xFA: gives the frames it holds, or just the end mark when it holds no
// records.
class GivePhonebook final : public CommandHandler {
 public:
  explicit GivePhonebook(Firmware& firmware) : firmware_(firmware) {}

  bool Start() override {
    const auto dir = firmware_.PhonebookDir();
    std::vector<std::uint8_t> out;
    const auto data = ReadAll(dir / kFiles[2]);
    if (!data.empty() && std::filesystem::exists(dir / kFiles[0])) {
      AppendFrame(out, kIndexType, ReadAll(dir / kFiles[0]), 0);
      AppendFrame(out, kQueryType, ReadAll(dir / kFiles[1]), 0);
      for (std::size_t offset = 0; offset < data.size(); offset += kFrame) AppendFrame(out, kDataType, data, offset);
    }
    out.push_back(kMark);
    out.push_back(kEnd);
    firmware_.reader().Give(out);
    return false;
  }
  bool OnByte(std::uint8_t) override { return false; }

 private:
  Firmware& firmware_;
};

// 0x9B: erases the phonebook.
class ErasePhonebook final : public CommandHandler {
 public:
  explicit ErasePhonebook(Firmware& firmware) : firmware_(firmware) {}
  bool Start() override {
    std::error_code ec;
    for (const char* name : kFiles) std::filesystem::remove(firmware_.PhonebookDir() / name, ec);
    return false;
  }
  bool OnByte(std::uint8_t) override { return false; }

 private:
  Firmware& firmware_;
};

}  // namespace

void RegisterPhonebookCommands(Firmware& firmware) {
  firmware.Register(0x06, [](Firmware& f) { return std::make_unique<TakePhonebook>(f); });
  firmware.Register(0xFA, [](Firmware& f) { return std::make_unique<GivePhonebook>(f); });
  firmware.Register(0x9B, [](Firmware& f) { return std::make_unique<ErasePhonebook>(f); });
}

}  // namespace quirel::reader
