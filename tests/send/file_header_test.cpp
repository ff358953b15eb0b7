#include <gtest/gtest.h>

#include <numeric>

#include "send/file_header.h"

namespace quirel::send {
namespace {

using B = std::vector<std::uint8_t>;

B HeaderFor(const std::string& path, bool convertFormat, std::uint32_t length) {
  std::string base, extension;
  EXPECT_TRUE(HeaderNameOf(path, base, extension));
  const FileHeader h = MakeFileHeader(base, extension, convertFormat, length);
  return B(h.begin(), h.end());
}

// Bytes 0..19 written out, then their sum as byte 20.
B WithSum(B bytes) {
  EXPECT_EQ(bytes.size(), 20u);
  bytes.push_back(static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u)));
  return bytes;
}

TEST(FileHeader, ConvertFormatAnnouncesEbkAndBigEndianLength) {
  // report, eight zeros, "ebk", 2500 = 0x0009C4
  const B expected = WithSum({'r', 'e', 'p', 'o', 'r', 't', 0, 0, 0, 0, 0, 0, 0, 0, 'e', 'b', 'k', 0x00, 0x09, 0xC4});
  EXPECT_EQ(HeaderFor("/home/u/books/report.txt", true, 2500), expected);
  EXPECT_EQ(expected[20], 0x9B);
}

