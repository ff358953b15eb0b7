#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>

#include "app/find_dialog.h"
#include "app/record_dialog.h"
#include "resources/messages.h"
#include "tests/gui/phonebook_rig.h"

namespace quirel::app::testing {
namespace {

const std::string kNameEmpty(msg::kNameEmpty);
const std::string kNameNotFound(msg::kNameNotFound);

TEST(PhonebookWindow, ControlsTitleAndSize) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  auto window = rig.Open();
  const DialogUnits du(DialogFont());
  EXPECT_EQ(window->windowTitle(), Q("电话本"));
  EXPECT_EQ(window->size(), du.Size(233, 138));
  EXPECT_FALSE(window->windowIcon().isNull());
  const struct {
    int id;
    const char* text;
  } buttons[] = {{1000, "添 加"}, {1005, "删 除"}, {1002, "编 辑"}, {1001, "查 找"},
                 {1003, "发 送"}, {1004, "接 收"}, {1007, "清 空"}, {1, "返 回"}};
  for (const auto& b : buttons) {
    auto* button = Find<QPushButton>(window.get(), b.id);
    ASSERT_NE(button, nullptr) << b.id;
    EXPECT_EQ(button->text(), Q(b.text));
    EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width());
  }
  EXPECT_EQ(Find<QListWidget>(window.get(), 1006), window->list());
  EXPECT_EQ(window->list()->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(window->list()->flow(), QListView::TopToBottom);
  EXPECT_TRUE(window->list()->isWrapping());
  bool group = false;
  for (auto* box : window->findChildren<QGroupBox*>()) group = group || box->title() == Q("姓名");
  EXPECT_TRUE(group);
  // The port probe on opening finds the reader without a word.
  EXPECT_TRUE(rig.ui().boxes.empty());
}

TEST(PhonebookWindow, OpensSortedIgnoringCaseWithSpaceInFront) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  rig.WriteStore(Store({Rec({"bob"}), Rec({"张三"}), Rec({"Alice"}), Rec({"alan"})}));
  auto window = rig.Open();
  EXPECT_EQ(window->EntryTexts(), (QStringList{Q(" alan"), Q(" Alice"), Q(" bob"), Q(" 张三")}));
  // The first entry has the focus; nothing is selected.
  EXPECT_EQ(window->list()->currentRow(), 0);
  EXPECT_TRUE(SelectedRows(window->list()).empty());
  EXPECT_EQ(window->list()->gridSize().height(), 22);
}

TEST(PhonebookWindow, ColumnWidthFollowsTheLongestName) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  // 3, 8 and 20 bytes: past 14 bytes the column stays at 113 pixels.
  rig.WriteStore(Store({Rec({"abc"}), Rec({"abcdefgh"}), Rec({"张三李四王五赵六钱七"})}));
  EXPECT_EQ(rig.Open()->ColumnWidth(), 113);
  // At most 14 bytes: 9 pixels per byte of the longest (王小明 is 6 bytes).
  rig.WriteStore(Store({Rec({"ab"}), Rec({"王小明"}), Rec({"abc"})}));
  EXPECT_EQ(rig.Open()->ColumnWidth(), 54);
  rig.WriteStore(Store({Rec({"abcdefghijklmn"})}));
  EXPECT_EQ(rig.Open()->ColumnWidth(), 126);
}

