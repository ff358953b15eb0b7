// Directory creation: 0xC4, a count n, (n + 1) name records of 17 bytes and
// their sum; the chain is created below books/. 0x4E ends an operation.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "reader/firmware.h"
#include "reader/storage.h"

namespace quirel::reader {
namespace {

constexpr std::size_t kRecordSize = 17;

class DirectoryPathHandler final : public CommandHandler {
 public:
  explicit DirectoryPathHandler(Firmware& firmware) : firmware_(firmware) {}

  bool OnByte(std::uint8_t b) override {
    if (!haveCount_) {
      haveCount_ = true;
      expected_ = (static_cast<std::size_t>(b) + 1) * kRecordSize;
      return true;
    }
    if (records_.size() < expected_) {
      records_.push_back(b);
      sum_ = static_cast<std::uint8_t>(sum_ + b);
      return true;
    }
    if (b != sum_) {
      LogEvent(firmware_, "0xC4: wrong path sum, nothing created");
      return false;
    }
    std::vector<std::string> names;
    for (std::size_t at = 0; at < records_.size(); at += kRecordSize)
      names.push_back(NameFromDevice(RecordName(std::span(records_).subspan(at, kRecordSize))));
    if (!EnterFolders(firmware_.Books(), names)) LogEvent(firmware_, "0xC4: a folder of the path cannot be created");
    return false;
  }

  void Abort() override { LogEvent(firmware_, "0xC4: path cut short"); }

 private:
  Firmware& firmware_;
  bool haveCount_ = false;
  std::size_t expected_ = 0;
  std::vector<std::uint8_t> records_;
  std::uint8_t sum_ = 0;
};

// The end of an operation carries nothing; what it completes is already stored.
class EndOfOperationHandler final : public CommandHandler {
 public:
  bool Start() override { return false; }
  bool OnByte(std::uint8_t) override { return false; }
};

}  // namespace

void RegisterDirectoryCommands(Firmware& firmware) {
  firmware.Register(0xC4, [](Firmware& fw) { return std::make_unique<DirectoryPathHandler>(fw); });
  firmware.Register(0x4E, [](Firmware&) { return std::make_unique<EndOfOperationHandler>(); });
}

}  // namespace quirel::reader
