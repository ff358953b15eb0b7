#include "reader/give.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "reader/firmware.h"
#include "reader/storage.h"
#include "reader/virtual_reader.h"

namespace fs = std::filesystem;

namespace quirel::reader {
namespace {

constexpr std::size_t kMaxLength = std::size_t{1} << 24;  // what three size bytes can announce

void AppendPadded(std::vector<std::uint8_t>& out, const std::string& bytes, std::size_t width) {
  out.insert(out.end(), bytes.begin(), bytes.end());
  out.insert(out.end(), width - bytes.size(), 0);
}

class GiveHandler final : public CommandHandler {
 public:
  GiveHandler(Firmware& firmware, bool everything) : firmware_(firmware), everything_(everything) {}

  bool Start() override {
    std::vector<fs::path> files;
    if (everything_) {
      files = FilesBelow(firmware_.Books());
    } else if (std::optional<fs::path> cursor = ReadCursor(firmware_)) {
      // A cursor that names nothing gives nothing: just the end marker.
      const fs::path item = firmware_.Books() / *cursor;
      std::error_code ec;
      const fs::file_status status = fs::symlink_status(item, ec);
      if (fs::is_regular_file(status)) files.push_back(item);
      if (fs::is_directory(status)) files = FilesBelow(item);
    }
    std::vector<std::uint8_t> stream;
    for (const fs::path& file : files) {
      if (std::optional<std::vector<std::uint8_t>> item = EncodeItem(firmware_.Books(), file))
        stream.insert(stream.end(), item->begin(), item->end());
      else
        LogEvent(firmware_, "give: cannot give " + file.lexically_relative(firmware_.Books()).string());
    }
    stream.push_back(0xB2);
    firmware_.reader().Give(stream);
    return false;
  }

  bool OnByte(std::uint8_t) override { return false; }

 private:
  Firmware& firmware_;
  bool everything_;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> EncodeItem(const fs::path& books, const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in.is_open()) return std::nullopt;
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad() || data.size() > kMaxLength) return std::nullopt;
  if (data.empty()) data.push_back(0x00);  // the size field cannot say 0

  const fs::path relative = file.lexically_relative(books);
  const std::string fileName = relative.filename().string();
  const std::size_t dot = fileName.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot != 0;
  const std::string base = hasExtension ? fileName.substr(0, dot) : fileName;
  const std::string extension = hasExtension ? fileName.substr(dot + 1) : std::string();

  std::vector<std::uint8_t> item;
  const std::size_t sizeField = data.size() - 1;
  item.push_back(0xB3);
  item.push_back(static_cast<std::uint8_t>(sizeField >> 16));
  item.push_back(static_cast<std::uint8_t>(sizeField >> 8));
  item.push_back(static_cast<std::uint8_t>(sizeField));
  AppendPadded(item, CutGbk(NameToDevice(base), 14), 14);
  AppendPadded(item, CutGbk(NameToDevice(extension), 3), 3);
  std::vector<std::string> folders;
  for (const fs::path& part : relative.parent_path()) folders.push_back(part.string());
  item.push_back(static_cast<std::uint8_t>(folders.size()));
  for (const std::string& folder : folders) AppendPadded(item, CutGbk(NameToDevice(folder), 16), 17);
  item.insert(item.end(), data.begin(), data.end());
  std::uint8_t sum = 0;
  for (std::uint8_t b : item) sum = static_cast<std::uint8_t>(sum + b);
  item.push_back(sum);
  return item;
}

void RegisterGiveCommands(Firmware& firmware) {
  firmware.Register(0xB3, [](Firmware& fw) { return std::make_unique<GiveHandler>(fw, false); });
  firmware.Register(0xB1, [](Firmware& fw) { return std::make_unique<GiveHandler>(fw, true); });
}

}  // namespace quirel::reader