TEST(PhonebookWindow, NamesRunDownOneColumnAndOnIntoTheNext) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  const char* names[] = {"张伟",         "王芳",
                         "李娜",         "刘洋",
                         "陈静",         "杨帆",
                         "赵磊",         "黄丽",
                         "周杰",         "吴敏",
                         "徐强",         "孙悦",
                         "马超",         "朱琳",
                         "胡军",         "郭晶",
                         "何平",         "高翔",
                         "林峰",         "罗兰",
                         "欧阳修远",     "司马相如",
                         "诸葛孔明先生", "Lucy",
                         "david",        "上海浦东发展银行客服"};
  std::string store = "\x09\x09";
  for (const char* name : names) store += Rec({name, "13800138000", "021-6888", "", "", "", "", "", "", "", ""});
  store += '\x1E';
  rig.WriteStore(store);
  auto window = rig.Open();
  window->show();
  QApplication::processEvents();
  QListWidget* list = window->list();
  ASSERT_EQ(list->count(), 26);
  ASSERT_EQ(window->ColumnWidth(), 113);  // the bank's name is 20 bytes
  const int perColumn = list->viewport()->height() / 22;
  ASSERT_GT(perColumn, 1);
  ASSERT_LT(perColumn, list->count());
  EXPECT_EQ(list->visualItemRect(list->item(0)).topLeft(), QPoint(0, 0));
  EXPECT_EQ(list->visualItemRect(list->item(1)).topLeft(), QPoint(0, 22));
  EXPECT_EQ(list->visualItemRect(list->item(perColumn)).topLeft(), QPoint(113, 0));
  EXPECT_EQ(list->visualItemRect(list->item(0)).size(), QSize(113, 22));

  // Pictures to look at: QUIREL_SCREENSHOT_DIR=... with a real display.
  if (const char* dir = std::getenv("QUIREL_SCREENSHOT_DIR")) {
    SelectRows(list, {2, 3});
    window->grab().save(QString::fromUtf8(dir) + QStringLiteral("/phonebook_window.png"));
    RecordDialog& record = window->recordDialog();
    PhonebookRecord sample;
    sample.name = "诸葛孔明";
    sample.mobile = "13800138000";
    sample.phone = "010-62751234";
    sample.pager = "191-2345678";
    sample.address = "北京市海淀区中关村大街1号";
    sample.companyName = "卓卷科技有限公司";
    sample.companyPhone = "010-82345678";
    sample.fax = "010-82345679";
    sample.web = "www.example.cn";
    sample.email = "kongming@example.cn";
    sample.note = "老同学。\n每周三下午有空。";
    record.SetFields(sample);
    record.show();
    QApplication::processEvents();
    record.grab().save(QString::fromUtf8(dir) + QStringLiteral("/record_dialog.png"));
    record.hide();
  }
}

TEST(PhonebookAdd, ANewRecordIsAppendedListedAndSelectedAlone) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  const std::string before = Store({Rec({"张三", "13800000000"})});
  rig.WriteStore(before);
  auto window = rig.Open();
  EXPECT_EQ(window->ColumnWidth(), 36);
  SelectRows(window->list(), {0});
  rig.dialogSteps.push_back(TypeRecord(
      {Q("赵六七"), Q("139"), QString(), QString(), Q("北京"), QString(), QString(), Q("010-1"), Q("www.example.cn")}));
  Find<QPushButton>(window.get(), 1000)->click();
  EXPECT_EQ(rig.dialogTitles, (std::vector<std::string>{"详细情况"}));
  EXPECT_TRUE(rig.ui().boxes.empty());
  const std::string added = std::string("\x10") + Gbk("赵六七") +
                            "\x11"
                            "139"
                            "\x12\x13\x14" +
                            Gbk("北京") +
                            "\x15\x16\x17"
                            "010-1"
                            "\x18"
                            "www.example.cn"
                            "\x19\x1A\x1B";
  EXPECT_EQ(rig.ReadStore(), before.substr(0, before.size() - 1) + added + "\x1E");
  EXPECT_EQ(window->EntryTexts(), (QStringList{Q(" 张三"), Q(" 赵六七")}));
  EXPECT_EQ(SelectedRows(window->list()), (std::vector<int>{1}));
  EXPECT_EQ(window->list()->currentRow(), 1);
  // " 赵六七" is 7 bytes: 9 x 7 - 4 pixels.
  EXPECT_EQ(window->ColumnWidth(), 59);
}

TEST(PhonebookAdd, AnIdenticalRecordAddsNoSecondEntry) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  const std::string store = Store({Rec({"张三", "13800000000", "", "", "", "", "", "", "", "", "老同学"})});
  rig.WriteStore(store);
  auto window = rig.Open();
  rig.dialogSteps.push_back(TypeRecord({Q("张三"), Q("13800000000"), {}, {}, {}, {}, {}, {}, {}, {}, Q("老同学")}));
  Find<QPushButton>(window.get(), 1000)->click();
  EXPECT_TRUE(rig.ui().boxes.empty());  // no question for an identical record
  EXPECT_EQ(window->EntryTexts(), QStringList{Q(" 张三")});
  EXPECT_EQ(rig.ReadStore(), store);
}

