#include <gtest/gtest.h>

#include <filesystem>

#include "phonebook/exchange_files.h"
#include "phonebook/list.h"
#include "tests/phonebook/pb_support.h"
#include "tests/support/fake_ui.h"

namespace quirel {
namespace {

using testing::Bytes;
using testing::ReadFile;
using testing::Rec;
using testing::Repeat;
using testing::Store;
using testing::WriteFile;

using testing::kEnd;
using testing::kNoMobile;

std::optional<std::string_view> Problem(const char* text) { return std::string_view(text); }

std::string NameLine(const std::string& name) {
  std::string run = Repeat(0x10, 5) + name;
  return run + std::string((16 - run.size() % 16) % 16, ' ');
}

TEST(LayoutLines, NameOnlyRecordTakes37Bytes) {
  const std::string layout = LayoutLines(Rec("Tom"));
  EXPECT_EQ(layout, Repeat(0x10, 5) + "Tom" + std::string(8, ' ') + kNoMobile + kEnd);
  EXPECT_EQ(layout.size(), 37u);
}

TEST(LayoutLines, EveryFilledFieldGetsItsOwnRun) {
  PhonebookRecord r;
  for (int k = 0; k < PhonebookRecord::kFieldCount; ++k) r.Field(k) = std::string(1, static_cast<char>('a' + k));
  std::string expected;
  for (int k = 0; k < 11; ++k)
    expected += Repeat(0x10 + k, 5) + std::string(1, static_cast<char>('a' + k)) + std::string(10, ' ');
  expected += kEnd;
  EXPECT_EQ(LayoutLines(BuildRecord(r)), expected);
  EXPECT_EQ(expected.size(), 11u * 16 + 5);
}

TEST(LayoutLines, ElevenLettersFillTheFirstLineExactly) {
  EXPECT_EQ(LayoutLines(Rec("ABCDEFGHIJK")), Repeat(0x10, 5) + "ABCDEFGHIJK" + kNoMobile + kEnd);
}

TEST(LayoutLines, SixthGbkCharacterMovesToTheSecondLine) {
  const std::string five = "\xD5\xC5\xC8\xFD\xC0\xEE\xCB\xC4\xCD\xF5";  // 张三李四王
  const std::string sixth = "\xCE\xE5";                                 // 五
  const std::string layout = LayoutLines(Rec(five + sixth));
  EXPECT_EQ(layout, Repeat(0x10, 5) + five + std::string(1, '\0') + sixth + std::string(14, ' ') + kNoMobile + kEnd);
  EXPECT_EQ(layout[15], '\0');
}

TEST(LayoutLines, LetterBeforeAGbkCharacterShiftsTheFiller) {
  // Ten letters end at position 14; the character cannot start at 15.
  EXPECT_EQ(LayoutLines(Rec("abcdefghij\xD5\xC5")), Repeat(0x10, 5) + "abcdefghij" + std::string(1, '\0') + "\xD5\xC5" +
                                                        std::string(14, ' ') + kNoMobile + kEnd);
  // Nine letters leave 14 and 15 for a whole character.
  EXPECT_EQ(LayoutLines(Rec("abcdefghi\xD5\xC5")), Repeat(0x10, 5) + "abcdefghi\xD5\xC5" + kNoMobile + kEnd);
}

TEST(LayoutLines, FilledMobileAndNoteReplaceTheFiller) {
  EXPECT_EQ(LayoutLines(Rec("Tom", "139", "", "hi")), NameLine("Tom") + Repeat(0x11, 5) + "139" + std::string(8, ' ') +
                                                          Repeat(0x1A, 5) + "hi" + std::string(9, ' ') + kEnd);
}

struct Image {
  ExchangeImage image;
  explicit Image(const std::string& records, const std::vector<std::string>& names) {
    PhonebookList list;
    list.Load(names);
    EXPECT_FALSE(ComposeExchange(Store(records), list.Texts(), image));
  }
};

TEST(SplitBlocks, TwoRecordsShareOneBlockAndTheIndexPointsAtBoth) {
  const Image built(Rec("Tom") + Rec("Ann"), {"Tom", "Ann"});
  const std::string layoutAnn = NameLine("Ann") + kNoMobile + kEnd;
  const std::string layoutTom = NameLine("Tom") + kNoMobile + kEnd;
  EXPECT_EQ(built.image.records, Rec("Ann") + Rec("Tom"));  // list order
  EXPECT_EQ(built.image.data, layoutAnn + layoutTom + Repeat(0xFF, 8192 - 74));
  EXPECT_EQ(built.image.index,
            Bytes({0xF1, 0xF1, 0, 0, 0, 0, 0, 37, 0xF1, 0xF1, 0, 0, 0, 37, 0, 37}) + Repeat(0xFF, 8192 - 16));
}

TEST(SplitBlocks, RecordWhoseEndWouldStraddleTwoBlocksMovesWhole) {
  // Three records of 37 bytes end at 111; a fourth of 505 lines puts its
  // first 0x1B on the last byte of the block.
  std::string note(16 * 503 - 5, 'n');
  const Image built(Rec("a") + Rec("b") + Rec("c") + Rec("d", "", "", note), {"a", "b", "c", "d"});
  const std::string fourth = NameLine("d") + kNoMobile + Repeat(0x1A, 5) + note + kEnd;
  ASSERT_EQ(111 + fourth.size() - 5, 8191u);
  ASSERT_EQ(built.image.data.size(), 2u * 8192);
  EXPECT_EQ(built.image.data.substr(111), Repeat(0xFF, 8192 - 111) + fourth + Repeat(0xFF, 8192 - fourth.size()));
  // The fourth record: block 1, offset 0, its full length.
  const std::size_t len = fourth.size();
  EXPECT_EQ(built.image.index.substr(24, 8),
            Bytes({0xF1, 0xF1, 0, 1, 0, 0, static_cast<int>(len >> 8), static_cast<int>(len & 0xFF)}));
}

TEST(BuildExchangeFiles, EmptyStoreGivesEmptyDataAndBareTables) {
  testing::TempDir dir;
  const PhonebookFiles files = PhonebookFiles::InDirectory(dir.Path());
  testing::FakeUi ui;
  WriteFile(files.store, Store(""));
  ASSERT_EQ(BuildExchangeFiles(files, {}, ui), 1);
  EXPECT_EQ(ReadFile(files.tmp1), "");
  EXPECT_EQ(ReadFile(files.tmp2), "");
  EXPECT_EQ(ReadFile(files.tmp3), "");
  EXPECT_TRUE(std::filesystem::exists(files.tmp3));
  EXPECT_EQ(ReadFile(files.idx), Repeat(0xFF, 8192));
  EXPECT_EQ(ReadFile(files.qry),
            Bytes({0xF2, 0xF2, 0, 0}) + Repeat(0xFF, 4092) + Bytes({0xF3, 0xF3, 0, 0}) + Repeat(0xFF, 4092));
  EXPECT_TRUE(ui.messages.empty());
}

TEST(BuildQueryFile, SharedInitialsShareOneEntry) {
  // List order: Alex, Anna, bea, Bo, 李四, 张三, 张五 -> records 1..7.
  const std::string zhangSan = "\xD5\xC5\xC8\xFD", zhangWu = "\xD5\xC5\xCE\xE5", liSi = "\xC0\xEE\xCB\xC4";
  const Image built(Rec(zhangWu) + Rec("Bo") + Rec("Anna") + Rec(liSi) + Rec("bea") + Rec("Alex") + Rec(zhangSan),
                    {zhangWu, "Bo", "Anna", liSi, "bea", "Alex", zhangSan});
  const std::string& q = built.image.query;
  ASSERT_EQ(q.size(), 8192u);
  const std::string tableA = Bytes({0xF2, 0xF2, 0, 3, 'A', 0, 0, 0, 'b', 0, 0, 0, 'B', 0, 0, 0,  //
                                    0,    2,    0, 1, 0,   2,                                    //
                                    0,    1,    0, 3,                                            //
                                    0,    1,    0, 4});
  EXPECT_EQ(q.substr(0, 4096), tableA + Repeat(0xFF, 4096 - tableA.size()));
  const std::string tableB = Bytes({0xF3, 0xF3, 0, 2, 0xC0, 0xEE, 0, 0, 0xD5, 0xC5, 0, 0,  //
                                    0,    1,    0, 5,                                      //
                                    0,    2,    0, 6, 0,    7});
  EXPECT_EQ(q.substr(4096), tableB + Repeat(0xFF, 4096 - tableB.size()));
}

TEST(UnpackRecords, NameAndNoteComeBackWithEveryMarker) {
  const std::string layout =
      NameLine("Tom") + kNoMobile + Repeat(0x1A, 5) + "hi" + std::string(9, ' ') + kEnd + Repeat(0xFF, 20);
  EXPECT_EQ(UnpackRecords(layout), Rec("Tom", "", "", "hi"));
}

TEST(UnpackRecords, DropsFillersAndTrailingSpacesOnly) {
  const std::string layout = Repeat(0x10, 5) + " a b" + std::string(1, '\0') + "c  " + std::string(5, ' ') +
                             Repeat(0x11, 5) + "1" + std::string(10, ' ') + kEnd;
  EXPECT_EQ(UnpackRecords(layout), Rec(" a bc", "1"));
}

TEST(UnpackRecords, UndoesTheLayoutOfMixedRecords) {
  PhonebookRecord full;
  for (int k = 0; k < PhonebookRecord::kFieldCount; ++k) full.Field(k) = "f" + std::to_string(k) + "\xD5\xC5";
  full.note = std::string(40, 'x') + "\xB5\xDA\xD2\xBB" + std::string(7, 'y');
  const std::string records = Rec("abcdefghij\xD5\xC5\xC8\xFD") + BuildRecord(full) + Rec("Z", "", "8");
  EXPECT_EQ(UnpackRecords(LayoutLines(records)), records);
}

TEST(ComposeExchange, LimitsOfTheReaderFilesAreCheckedFirst) {
  ExchangeImage image;
  // More records than index entries.
  std::string many;
  std::vector<std::string> entries;
  for (int i = 0; i < 1025; ++i) {
    const std::string name = "n" + std::to_string(1000 + i);
    many += Rec(name);
    entries.push_back(" " + name);
  }
  EXPECT_EQ(ComposeExchange(Store(many), entries, image), Problem("电话本记录超过1024个,\n不能传送到卓卷电子书!"));
  entries.pop_back();
  EXPECT_FALSE(ComposeExchange(Store(many), entries, image));

  // A record that lays out larger than a block, and one merged in too long.
  const std::string wide = Rec("a", "", "", std::string(8170, 'x'));
  EXPECT_EQ(ComposeExchange(Store(wide), {" a"}, image),
            Problem("电话本中有记录长度超出系统允许值,\n不能传送到卓卷电子书!"));
  const std::string huge = Rec("b", "", "", std::string(8200, 'x'));
  EXPECT_EQ(ComposeExchange(Store(huge), {" b"}, image),
            Problem("电话本中有记录长度超出系统允许值,\n不能传送到卓卷电子书!"));

  // 512 different Chinese initials overflow the second table.
  std::string chinese;
  entries.clear();
  for (int i = 0; i < 512; ++i) {
    const std::string name = Bytes({0xB0 + i / 94, 0xA1 + i % 94});
    chinese += Rec(name);
    entries.push_back(" " + name);
  }
  EXPECT_EQ(ComposeExchange(Store(chinese), entries, image), Problem("电话本中姓名的首字过多,\n不能传送到卓卷电子书!"));
  entries.pop_back();
  EXPECT_FALSE(ComposeExchange(Store(chinese), entries, image));
}

TEST(BuildExchangeFiles, RefusedPhonebookWritesNoFile) {
  testing::TempDir dir;
  const PhonebookFiles files = PhonebookFiles::InDirectory(dir.Path());
  testing::FakeUi ui;
  WriteFile(files.store, Store(Rec("a", "", "", std::string(8170, 'x'))));
  EXPECT_EQ(BuildExchangeFiles(files, {" a"}, ui), 0);
  EXPECT_FALSE(std::filesystem::exists(files.tmp1));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].caption, "卓卷电子书6.1");
  EXPECT_EQ(ui.messages[0].icon, Icon::Error);
}

TEST(CollectRecords, EntriesWithoutARecordAreLeftOut) {
  std::vector<std::string> records;
  ASSERT_TRUE(CollectRecords(Store(Rec("Ann") + Rec("Bob")), {" Bob", " Ghost", " Ann"}, records));
  EXPECT_EQ(records, (std::vector<std::string>{Rec("Bob"), Rec("Ann")}));
}

}  // namespace
}  // namespace quirel
