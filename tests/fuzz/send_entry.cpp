// Send-list entries and what the reader is told of them: any path goes into
// the list and splits back into name and folder; the path records and the
// file header built from it are the sizes the reader expects, records end in
// a 0, and the header sum holds.
#include <string>
#include <vector>

#include "link/commands.h"
#include "send/file_header.h"
#include "send/send_list.h"
#include "tests/fuzz/fuzz_support.h"

namespace fs = std::filesystem;

using namespace quirel;
using namespace quirel::send;

namespace {

void CheckRecords(const std::vector<NameRecord>& records) {
  for (NameRecord record : records) {
    MakeRecordSafe(record);
    FUZZ_REQUIRE(record[16] == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.Byte();
  const int level = choice % 9;
  const std::string path(in.Rest());

  SendList list;
  list.AddFile(path);
  list.AddFolder(path);
  list.AddFile(path);
  FUZZ_REQUIRE(list.size() == 2);
  for (const SendEntryItem& item : list.Items()) {
    // A file entry is name, separator, folder ending in "/".
    const auto at = item.text.find(kEntrySeparator);
    if (!item.isFolder) {
      FUZZ_REQUIRE(at != std::string::npos);
      FUZZ_REQUIRE(item.text.size() > at + kEntrySeparator.size() && item.text.back() == '/');
    }
  }

  std::string base, extension;
  if (HeaderNameOf(path, base, extension)) {
    const FileHeader header = MakeFileHeader(base, extension, (choice & 0x80) != 0, static_cast<std::uint32_t>(size));
    std::uint8_t sum = 0;
    for (int i = 0; i < 20; ++i) sum = static_cast<std::uint8_t>(sum + header[static_cast<std::size_t>(i)]);
    FUZZ_REQUIRE(header[20] == sum);
  }
  int depth = level;
  std::vector<NameRecord> records;
  if (BuildPathRecords(path, depth, records)) {
    FUZZ_REQUIRE(depth == 0 || depth == level);
    FUZZ_REQUIRE(records.size() == static_cast<std::size_t>(depth));
    CheckRecords(records);
  }
  records.clear();
  if (BuildFolderRecords(path, level, records) == 0) {
    FUZZ_REQUIRE(records.size() == static_cast<std::size_t>(level) + 1);
    CheckRecords(records);
  }
  return 0;
}