TEST(PhonebookAdd, ASecondAddStartsFromEmptyFields) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  auto window = rig.Open();
  rig.dialogSteps.push_back(TypeRecord({Q("amy"), Q("1")}));
  Find<QPushButton>(window.get(), 1000)->click();
  PhonebookRecord seen;
  rig.dialogSteps.push_back([&](QDialog& dialog) {
    seen = static_cast<RecordDialog&>(dialog).Fields();
    dialog.reject();
  });
  Find<QPushButton>(window.get(), 1000)->click();
  EXPECT_EQ(seen, PhonebookRecord());
  EXPECT_EQ(window->EntryTexts(), QStringList{Q(" amy")});
}

TEST(RecordDialog, RefusalsKeepTheDialogOpenAndTheStoreUnchanged) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  const std::string store = Store({Rec({"amy"})});
  rig.WriteStore(store);
  auto window = rig.Open();
  std::vector<int> results;
  std::vector<QWidget*> focus;
  auto attempt = [&](const std::vector<QString>& fields) {
    return [&, fields](QDialog& dialog) {
      TypeRecord(fields)(dialog);
      results.push_back(dialog.result());
      focus.push_back(dialog.focusWidget());
      Find<QPushButton>(&dialog, 1087)->click();
    };
  };
  rig.dialogSteps.push_back(attempt({QString(), Q("139")}));
  rig.dialogSteps.push_back(attempt({Q("bob"), {}, {}, {}, Q("街道\U0001F600")}));
  rig.dialogSteps.push_back(attempt({Q("\U0001F600")}));
  for (int i = 0; i < 3; ++i) Find<QPushButton>(window.get(), 1000)->click();
  EXPECT_EQ(rig.TakeTexts(),
            (std::vector<std::string>{kNameEmpty, std::string(msg::kFieldNotGbk), std::string(msg::kNameNotGbk)}));
  EXPECT_EQ(results, (std::vector<int>{0, 0, 0}));
  ASSERT_EQ(focus.size(), 3u);
  EXPECT_EQ(focus[0], Find<QLineEdit>(&window->recordDialog(), 1008));
  EXPECT_EQ(focus[1], Find<QLineEdit>(&window->recordDialog(), 1012));
  EXPECT_EQ(focus[2], Find<QLineEdit>(&window->recordDialog(), 1008));
  EXPECT_EQ(rig.ReadStore(), store);
  EXPECT_EQ(window->EntryTexts(), QStringList{Q(" amy")});
}

TEST(RecordDialog, ANoteTypedOnTwoLinesIsStoredOnOne) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  auto window = rig.Open();
  rig.dialogSteps.push_back(TypeRecord({Q("amy"), {}, {}, {}, {}, {}, {}, {}, {}, {}, Q("第一行\n第二行")}));
  Find<QPushButton>(window.get(), 1000)->click();
  EXPECT_EQ(rig.ReadStore(), Store({Rec({"amy", "", "", "", "", "", "", "", "", "", "第一行第二行"})}));
}

TEST(RecordDialog, LabelsGroupsAndButtons) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  auto window = rig.Open();
  RecordDialog& dialog = window->recordDialog();
  EXPECT_EQ(dialog.windowTitle(), Q("详细情况"));
  QStringList groups;
  for (auto* box : dialog.findChildren<QGroupBox*>()) groups << box->title();
  EXPECT_EQ(groups, (QStringList{Q("个人"), Q("公司")}));
  QStringList labels;
  for (auto* label : dialog.findChildren<QLabel*>()) labels << label->text();
  EXPECT_EQ(labels, (QStringList{Q("姓名:"), Q("手机:"), Q("电话:"), Q("传呼:"), Q("地址:"), Q("名称:"), Q("电话:"),
                                 Q("网址:"), Q("传真:"), Q("电邮:"), Q("备注:")}));
  for (int id = 1008; id <= 1017; ++id) EXPECT_NE(Find<QLineEdit>(&dialog, id), nullptr) << id;
  auto* note = Find<QPlainTextEdit>(&dialog, 1018);
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  auto* save = Find<QPushButton>(&dialog, 1);
  ASSERT_NE(save, nullptr);
  EXPECT_EQ(save->text(), Q("存贮"));
  EXPECT_TRUE(save->isDefault());
  EXPECT_EQ(Find<QPushButton>(&dialog, 1087)->text(), Q("返回"));
  // The web address sits above the fax number in the company group.
  EXPECT_LT(Find<QLineEdit>(&dialog, 1016)->y(), Find<QLineEdit>(&dialog, 1015)->y());
}

