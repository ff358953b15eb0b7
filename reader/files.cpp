// The reader taking a document: 0x7E burst, depth, depth path records of 17
// bytes, the 21-byte header and the data. The file is stored under books/ in
// the folders of its path records once every announced byte has arrived; a
// transfer cut short by a new link opening leaves nothing behind.
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <sstream>

#include "common/ini.h"
#include "reader/firmware.h"
#include "reader/storage.h"

namespace quirel::reader {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t kRecordSize = 17;
constexpr std::size_t kHeaderSize = 21;
constexpr std::size_t kMaxDepth = 6;
// A link opening (21 probe bytes) and a command burst (10 bytes).
constexpr int kCommandLead = 31;

class FileHandler final : public CommandHandler {
 public:
  explicit FileHandler(Firmware& firmware) : firmware_(firmware) {}

  bool OnByte(std::uint8_t b) override {
    switch (stage_) {
      case Stage::Depth:
        depth_ = b;
        stage_ = depth_ == 0 ? Stage::Header : Stage::Records;
        return true;
      case Stage::Records:
        records_.push_back(b);
        if (records_.size() == depth_ * kRecordSize) stage_ = Stage::Header;
        return true;
      case Stage::Header:
        header_.push_back(b);
        if (header_.size() == kHeaderSize) {
          length_ = (std::size_t{header_[17]} << 16) | (std::size_t{header_[18]} << 8) | header_[19];
          data_.reserve(length_);
          stage_ = Stage::Data;
          if (length_ == 0) Complete();
        }
        return true;
      case Stage::Data:
        data_.push_back(static_cast<char>(b));
        if (data_.size() == length_) Complete();
        return true;
      case Stage::Trailer:
        // The next command's opening arrived whole after the data: the file
        // was complete and stays.
        return ++trailer_ < kCommandLead;
    }
    return false;
  }

  void Abort() override {
    // A new command that began inside the data, or so soon after its last
    // byte that part of its opening was taken for data: the file was
    // interrupted and is not kept.
    if (stage_ != Stage::Trailer) {
      LogEvent(firmware_, "0x7E: file cut short, not stored");
    } else if (stored_) {
      LogEvent(firmware_, "0x7E: file interrupted at its end, not kept");
      Revert();
    }
  }

 private:
  enum class Stage { Depth, Records, Header, Data, Trailer };

  void Complete() {
    stage_ = Stage::Trailer;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 20; ++i) sum = static_cast<std::uint8_t>(sum + header_[i]);
    if (sum != header_[20]) {
      LogEvent(firmware_, "0x7E: wrong header sum, file not stored");
      return;
    }
    if (depth_ > kMaxDepth) {
      LogEvent(firmware_, "0x7E: more than six folder levels, file not stored");
      return;
    }
    Store();
  }

  void Store() {
    std::vector<std::string> folders;
    for (std::size_t at = 0; at < records_.size(); at += kRecordSize)
      folders.push_back(NameFromDevice(RecordName(std::span(records_).subspan(at, kRecordSize))));
    const std::optional<fs::path> folder = EnterFolders(firmware_.Books(), folders);
    // Zero bytes inside the name are skipped; the extension ends at its first zero.
    std::string base, extension;
    for (std::size_t i = 0; i < 14; ++i)
      if (header_[i] != 0) base += static_cast<char>(header_[i]);
    for (std::size_t i = 14; i < 17 && header_[i] != 0; ++i) extension += static_cast<char>(header_[i]);
    std::string name = NameFromDevice(base);
    if (!extension.empty()) {
      name += '.';
      name += NameFromDevice(extension);
    }
    if (!folder) {
      LogEvent(firmware_, "0x7E: a folder of the path cannot be created, file not stored");
      return;
    }
    const fs::path target = *folder / name;

    std::error_code ec;
    if (fs::is_regular_file(target, ec)) {
      std::ifstream in(target, std::ios::binary);
      std::ostringstream old;
      old << in.rdbuf();
      previous_ = old.str();
    }
    if (WriteFileAtomically(target.string(), data_))
      stored_ = target;
    else
      LogEvent(firmware_, "0x7E: file cannot be written");
  }

  void Revert() {
    if (!stored_) return;
    if (previous_)
      WriteFileAtomically(stored_->string(), *previous_);
    else {
      std::error_code ec;
      fs::remove(*stored_, ec);
    }
    stored_.reset();
  }

  Firmware& firmware_;
  Stage stage_ = Stage::Depth;
  std::size_t depth_ = 0;
  std::vector<std::uint8_t> records_;
  std::vector<std::uint8_t> header_;
  std::size_t length_ = 0;
  std::string data_;
  int trailer_ = 0;
  std::optional<fs::path> stored_;
  std::optional<std::string> previous_;
};

}  // namespace

void RegisterFileCommands(Firmware& firmware) {
  firmware.Register(0x7E, [](Firmware& fw) { return std::make_unique<FileHandler>(fw); });
}

}  // namespace quirel::reader