TEST(FileHeader, KeepFormatTakesThreeBytesOfTheExtension) {
  EXPECT_EQ(HeaderFor("/b/report.txt", false, 0x123456),
            WithSum({'r', 'e', 'p', 'o', 'r', 't', 0, 0, 0, 0, 0, 0, 0, 0, 't', 'x', 't', 0x12, 0x34, 0x56}));
  EXPECT_EQ(HeaderFor("/b/index.html", false, 7),
            WithSum({'i', 'n', 'd', 'e', 'x', 0, 0, 0, 0, 0, 0, 0, 0, 0, 'h', 't', 'm', 0, 0, 7}));
  // The extension is what follows the last dot; a short one is zero-filled.
  EXPECT_EQ(HeaderFor("/b/a.tar.gz", false, 1),
            WithSum({'a', '.', 't', 'a', 'r', 0, 0, 0, 0, 0, 0, 0, 0, 0, 'g', 'z', 0, 0, 0, 1}));
  EXPECT_EQ(HeaderFor("/b/README", false, 1),
            WithSum({'R', 'E', 'A', 'D', 'M', 'E', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
}

TEST(FileHeader, EmptyFileIsAnnouncedWithLengthOne) {
  const B h = HeaderFor("/b/empty.txt", false, 0);
  EXPECT_EQ((B{h[17], h[18], h[19]}), (B{0, 0, 1}));
}

B Bytes14(const std::string& s) {
  B b(s.begin(), s.end());
  b.resize(14, 0);
  return b;
}

TEST(FileHeader, LongNameIsCutToFourteenBytes) {
  const B h = HeaderFor("/b/abcdefghijklmnopq.txt", false, 1);
  EXPECT_EQ(B(h.begin(), h.begin() + 14), Bytes14("abcdefghijklmn"));
}

TEST(FileHeader, HalfCharacterAtByteThirteenIsCleared) {
  // 中 is 0xD6 0xD0 in GBK.
  B h = HeaderFor("/b/abcdefghijklm中.txt", false, 1);
  EXPECT_EQ(B(h.begin(), h.begin() + 14), Bytes14("abcdefghijklm"));
  // A whole character ending at byte 13 stays.
  h = HeaderFor("/b/abcdefghijkl中.txt", false, 1);
  EXPECT_EQ(B(h.begin(), h.begin() + 14), Bytes14("abcdefghijkl\xD6\xD0"));
  // Seven characters fill the fourteen bytes exactly; one ASCII letter in
  // front moves the seventh lead byte to byte 13.
  h = HeaderFor("/b/中中中中中中中.txt", false, 1);
  EXPECT_EQ(B(h.begin(), h.begin() + 14), Bytes14("\xD6\xD0\xD6\xD0\xD6\xD0\xD6\xD0\xD6\xD0\xD6\xD0\xD6\xD0"));
  h = HeaderFor("/b/a中中中中中中中.txt", false, 1);
  EXPECT_EQ(B(h.begin(), h.begin() + 14), Bytes14("a\xD6\xD0\xD6\xD0\xD6\xD0\xD6\xD0\xD6\xD0\xD6\xD0"));
  // 0x80 (the euro sign) is a character of one byte, not a lead byte.
  const FileHeader euro = MakeFileHeader("abcdefghijkl\x80\xD6\xD0", "txt", false, 1);
  EXPECT_EQ(B(euro.begin(), euro.begin() + 14), Bytes14("abcdefghijkl\x80"));
}

TEST(FileHeader, DeviceCodesAreSubstitutedBeforeTheSum) {
  // 進 (0xDF 0x4D) becomes 0xA9 0xFA; its second byte is below 0x80, so the
  // walk still sees 中's lead byte at 13 and clears it.
  const B h = HeaderFor("/b/進abcdefghijk中.txt", true, 1);
  EXPECT_EQ(h, WithSum({0xA9, 0xFA, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 0, 'e', 'b', 'k', 0, 0, 1}));
  // All five characters, each replaced wherever its pair starts.
  const B all = HeaderFor("/b/迴槃卍脦.txt", false, 1);
  EXPECT_EQ(B(all.begin(), all.begin() + 8), (B{0xA9, 0xFB, 0xA9, 0xFC, 0xA9, 0xFD, 0xA9, 0xFE}));
}

TEST(FileHeader, NameWithoutGbkFormIsRefused) {
  std::string base, extension;
  EXPECT_FALSE(HeaderNameOf("/b/smile😀.txt", base, extension));
  EXPECT_FALSE(HeaderNameOf("/b/bad\xFF.txt", base, extension));  // not UTF-8 at all
}

std::string RecordText(const NameRecord& r) {
  std::string s;
  for (std::uint8_t b : r) {
    if (b == 0) break;
    s += static_cast<char>(b);
  }
  return s;
}

TEST(PathRecords, LastFoldersOfThePathOutermostFirst) {
  std::vector<NameRecord> records;
  int depth = 1;
  ASSERT_TRUE(BuildPathRecords("/home/u/books/novel.txt", depth, records));
  EXPECT_EQ(depth, 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(RecordText(records[0]), "books");

  depth = 3;
  ASSERT_TRUE(BuildPathRecords("/home/u/books/novel.txt", depth, records));
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(RecordText(records[0]), "home");
  EXPECT_EQ(RecordText(records[2]), "books");
  // Every byte after the name is zero.
  EXPECT_EQ(records[1], (NameRecord{'u'}));
}

TEST(PathRecords, TooFewFoldersSendTheFileToTheTop) {
  std::vector<NameRecord> records;
  int depth = 1;
  ASSERT_TRUE(BuildPathRecords("/novel.txt", depth, records));
  EXPECT_EQ(depth, 0);
  EXPECT_TRUE(records.empty());
  depth = 4;
  ASSERT_TRUE(BuildPathRecords("/home/u/books/novel.txt", depth, records));
  EXPECT_EQ(depth, 0);
  depth = 0;
  ASSERT_TRUE(BuildPathRecords("/home/u/books/novel.txt", depth, records));
  EXPECT_TRUE(records.empty());
}

TEST(PathRecords, RecordsAreMadeSafe) {
  std::vector<NameRecord> records;
  int depth = 1;
  // Seventeen letters: cut to sixteen, byte 16 always zero.
  ASSERT_TRUE(BuildPathRecords("/x/abcdefghijklmnopq/f.txt", depth, records));
  EXPECT_EQ(RecordText(records[0]), "abcdefghijklmnop");
  EXPECT_EQ(records[0][16], 0);
  // Seven characters, a letter, then the lead byte of an eighth at byte 15.
  ASSERT_TRUE(BuildPathRecords("/x/中中中中中中中a中/f.txt", depth, records));
  EXPECT_EQ(records[0][14], 'a');
  EXPECT_EQ(records[0][15], 0);
  EXPECT_EQ(records[0][16], 0);
  // 進 in a folder name goes as the reader's own code.
  ASSERT_TRUE(BuildPathRecords("/x/進书/f.txt", depth, records));
  EXPECT_EQ(records[0][0], 0xA9);
  EXPECT_EQ(records[0][1], 0xFA);
  // A folder without a GBK form cannot be announced.
  EXPECT_FALSE(BuildPathRecords("/x/😀/f.txt", depth, records));
}

TEST(FolderRecords, LevelPlusOneNamesOfTheFolder) {
  std::vector<NameRecord> records;
  ASSERT_EQ(BuildFolderRecords("/home/u/books", 0, records), 0);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(RecordText(records[0]), "books");
  ASSERT_EQ(BuildFolderRecords("/home/u/books/", 2, records), 0);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(RecordText(records[0]), "home");
  EXPECT_EQ(RecordText(records[1]), "u");
  // Not made safe yet: the name is only cut at 17 bytes.
  ASSERT_EQ(BuildFolderRecords("/abcdefghijklmnopqrs", 0, records), 0);
  EXPECT_EQ(records[0][16], 'q');
  // Not enough folders, or the root itself.
  EXPECT_EQ(BuildFolderRecords("/home", 1, records), 1);
  EXPECT_EQ(BuildFolderRecords("/", 0, records), 1);
  EXPECT_EQ(BuildFolderRecords("/x/😀", 0, records), 2);
}

}  // namespace
}  // namespace quirel::send
