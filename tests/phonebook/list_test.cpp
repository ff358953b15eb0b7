#include <gtest/gtest.h>

#include "phonebook/list.h"
#include "phonebook/store.h"
#include "phonebook/window.h"
#include "tests/phonebook/pb_support.h"
#include "tests/support/fake_ui.h"

namespace quirel {
namespace {

using testing::ReadFile;
using testing::Rec;
using testing::Store;
using testing::WriteFile;

using Texts = std::vector<std::string>;

TEST(PhonebookList, KeepsEntriesInCaseInsensitiveOrder) {
  PhonebookList list;
  list.Load({"bob", "Alice", "carl", "alan"});
  EXPECT_EQ(list.Texts(), (Texts{" alan", " Alice", " bob", " carl"}));
  list.Insert(" Bert");
  list.Insert(" \xD5\xC5\xC8\xFD");
  EXPECT_EQ(list.Texts(), (Texts{" alan", " Alice", " Bert", " bob", " carl", " \xD5\xC5\xC8\xFD"}));
}

TEST(PhonebookList, SecondByteOfAGbkCharacterKeepsItsCase) {
  // 0xB0 0x41 and 0xB0 0x61 are two different characters.
  EXPECT_TRUE(PhonebookLess(" \xB0\x41", " \xB0\x61"));
  EXPECT_FALSE(PhonebookStartsWith(" \xB0\x41x", " \xB0\x61"));
  EXPECT_TRUE(PhonebookStartsWith(" Tommy", " tOM"));
}

TEST(PhonebookList, OpeningWidthFollowsTheLongestName) {
  PhonebookList shortNames;
  shortNames.Load({"abc", "abcdefgh"});
  EXPECT_EQ(shortNames.ColumnWidth(), 72);
  EXPECT_EQ(shortNames.NameColumnWidth(), 8);
  PhonebookList longNames;
  longNames.Load({"abc", "abcdefgh", std::string(20, 'z')});
  EXPECT_EQ(longNames.ColumnWidth(), 113);
  EXPECT_EQ(longNames.Current(), 0u);
  // Fourteen bytes are the longest name whose column grows with it.
  PhonebookList fourteen;
  fourteen.Load({std::string(14, 'n')});
  EXPECT_EQ(fourteen.ColumnWidth(), 9 * 14);
}

TEST(PhonebookList, AddWidensAndSelectsOnlyTheNewEntry) {
  PhonebookList list;
  list.Load({"abc", "xyz"});
  list.Select(1);
  const std::size_t at = list.AddEntry(" abcdefg");  // 8 bytes with its space
  EXPECT_EQ(at, 1u);
  EXPECT_EQ(list.ColumnWidth(), 9 * 8 - 4);
  EXPECT_EQ(list.NameColumnWidth(), 8);
  EXPECT_EQ(list.SelectedIndices(), (std::vector<std::size_t>{1}));
  EXPECT_EQ(list.Current(), 1u);
  list.AddEntry(" " + std::string(15, 'q'));
  EXPECT_EQ(list.ColumnWidth(), 113);
  EXPECT_EQ(list.NameColumnWidth(), 14);
}

TEST(PhonebookList, MergeAndNarrowUseTheirOwnRules) {
  PhonebookList list;
  list.Load({"ab"});
  list.MergeName("abcde");  // five bytes without the space
  EXPECT_EQ(list.ColumnWidth(), 9 * 5 - 1);
  list.MergeName(std::string(14, 'm'));
  EXPECT_EQ(list.ColumnWidth(), 113);
  EXPECT_EQ(list.NameColumnWidth(), 14);
  list.Remove(*list.FindName(std::string(14, 'm')));
  list.Narrow();  // longest left: " abcde", six bytes
  EXPECT_EQ(list.ColumnWidth(), 9 * 6 - 4);
  EXPECT_EQ(list.NameColumnWidth(), 6);
  list.Remove(0);
  list.Remove(0);
  list.Narrow();
  EXPECT_EQ(list.ColumnWidth(), 0);
}

TEST(PhonebookList, PrefixSearchFindsTheFirstEntryIgnoringCase) {
  PhonebookList list;
  list.Load({"Bob", "alan", "Alice", "\xD5\xC5\xC8\xFD"});
  EXPECT_EQ(list.FindPrefix(" AL"), 0u);
  EXPECT_EQ(list.FindPrefix(" ali"), 1u);
  EXPECT_EQ(list.FindPrefix(" \xD5\xC5"), 3u);
  EXPECT_FALSE(list.FindPrefix(" z"));
}

TEST(PhonebookList, SelectionFollowsInsertsAndRemovals) {
  PhonebookList list;
  list.Load({"b", "d"});
  list.SelectOnly(1);  // " d"
  list.Insert(" a");
  EXPECT_EQ(list.Current(), 2u);
  EXPECT_EQ(list.SelectedIndices(), (std::vector<std::size_t>{2}));
  list.Remove(0);
  EXPECT_EQ(list.Current(), 1u);
  EXPECT_EQ(list.Text(*list.Current()), " d");
}

struct WindowTest : ::testing::Test {
  testing::TempDir dir;
  PhonebookFiles files = PhonebookFiles::InDirectory(dir.Path());
  testing::FakeUi ui;
  PhonebookList list;