TEST(PhonebookDelete, ThreeSelectedNamesGoInOneWrite) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  const std::string keep = Rec({"张三", "1"});
  rig.WriteStore(Store({Rec({"bob", "2"}), keep, Rec({"amy", "3"}), Rec({"carl", "4"})}));
  auto window = rig.Open();
  ASSERT_EQ(window->EntryTexts(), (QStringList{Q(" amy"), Q(" bob"), Q(" carl"), Q(" 张三")}));
  SelectRows(window->list(), {0, 1, 2});
  StoreWrites writes(rig.Home());
  rig.answers.push_back(Answer::Yes);
  Find<QPushButton>(window.get(), 1005)->click();
  ASSERT_EQ(rig.ui().boxes.size(), 1u);
  EXPECT_EQ(rig.ui().boxes[0].text, "是否删除记录!");
  EXPECT_EQ(rig.ui().boxes[0].icon, Icon::Warning);
  EXPECT_EQ(rig.ui().boxes[0].buttons, Buttons::YesNo);
  EXPECT_EQ(rig.ReadStore(), Store({keep}));
  EXPECT_EQ(writes.Count(), 1);
  EXPECT_EQ(window->EntryTexts(), QStringList{Q(" 张三")});
  // " 张三" is 5 bytes: 9 x 5 - 4 pixels.
  EXPECT_EQ(window->ColumnWidth(), 41);
}

TEST(PhonebookDelete, NothingSelectedOrNoChangesNothing) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  const std::string store = Store({Rec({"amy"}), Rec({"bob"})});
  rig.WriteStore(store);
  auto window = rig.Open();
  Find<QPushButton>(window.get(), 1005)->click();
  SelectRows(window->list(), {1});
  rig.answers.push_back(Answer::No);
  Find<QPushButton>(window.get(), 1005)->click();
  EXPECT_EQ(rig.TakeTexts(), (std::vector<std::string>{"请选择姓名!", "是否删除记录!"}));
  EXPECT_EQ(rig.ReadStore(), store);
  EXPECT_EQ(window->EntryTexts(), (QStringList{Q(" amy"), Q(" bob")}));
  EXPECT_EQ(SelectedRows(window->list()), std::vector<int>{1});
}

TEST(PhonebookEdit, RenamingOntoAnExistingNameAndYesLeavesOneEntry) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  rig.WriteStore(Store({Rec({"张三", "111"}), Rec({"amy", "000"}), Rec({"李四", "222"})}));
  auto window = rig.Open();
  ASSERT_EQ(window->EntryTexts(), (QStringList{Q(" amy"), Q(" 李四"), Q(" 张三")}));
  SelectRows(window->list(), {1});
  PhonebookRecord shown;
  rig.dialogSteps.push_back([&](QDialog& dialog) {
    shown = static_cast<RecordDialog&>(dialog).Fields();
    TypeRecord({Q("张三"), Q("333")})(dialog);
  });
  rig.answers.push_back(Answer::Yes);
  Find<QPushButton>(window.get(), 1002)->click();
  EXPECT_EQ(shown.name, "李四");
  EXPECT_EQ(shown.mobile, "222");
  EXPECT_EQ(rig.TakeTexts(), std::vector<std::string>{"有相同的人名记录!\n 是否替代?"});
  // 李四's record is gone and 张三's replaced where it stood.
  EXPECT_EQ(rig.ReadStore(), Store({Rec({"张三", "333"}), Rec({"amy", "000"})}));
  EXPECT_EQ(window->EntryTexts(), (QStringList{Q(" amy"), Q(" 张三")}));
  EXPECT_EQ(SelectedRows(window->list()), std::vector<int>{1});
}

