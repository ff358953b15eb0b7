#include <gtest/gtest.h>

#include <algorithm>

#include "app/progress_dialog.h"
#include "resources/messages.h"
#include "tests/gui/phonebook_rig.h"

namespace quirel::app::testing {
namespace {

const std::string kSent(msg::kPhonebookSent);
const std::string kReceived(msg::kPhonebookReceived);

// A field run of the reader's line layout: five markers, the text, spaces to
// the end of the 16-byte line (the texts here fit one line).
std::string FieldRun(char marker, const std::string& text) {
  std::string run(5, marker);
  run += text;
  run.append(16 - run.size(), ' ');
  return run;
}

class PhonebookExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(rig.Start()); }

  // Puts these records on the reader by sending them from the PC.
  void PutOnReader(const std::string& store) {
    rig.WriteStore(store);
    auto window = rig.Open();
    Find<QPushButton>(window.get(), 1003)->click();
    ASSERT_EQ(rig.TakeTexts(), std::vector<std::string>{kSent});
  }

  fs::path ReaderPhonebook() { return rig.reader().firmware()->PhonebookDir(); }
  ProgressDialog* Progress() { return rig.ui().ProgressDialogOf(ProgressKind::Phonebook); }

  PhonebookRig rig;
};

TEST_F(PhonebookExchangeTest, SendTransmitsTheRecordsInListOrder) {
  rig.WriteStore(Store({Rec({"bob", "2"}), Rec({"Alice"})}));
  auto window = rig.Open();
  std::vector<bool> enabledDuring;
  rig.ui().pumpHook = [&](long long) { enabledDuring.push_back(window->isEnabled()); };
  Find<QPushButton>(window.get(), 1003)->click();

  ASSERT_EQ(rig.ui().boxes.size(), 1u);
  EXPECT_EQ(rig.ui().boxes[0].text, kSent);
  EXPECT_EQ(rig.ui().boxes[0].caption, "卓卷电子书6.1");
  EXPECT_EQ(rig.ui().boxes[0].icon, Icon::Information);
  ASSERT_FALSE(enabledDuring.empty());
  EXPECT_EQ(std::count(enabledDuring.begin(), enabledDuring.end(), true), 0);
  EXPECT_TRUE(window->isEnabled());
  ASSERT_NE(Progress(), nullptr);
  EXPECT_EQ(Progress()->windowTitle(), Q("电话本数据通信"));
  EXPECT_FALSE(Progress()->isVisible());

  // Alice first: the list's order, not the store's.
  std::string expected = FieldRun('\x10', "Alice") + std::string(5, '\x11') + std::string(11, '\x08') +
                         std::string(5, '\x1B') + FieldRun('\x10', "bob") + FieldRun('\x11', "2") +
                         std::string(5, '\x1B');
  expected.append(8192 - expected.size(), '\xFF');
  EXPECT_EQ(ReadFile(ReaderPhonebook() / "data.bin"), expected);
}

TEST_F(PhonebookExchangeTest, ReplaceAllAsksOnceAndTakesEveryLaterDuplicate) {
  PutOnReader(Store({Rec({"alice", "1"}), Rec({"bob", "2"}), Rec({"carol", "3"})}));
  rig.WriteStore(Store({Rec({"alice", "9"}), Rec({"bob", "8"}), Rec({"dave", "4"})}));
  auto window = rig.Open();
  rig.dialogTitles.clear();
  rig.dialogSteps.push_back(Choose(1090));
  Find<QPushButton>(window.get(), 1004)->click();

  EXPECT_EQ(rig.dialogTitles, std::vector<std::string>{"提示"});
  EXPECT_EQ(rig.TakeTexts(), std::vector<std::string>{kReceived});
  // Duplicates replaced where they stood, the new record added at the end.
  EXPECT_EQ(rig.ReadStore(), Store({Rec({"alice", "1"}), Rec({"bob", "2"}), Rec({"dave", "4"}), Rec({"carol", "3"})}));
  EXPECT_EQ(window->EntryTexts(), (QStringList{Q(" alice"), Q(" bob"), Q(" carol"), Q(" dave")}));
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(Progress()->isVisible());
}

TEST_F(PhonebookExchangeTest, CancelLeavesTheStoreAndTheListAsTheyWere) {
  PutOnReader(Store({Rec({"alice", "1"}), Rec({"bob", "2"})}));
  const std::string store = Store({Rec({"bob", "7"})});
  rig.WriteStore(store);
  auto window = rig.Open();
  ASSERT_EQ(window->ColumnWidth(), 27);
  StoreWrites writes(rig.Home());
  rig.dialogSteps.push_back([&](QDialog& dialog) {
    EXPECT_EQ(window->model().Size(), 2u);  // the merge added alice before asking
    Choose(1091)(dialog);
  });
  Find<QPushButton>(window.get(), 1004)->click();
  // Esc at the first question cancels as well.
  rig.dialogSteps.push_back(Choose(0));
  Find<QPushButton>(window.get(), 1004)->click();

  EXPECT_TRUE(rig.TakeTexts().empty());
  EXPECT_EQ(rig.ReadStore(), store);
  EXPECT_EQ(writes.Count(), 0);
  EXPECT_EQ(window->EntryTexts(), QStringList{Q(" bob")});
  EXPECT_EQ(window->ColumnWidth(), 27);
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(Progress()->isVisible());

  // Skipping keeps the PC's record and still brings the new one in.
  rig.dialogSteps.push_back(Choose(1089));
  Find<QPushButton>(window.get(), 1004)->click();
  EXPECT_EQ(rig.TakeTexts(), std::vector<std::string>{kReceived});
  EXPECT_EQ(rig.ReadStore(), Store({Rec({"bob", "7"}), Rec({"alice", "1"})}));
  EXPECT_EQ(window->EntryTexts(), (QStringList{Q(" alice"), Q(" bob")}));
  // " alice": 9 x 5 - 1 pixels once the merge added it.
  EXPECT_EQ(window->ColumnWidth(), 44);
}

