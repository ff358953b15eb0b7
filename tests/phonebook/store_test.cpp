#include <gtest/gtest.h>

#include "phonebook/list.h"
#include "phonebook/store.h"
#include "phonebook/window.h"
#include "tests/phonebook/pb_support.h"
#include "tests/support/fake_ui.h"

namespace quirel {
namespace {

using testing::Bytes;
using testing::ReadFile;
using testing::Rec;
using testing::Store;
using testing::WriteFile;

const std::string kCaption = "卓卷电子书6.1";

struct StoreTest : ::testing::Test {
  testing::TempDir dir;
  PhonebookFiles files = PhonebookFiles::InDirectory(dir.Path());
  testing::FakeUi ui;

  SaveOutcome Save(const PhonebookRecord& r, EditMode mode = EditMode::Add, const std::string& previous = {}) {
    return SaveRecord(r, mode, previous, files.store, ui);
  }
};

PhonebookRecord Person(const std::string& name, const std::string& mobile = {}, const std::string& phone = {},
                       const std::string& note = {}) {
  PhonebookRecord r;
  r.name = name;
  r.mobile = mobile;
  r.phone = phone;
  r.note = note;
  return r;
}

TEST_F(StoreTest, PathsLiveInTheProgramDirectory) {
  Environment env{dir.Path(), dir.Path("system")};
  const PhonebookFiles f = PhonebookFiles::For(env);
  EXPECT_EQ(f.store, dir.Path("tarnviktelcom.tel"));
  EXPECT_EQ(f.backup, dir.Path("tarnviktelcom.bak"));
  EXPECT_EQ(f.idx, dir.Path("tarnviktelcom.idx"));
  EXPECT_EQ(f.qry, dir.Path("tarnviktelcom.qry"));
  EXPECT_EQ(f.tmp, dir.Path("tarnviktelcom.tmp"));
  EXPECT_EQ(f.tmp3, dir.Path("tarnviktelcom.tmp3"));
}

TEST_F(StoreTest, EmptyAndOneRecordStoresPass) {
  WriteFile(files.store, Bytes({0x09, 0x09, 0x1E}));
  EXPECT_EQ(CheckStore(files, ui), StoreCheck::kUsable);
  WriteFile(files.store, Store(Rec("Tom", "139")));
  EXPECT_EQ(CheckStore(files, ui), StoreCheck::kUsable);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(StoreTest, MissingStoreIsCreatedEmptyWithoutAMessage) {
  EXPECT_EQ(CheckStore(files, ui), StoreCheck::kUsable);
  EXPECT_EQ(ReadFile(files.store), Bytes({0x09, 0x09, 0x1E}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(StoreTest, StoreThatCannotBeCreatedIsReported) {
  files = PhonebookFiles::InDirectory(dir.Path("missing/folder"));
  EXPECT_EQ(CheckStore(files, ui), StoreCheck::kUnusable);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "新建电话本文件失败！错误-100\n请卸载本驱动程序后重新安装.");
  EXPECT_FALSE(PreparePhonebookStore(files, ui));
  EXPECT_EQ(ui.messages.back().text, "新建电话本文件失败，\n请卸载本驱动程序后重新安装.");
}

struct Damage {
  std::string bytes;
  std::string message;
};

TEST_F(StoreTest, EachDamageIsReportedAndBackedUpByteForByte) {
  const std::string one = Rec("Tom", "139");
  std::string missing15 = one;
  missing15.erase(missing15.find('\x15'), 1);
  std::string swapped = one;
  std::swap(swapped[swapped.find('\x12')], swapped[swapped.find('\x13')]);
  const Damage cases[] = {
      {Bytes({0x09}), "电话本数据已被破坏！1 "},
      {Bytes({0x09, 0x08, 0x1E}), "电话本数据已被破坏！1 "},
      {"\x09\x09 " + one + "\x1E", "电话本数据已被破坏！201"},
      {Store(missing15), "电话本数据已被破坏！202"},
      {Store(swapped), "电话本数据已被破坏！202"},
      {Store(one + Rec("Ann") + "\x10" + "Bo\x11\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1A\x1B"),
       "电话本数据已被破坏！202"},
      {Bytes({0x09, 0x09, 0x1B}), "电话本数据已被破坏！3 \n备份数据文件为tarnviktelcom.bak"},
      {"\x09\x09" + one, "电话本数据已被破坏！3 \n备份数据文件为tarnviktelcom.bak"},
      {"\x09\x09" + one + " \x1E", "电话本数据已被破坏！203"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    WriteFile(files.backup, "an older backup");
    WriteFile(files.store, c.bytes);
    ui.messages.clear();
    EXPECT_EQ(CheckStore(files, ui), StoreCheck::kUnusable);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, c.message);
    EXPECT_EQ(ui.messages[0].caption, kCaption);
    EXPECT_EQ(ui.messages[0].icon, Icon::Error);
    EXPECT_EQ(ReadFile(files.backup), c.bytes);
    EXPECT_EQ(ReadFile(files.store), c.bytes);  // left in place for the command
  }
}

TEST_F(StoreTest, AfterADamageThePhonebookOpensEmpty) {
  WriteFile(files.store, "\x09\x09" + Rec("Tom"));
  EXPECT_TRUE(PreparePhonebookStore(files, ui));
  EXPECT_EQ(ReadFile(files.store), Bytes({0x09, 0x09, 0x1E}));
  EXPECT_EQ(ReadFile(files.backup), "\x09\x09" + Rec("Tom"));
  PhonebookList list;
  ASSERT_TRUE(LoadPhonebookList(files, list, ui));
  EXPECT_EQ(list.Size(), 0u);
}

TEST_F(StoreTest, ReadStoreBytesStopsAtNulAndFailsWhenMissing) {
  std::string text;
  EXPECT_FALSE(ReadStoreBytes(files.store, text));
  WriteFile(files.store, std::string("\x09\x09\x1E\0xyz", 7));
  ASSERT_TRUE(ReadStoreBytes(files.store, text));
  EXPECT_EQ(text, Bytes({0x09, 0x09, 0x1E}));
}

TEST_F(StoreTest, ListAndParseFollowTheMarkers) {
  const std::string text = Store(Rec("Tom", "139", "", "hi") + Rec("\xD5\xC5\xC8\xFD", "", "010"));
  EXPECT_EQ(ListNames(text), (std::vector<std::string>{"Tom", "\xD5\xC5\xC8\xFD"}));
  const auto tom = ParseRecord(text, "Tom");
  ASSERT_TRUE(tom);
  EXPECT_EQ(*tom, Person("Tom", "139", "", "hi"));
  EXPECT_EQ(ParseRecord(text, "\xD5\xC5\xC8\xFD")->phone, "010");
  EXPECT_FALSE(ParseRecord(text, "To"));  // a NameKey matches whole names only
  PhonebookRecord full;
  for (int k = 0; k < PhonebookRecord::kFieldCount; ++k) full.Field(k) = std::string(1, static_cast<char>('a' + k));
  EXPECT_EQ(BuildRecord(full),
            "\x10"
            "a\x11"
            "b\x12"
            "c\x13"
            "d\x14"
            "e\x15"
            "f\x16"
            "g\x17"
            "h\x18"
            "i\x19"
            "j\x1A"
            "k\x1B");
}

TEST_F(StoreTest, AddAppendsBeforeTheEndMark) {
  WriteFile(files.store, Store(Rec("Ann")));
  const SaveOutcome out = Save(Person("Tom", "139"));
  EXPECT_TRUE(out.saved);
  EXPECT_EQ(out.saveResult, SaveResult::kAdded);
  EXPECT_EQ(out.entry, " Tom");
  EXPECT_EQ(ReadFile(files.store), Store(Rec("Ann") + Rec("Tom", "139")));
}

TEST_F(StoreTest, EmptyNameAsksForANameAndWritesNothing) {
  WriteFile(files.store, Store(""));
  const SaveOutcome out = Save(Person("", "139"));
  EXPECT_FALSE(out.saved);
  EXPECT_EQ(out.focusField, 0);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "姓名不能为空,\n 请重新输入!");
  EXPECT_EQ(ui.messages[0].icon, Icon::Warning);
  EXPECT_EQ(ReadFile(files.store), Store(""));
}

TEST_F(StoreTest, RecordOf8191BytesIsAcceptedAnd8192Refused) {
  WriteFile(files.store, Store(""));
  // Twelve markers + a one-byte name + the note.
  const SaveOutcome refused = Save(Person("a", "", "", std::string(8179, 'x')));
  EXPECT_FALSE(refused.saved);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "记录长度已超出系统允许值!");
  EXPECT_EQ(ui.messages[0].icon, Icon::Error);
  EXPECT_EQ(ReadFile(files.store), Store(""));

  const SaveOutcome accepted = Save(Person("a", "", "", std::string(8178, 'x')));
  EXPECT_TRUE(accepted.saved);
  EXPECT_EQ(ReadFile(files.store).size(), 3u + 8191u);
}

TEST_F(StoreTest, IdenticalSaveChangesNothingAndAddsNoEntry) {
  const std::string before = Store(Rec("Ann") + Rec("Tom", "139"));
  WriteFile(files.store, before);
  PhonebookList list;
  list.Load({"Ann", "Tom"});
  const SaveOutcome out = Save(Person("Tom", "139"));
  EXPECT_TRUE(out.saved);
  EXPECT_EQ(out.saveResult, SaveResult::kNameListed);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(ReadFile(files.store), before);
  AfterAdd(list, out);
  EXPECT_EQ(list.Texts(), (std::vector<std::string>{" Ann", " Tom"}));
}

TEST_F(StoreTest, ReplaceKeepsThePlaceAndNoKeepsTheStore) {
  const std::string before = Store(Rec("Ann") + Rec("Tom", "139") + Rec("Zoe"));
  WriteFile(files.store, before);
  ui.answers.push_back(Answer::No);
  const SaveOutcome no = Save(Person("Tom", "186"));
  EXPECT_FALSE(no.saved);
  EXPECT_EQ(no.saveResult, SaveResult::kDeclined);
  EXPECT_EQ(no.focusField, 0);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "有相同的人名记录!\n 是否替代?");
  EXPECT_EQ(ui.messages[0].icon, Icon::Question);
  EXPECT_EQ(ui.messages[0].buttons, Buttons::YesNo);
  EXPECT_EQ(ReadFile(files.store), before);

  ui.answers.push_back(Answer::Yes);
  const SaveOutcome yes = Save(Person("Tom", "186"));
  EXPECT_TRUE(yes.saved);
  EXPECT_EQ(yes.saveResult, SaveResult::kNameListed);
  EXPECT_EQ(ReadFile(files.store), Store(Rec("Ann") + Rec("Tom", "186") + Rec("Zoe")));
}

TEST_F(StoreTest, EditWithoutRenameMovesTheRecordToTheEnd) {
  WriteFile(files.store, Store(Rec("Ann") + Rec("Tom", "139") + Rec("Zoe")));
  const SaveOutcome out = Save(Person("Tom", "139"), EditMode::Edit, "Tom");
  EXPECT_TRUE(out.saved);
  EXPECT_EQ(out.saveResult, SaveResult::kAdded);
  EXPECT_EQ(ReadFile(files.store), Store(Rec("Ann") + Rec("Zoe") + Rec("Tom", "139")));
}

TEST_F(StoreTest, TwoLineNoteIsStoredOnOneLine) {
  WriteFile(files.store, Store(""));
  EXPECT_TRUE(Save(Person("Tom", "", "", "line one\r\nline two")).saved);
  EXPECT_EQ(ReadFile(files.store), Store(Rec("Tom", "", "", "line oneline two")));
  // An empty line between two: both breaks go.
  WriteFile(files.store, Store(""));
  EXPECT_TRUE(Save(Person("Tom", "", "", "line one\r\n\r\nline two")).saved);
  EXPECT_EQ(ReadFile(files.store), Store(Rec("Tom", "", "", "line oneline two")));

  // Typed text arrives as UTF-8 with the toolkit's line breaks.
  WriteFile(files.store, Store(""));
  PhonebookRecord typed = Person("张三", "", "", "第一行\n第二行");
  EXPECT_TRUE(SaveRecordUtf8(typed, EditMode::Add, "", files.store, ui).saved);
  EXPECT_EQ(ReadFile(files.store),
            Store(Rec("\xD5\xC5\xC8\xFD", "", "", "\xB5\xDA\xD2\xBB\xD0\xD0\xB5\xDA\xB6\xFE\xD0\xD0")));
}

TEST_F(StoreTest, TextWithoutAGbkFormIsRefused) {
  WriteFile(files.store, Store(""));
  const SaveOutcome name = SaveRecordUtf8(Person("Tom\xF0\x9F\x98\x80"), EditMode::Add, "", files.store, ui);
  EXPECT_FALSE(name.saved);
  EXPECT_EQ(name.focusField, 0);
  const SaveOutcome phone = SaveRecordUtf8(Person("Tom", "", "\xF0\x9F\x98\x80"), EditMode::Add, "", files.store, ui);
  EXPECT_FALSE(phone.saved);
  EXPECT_EQ(phone.focusField, 2);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, "姓名中有电话本不能保存的字符,\n 请重新输入!");
  EXPECT_EQ(ui.messages[1].text, "记录中有电话本不能保存的字符,\n 请重新输入!");
  EXPECT_EQ(ReadFile(files.store), Store(""));
}

TEST_F(StoreTest, DelimiterBytesInFieldsNeverReachTheStore) {
  WriteFile(files.store, Store(""));
  EXPECT_TRUE(Save(Person("T\x12om",
                          "1\x1E"
                          "39",
                          "", "a\rb\nc\td"))
                  .saved);
  // A tab is text, not a delimiter.
  EXPECT_EQ(ReadFile(files.store), Store(Rec("Tom", "139", "", "abc\td")));
  EXPECT_EQ(CheckStore(files, ui), StoreCheck::kUsable);
}

TEST_F(StoreTest, UnreadableStoreIsReportedOnSave) {
  files = PhonebookFiles::InDirectory(dir.Path("nowhere"));
  const SaveOutcome out = Save(Person("Tom"));
  EXPECT_FALSE(out.saved);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "    打开文件失败,\n请卸载本驱动程序后重新安装!");
}

TEST_F(StoreTest, DeleteRemovesEveryNamedRecordInOneWrite) {
  const std::string text = Store(Rec("Ann") + Rec("Bob", "1") + Rec("Cid") + Rec("Dan"));
  EXPECT_TRUE(DeleteRecords({"Dan", "Bob", "Nobody"}, text, files.store, ui));
  EXPECT_EQ(ReadFile(files.store), Store(Rec("Ann") + Rec("Cid")));
}

}  // namespace
}  // namespace quirel