TEST(PhonebookEdit, NoKeepsTheDialogOpenAndTheStoreAsItWas) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  const std::string store = Store({Rec({"amy", "1"}), Rec({"bob", "2"})});
  rig.WriteStore(store);
  auto window = rig.Open();
  SelectRows(window->list(), {1});
  rig.dialogSteps.push_back(TypeRecord({Q("amy"), Q("9")}, /*pressBack=*/true));
  rig.answers.push_back(Answer::No);
  Find<QPushButton>(window.get(), 1002)->click();
  EXPECT_EQ(rig.TakeTexts(), std::vector<std::string>{"有相同的人名记录!\n 是否替代?"});
  EXPECT_EQ(rig.ReadStore(), store);
  EXPECT_EQ(window->EntryTexts(), (QStringList{Q(" amy"), Q(" bob")}));
}

TEST(PhonebookEdit, DoubleClickEditsTheFocusedEntryAndMovesItToTheEnd) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  rig.WriteStore(Store({Rec({"amy", "1"}), Rec({"bob", "2"})}));
  auto window = rig.Open();
  SelectRows(window->list(), {0});
  rig.dialogSteps.push_back(TypeRecord({Q("amy"), Q("7")}));
  emit window->list()->itemDoubleClicked(window->list()->item(0));
  EXPECT_EQ(rig.ReadStore(), Store({Rec({"bob", "2"}), Rec({"amy", "7"})}));
  EXPECT_EQ(window->EntryTexts(), (QStringList{Q(" amy"), Q(" bob")}));
  EXPECT_EQ(SelectedRows(window->list()), std::vector<int>{0});
}

TEST(PhonebookEdit, AnEmptyListAsksForAName) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  auto window = rig.Open();
  Find<QPushButton>(window.get(), 1002)->click();
  EXPECT_EQ(rig.TakeTexts(), std::vector<std::string>{"请选择姓名!"});
  EXPECT_TRUE(rig.dialogTitles.empty());
}

TEST(PhonebookEdit, ANameTheStoreNoLongerHoldsLeavesTheList) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  rig.WriteStore(Store({Rec({"amy"}), Rec({"bob"})}));
  auto window = rig.Open();
  rig.WriteStore(Store({Rec({"bob"})}));  // changed behind the window's back
  SelectRows(window->list(), {0});
  Find<QPushButton>(window.get(), 1002)->click();
  EXPECT_EQ(rig.TakeTexts(), std::vector<std::string>{kNameNotFound});
  EXPECT_EQ(window->EntryTexts(), QStringList{Q(" bob")});
}

TEST(PhonebookFind, TheFirstEntryInListOrderInAnyLetterCase) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  rig.WriteStore(Store({Rec({"北京"}), Rec({"Banana"}), Rec({"apricot"}), Rec({"北海"}), Rec({"Apple"})}));
  auto window = rig.Open();
  // 海 (0xBA 0xA3) sorts before 京 (0xBE 0xA9).
  ASSERT_EQ(window->EntryTexts(), (QStringList{Q(" Apple"), Q(" apricot"), Q(" Banana"), Q(" 北海"), Q(" 北京")}));
  const struct {
    const char* typed;
    int row;
  } cases[] = {{"a", 0}, {"A", 0}, {"APR", 1}, {"b", 2}, {"北", 3}, {"北京", 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    SelectRows(window->list(), {0, 1, 2});
    rig.dialogSteps.push_back(TypeFind(Q(c.typed)));
    Find<QPushButton>(window.get(), 1001)->click();
    EXPECT_EQ(SelectedRows(window->list()), std::vector<int>{c.row});
    EXPECT_EQ(window->list()->currentRow(), c.row);
  }
  EXPECT_TRUE(rig.ui().boxes.empty());
  EXPECT_EQ(rig.dialogTitles.front(), "查找");
}

TEST(PhonebookFind, NotFoundAndCancelledBothSaySo) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  rig.WriteStore(Store({Rec({"amy"})}));
  auto window = rig.Open();
  SelectRows(window->list(), {0});
  rig.dialogSteps.push_back(TypeFind(Q("x")));
  Find<QPushButton>(window.get(), 1001)->click();
  rig.dialogSteps.push_back(Dismiss);
  Find<QPushButton>(window.get(), 1001)->click();
  EXPECT_EQ(rig.TakeTexts(), (std::vector<std::string>{kNameNotFound, kNameNotFound}));
  EXPECT_EQ(SelectedRows(window->list()), std::vector<int>{0});
  // The dialog keeps the last typed text.
  EXPECT_EQ(window->findDialog().edit()->text(), Q("x"));
}