  void Open(const std::string& records) {
    WriteFile(files.store, Store(records));
    ASSERT_TRUE(LoadPhonebookList(files, list, ui));
  }
};

TEST_F(WindowTest, DeletingThreeSelectedNamesWritesOnce) {
  Open(Rec("Cid") + Rec("Ann") + Rec("Bob") + Rec("Dan"));
  for (const char* name : {"Ann", "Cid", "Dan"}) list.Select(*list.FindName(name));
  ui.answers.push_back(Answer::Yes);
  ASSERT_EQ(DeleteSelected(list, files, ui), DeleteResult::kDeleted);
  EXPECT_EQ(ReadFile(files.store), Store(Rec("Bob")));
  EXPECT_EQ(list.Texts(), (Texts{" Bob"}));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "是否删除记录!");
  EXPECT_EQ(ui.messages[0].icon, Icon::Warning);
}

TEST_F(WindowTest, DeleteWithoutSelectionOrWithNoChangesNothing) {
  Open(Rec("Ann"));
  list.ClearSelection();
  EXPECT_EQ(DeleteSelected(list, files, ui), DeleteResult::kFailed);
  EXPECT_EQ(ui.messages.back().text, "请选择姓名!");
  list.Select(0);
  ui.answers.push_back(Answer::No);
  EXPECT_EQ(DeleteSelected(list, files, ui), DeleteResult::kDeclined);
  EXPECT_EQ(ReadFile(files.store), Store(Rec("Ann")));
  EXPECT_EQ(list.Size(), 1u);
}

TEST_F(WindowTest, EditRenamedToAnExistingNameLeavesOneEntry) {
  Open(Rec("Ann", "1") + Rec("Bob", "2"));
  list.SelectOnly(*list.FindName("Ann"));
  const auto start = BeginEdit(list, files, ui);
  ASSERT_TRUE(start);
  EXPECT_EQ(start->previousName, "Ann");
  EXPECT_EQ(start->record.mobile, "1");
  PhonebookRecord edited = start->record;
  edited.name = "Bob";
  ui.answers.push_back(Answer::Yes);
  const SaveOutcome out = SaveRecord(edited, EditMode::Edit, start->previousName, files.store, ui);
  AfterEdit(list, start->previousName, out);
  EXPECT_EQ(list.Texts(), (Texts{" Bob"}));
  EXPECT_EQ(list.SelectedIndices(), (std::vector<std::size_t>{0}));
  EXPECT_EQ(ReadFile(files.store), Store(Rec("Bob", "1")));
}

TEST_F(WindowTest, EditOfANameTheStoreLostDropsTheEntry) {
  Open(Rec("Ann"));
  list.Insert(" Ghost");
  list.SelectOnly(*list.FindName("Ghost"));
  EXPECT_FALSE(BeginEdit(list, files, ui));
  EXPECT_EQ(ui.messages.back().text, "不存在此姓名,\n请重新输入!");
  EXPECT_EQ(list.Texts(), (Texts{" Ann"}));
}

TEST_F(WindowTest, FindSelectsByTypedPrefixAndCancelIsNotFound) {
  Open(Rec("alan") + Rec("Bob") + Rec("\xD5\xC5\xC8\xFD"));
  EXPECT_TRUE(FindName(list, std::string("BO"), ui));
  EXPECT_EQ(list.SelectedIndices(), (std::vector<std::size_t>{1}));
  EXPECT_TRUE(FindName(list, std::string("张"), ui));
  EXPECT_EQ(list.SelectedIndices(), (std::vector<std::size_t>{2}));
  EXPECT_FALSE(FindName(list, std::nullopt, ui));
  EXPECT_EQ(ui.messages.back().text, "不存在此姓名,\n请重新输入!");
  EXPECT_EQ(ui.messages.back().icon, Icon::Warning);
}

}  // namespace
}  // namespace quirel
