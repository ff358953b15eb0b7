// The PC side and the virtual reader together: what the reader holds comes
// back unchanged, and what it gives follows the item format byte for byte.
#include <gtest/gtest.h>

#include <map>

#include "link/commands.h"
#include "link/receive.h"
#include "reader/give.h"
#include "reader/storage.h"
#include "resources/messages.h"
#include "tests/commands/rig.h"

namespace quirel::testing {
namespace {

std::map<std::string, Bytes> FilesUnder(const fs::path& root) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files[entry.path().lexically_relative(root).string()] = ReadAll(entry.path());
  return files;
}

struct StockedRig : Rig {
  fs::path target = dir / "received";
  StockedRig() {
    EXPECT_EQ(CreateDirectoryCommand(link, "小说"), LinkResult::kDone);
    EXPECT_EQ(CreateDirectoryCommand(link, "進修"), LinkResult::kDone);
    // Files as a send leaves them on the reader.
    WriteAll(Books() / "小说" / "第一章.txt", std::string("\xB5\xDA\xD2\xBB\xD5\xC2\r\n"));
    WriteAll(Books() / "小说" / "深" / "b.ebk", Bytes(70000, 0xA9));
    WriteAll(Books() / "進修" / "c.htm", std::string("<p>x</p>"));
    WriteAll(Books() / "top.txt", std::string("top"));
    ui.messages.clear();
  }
};

TEST(EndToEnd, MkdirThenReceiveEverythingReproducesTheTree) {
  StockedRig rig;
  ASSERT_EQ(ReceiveFiles(rig.link, kReceiveEverything, rig.target.string()), LinkResult::kDone);
  EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kAllReceived)});
  const auto held = FilesUnder(rig.Books());
  ASSERT_EQ(held.size(), 4u);
  EXPECT_EQ(FilesUnder(rig.target), held);
}

TEST(EndToEnd, CursorItemIsAFileOrEverythingBelowAFolder) {
  StockedRig rig;
  ASSERT_TRUE(reader::WriteCursor(rig.firmware(), "小说"));
  ASSERT_EQ(ReceiveFiles(rig.link, kReceiveCursorItem, (rig.target / "1").string()), LinkResult::kDone);
  EXPECT_EQ(FilesUnder(rig.target / "1"),
            (std::map<std::string, Bytes>{{"小说/第一章.txt", ReadAll(rig.Books() / "小说" / "第一章.txt")},
                                          {"小说/深/b.ebk", Bytes(70000, 0xA9)}}));

  ASSERT_TRUE(reader::WriteCursor(rig.firmware(), "top.txt"));
  ASSERT_EQ(ReceiveFiles(rig.link, kReceiveCursorItem, (rig.target / "2").string()), LinkResult::kDone);
  EXPECT_EQ(FilesUnder(rig.target / "2"), (std::map<std::string, Bytes>{{"top.txt", {'t', 'o', 'p'}}}));

  // No cursor: only the end marker.
  fs::remove(rig.firmware().CursorFile());
  ASSERT_EQ(ReceiveFiles(rig.link, kReceiveCursorItem, (rig.target / "3").string()), LinkResult::kDone);
  EXPECT_TRUE(fs::is_empty(rig.target / "3"));
  EXPECT_FALSE(reader::WriteCursor(rig.firmware(), "../outside"));
}

TEST(ReaderGive, ItemFormat) {
  Rig rig;
  WriteAll(rig.Books() / "书" / "readme.txt", std::string("hi"));
  // B3+01 + "readme" + "txt" + 01 + CA E9 + "hi" = 0x707: the sum byte is 0x07.
  const Bytes expected = Cat({{0xB3, 0x00, 0x00, 0x01},
                              {'r', 'e', 'a', 'd', 'm', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 't', 'x', 't'},
                              {0x01, 0xCA, 0xE9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                              {'h', 'i', 0x07}});
  EXPECT_EQ(reader::EncodeItem(rig.Books(), rig.Books() / "书" / "readme.txt"), expected);

  // Long names are cut to 14 and 3 bytes; 進 goes out in the reader's code;
  // an empty file is one 0x00 byte.
  WriteAll(rig.Books() / "abcdefghijklmnop.html", Bytes{});
  WriteAll(rig.Books() / "進.txt", std::string("z"));
  const auto longName = reader::EncodeItem(rig.Books(), rig.Books() / "abcdefghijklmnop.html");
  ASSERT_TRUE(longName);
  EXPECT_EQ(Bytes(longName->begin(), longName->begin() + 23),
            Cat({{0xB3, 0, 0, 0},
                 {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n'},
                 {'h', 't', 'm', 0x00, 0x00}}));
  const auto coded = reader::EncodeItem(rig.Books(), rig.Books() / "進.txt");
  ASSERT_TRUE(coded);
  EXPECT_EQ((*coded)[4], 0xA9);
  EXPECT_EQ((*coded)[5], 0xFA);
}

}  // namespace
}  // namespace quirel::testing