TEST(PhonebookFind, ATextOverNineBytesIsRefused) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  rig.WriteStore(Store({Rec({"五个汉字了吧"}), Rec({"abcdefghijk"})}));
  auto window = rig.Open();
  std::vector<int> results;
  auto attempt = [&](const char* text) {
    return [&, text](QDialog& dialog) {
      TypeFind(Q(text))(dialog);
      results.push_back(dialog.result());
    };
  };
  // Ten bytes each: refused, the dialog stays open (and is then closed).
  rig.dialogSteps.push_back(attempt("五个汉字了"));
  Find<QPushButton>(window.get(), 1001)->click();
  rig.dialogSteps.push_back(attempt("abcdefghij"));
  Find<QPushButton>(window.get(), 1001)->click();
  const std::string tooLong(msg::kFindTextTooLong);
  EXPECT_EQ(rig.TakeTexts(), (std::vector<std::string>{tooLong, kNameNotFound, tooLong, kNameNotFound}));
  // Nine bytes fit.
  rig.dialogSteps.push_back(attempt("abcdefghi"));
  Find<QPushButton>(window.get(), 1001)->click();
  rig.dialogSteps.push_back(attempt("五个汉字"));
  Find<QPushButton>(window.get(), 1001)->click();
  EXPECT_TRUE(rig.TakeTexts().empty());
  EXPECT_EQ(results, (std::vector<int>{0, 0, QDialog::Accepted, QDialog::Accepted}));
  EXPECT_EQ(SelectedRows(window->list()), std::vector<int>{1});
}

TEST(PhonebookCommand, OpensTheWindowOnAFreshStore) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  rig.dialog().phonebookCommand = [](CMyFileDialog& d) { RunPhonebookCommand(&d, d.link(), d.env(), d.ui()); };
  QStringList seen;
  rig.dialogSteps.push_back([&](QDialog& dialog) {
    auto& window = static_cast<PhonebookWindow&>(dialog);
    seen = window.EntryTexts();
    seen.prepend(window.windowTitle());
    Find<QPushButton>(&dialog, 1)->click();
  });
  rig.Button(1007)->click();
  EXPECT_EQ(seen, QStringList{Q("电话本")});
  EXPECT_EQ(rig.ReadStore(), std::string("\x09\x09\x1E", 3));
  EXPECT_TRUE(rig.ui().boxes.empty());
}

TEST(PhonebookCommand, ADamagedStoreIsBackedUpAndStartedAfresh) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  rig.dialog().phonebookCommand = [](CMyFileDialog& d) { RunPhonebookCommand(&d, d.link(), d.env(), d.ui()); };
  const std::string damaged =
      "\x09\x09"
      "X" +
      Rec({"amy"}) + "\x1E";
  rig.WriteStore(damaged);
  int rows = -1;
  rig.dialogSteps.push_back([&](QDialog& dialog) { rows = static_cast<PhonebookWindow&>(dialog).list()->count(); });
  rig.Button(1007)->click();
  EXPECT_EQ(rig.TakeTexts(), std::vector<std::string>{"电话本数据已被破坏！201"});
  EXPECT_EQ(ReadFile(rig.Home() / "tarnviktelcom.bak"), damaged);
  EXPECT_EQ(rig.ReadStore(), std::string("\x09\x09\x1E", 3));
  EXPECT_EQ(rows, 0);
}

TEST(PhonebookCommand, AStoreThatCannotBeMadeKeepsTheWindowShut) {
  PhonebookRig rig;
  ASSERT_TRUE(rig.Start());
  rig.dialog().phonebookCommand = [](CMyFileDialog& d) { RunPhonebookCommand(&d, d.link(), d.env(), d.ui()); };
  fs::create_directories(rig.StorePath());  // a folder where the file should be
  rig.Button(1007)->click();
  for (const BoxRecord& box : rig.ui().boxes) {
    EXPECT_EQ(box.caption, "卓卷电子书6.1");
    EXPECT_EQ(box.icon, Icon::Error);
  }
  EXPECT_EQ(rig.TakeTexts(), (std::vector<std::string>{std::string(msg::kStoreCreateFailed),
                                                       "新建电话本文件失败，\n请卸载本驱动程序后重新安装."}));
  EXPECT_TRUE(rig.dialogTitles.empty());
}

}  // namespace
}  // namespace quirel::app::testing