TEST_F(PhonebookExchangeTest, EscAtALaterQuestionRepeatsThePreviousChoice) {
  PutOnReader(Store({Rec({"alice", "1"}), Rec({"bob", "2"})}));
  rig.WriteStore(Store({Rec({"alice", "8"}), Rec({"bob", "7"})}));
  auto window = rig.Open();
  rig.dialogSteps.push_back(Choose(1088));
  rig.dialogSteps.push_back(Choose(0));
  Find<QPushButton>(window.get(), 1004)->click();
  EXPECT_EQ(rig.TakeTexts(), std::vector<std::string>{kReceived});
  EXPECT_EQ(rig.ReadStore(), Store({Rec({"alice", "1"}), Rec({"bob", "2"})}));
}

TEST_F(PhonebookExchangeTest, AStoreThatCannotBeWrittenLeavesTheListInLineWithIt) {
  PutOnReader(Store({Rec({"alice", "1"}), Rec({"bob", "2"})}));
  const std::string store = Store({Rec({"bob", "7"})});
  rig.WriteStore(store);
  auto window = rig.Open();
  const fs::path away = rig.root() / "away";
  rig.dialogSteps.push_back([&](QDialog& dialog) {
    fs::rename(rig.Home(), away);  // the store's folder is gone when the merge is written
    Choose(1088)(dialog);
  });
  Find<QPushButton>(window.get(), 1004)->click();
  fs::rename(away, rig.Home());
  EXPECT_EQ(rig.TakeTexts(), std::vector<std::string>{"没有足够的磁盘空间!3"});
  EXPECT_EQ(rig.ReadStore(), store);
  EXPECT_EQ(window->EntryTexts(), QStringList{Q(" bob")});
  EXPECT_TRUE(window->isEnabled());
}

TEST_F(PhonebookExchangeTest, AReaderWithoutRecordsChangesNothing) {
  const std::string store = Store({Rec({"bob", "7"})});
  rig.WriteStore(store);
  auto window = rig.Open();
  Find<QPushButton>(window.get(), 1004)->click();
  EXPECT_EQ(rig.TakeTexts(), std::vector<std::string>{"卓卷电子书中没有电话本记录 ！1"});
  EXPECT_EQ(rig.ReadStore(), store);
  EXPECT_EQ(window->EntryTexts(), QStringList{Q(" bob")});
  EXPECT_TRUE(window->isEnabled());
}

TEST_F(PhonebookExchangeTest, InterruptStopsTheSendSilently) {
  rig.WriteStore(Store({Rec({"alice", "1"})}));
  auto window = rig.Open();
  rig.ui().pumpHook = [&](long long pumps) {
    if (pumps == 100) Progress()->interruptButton()->click();
  };
  Find<QPushButton>(window.get(), 1003)->click();
  EXPECT_TRUE(rig.ui().boxes.empty());
  EXPECT_FALSE(Progress()->isVisible());
  EXPECT_FALSE(Progress()->InterruptRequested());
  EXPECT_TRUE(window->isEnabled());
  // The reader keeps a phonebook only once the end mark came.
  EXPECT_FALSE(fs::exists(ReaderPhonebook() / "data.bin"));
}

TEST_F(PhonebookExchangeTest, ClearErasesTheReadersPhonebookAfterYes) {
  PutOnReader(Store({Rec({"alice", "1"})}));
  auto window = rig.Open();
  rig.answers.push_back(Answer::No);
  Find<QPushButton>(window.get(), 1007)->click();
  EXPECT_TRUE(fs::exists(ReaderPhonebook() / "data.bin"));
  rig.answers.push_back(Answer::Yes);
  Find<QPushButton>(window.get(), 1007)->click();
  EXPECT_FALSE(fs::exists(ReaderPhonebook() / "data.bin"));
  EXPECT_EQ(rig.TakeTexts(), (std::vector<std::string>{"确认是否清空卓卷电子书中的电话本?",
                                                       "确认是否清空卓卷电子书中的电话本?", "电话本数据已被清空！"}));
  EXPECT_TRUE(window->isEnabled());
  EXPECT_EQ(window->EntryTexts(), QStringList{Q(" alice")});
}

}  // namespace
}  // namespace quirel::app::testing
