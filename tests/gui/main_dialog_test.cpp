#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include "app/browser_pane.h"
#include "resources/messages.h"
#include "tests/gui/gui_rig.h"
#include "tests/gui/pane_support.h"

namespace quirel::app::testing {
namespace {

struct Placed {
  int id;
  const char* text;
  int x, y, width, height;
};

// The buttons of the main dialog as its layout gives them, in dialog units.
const Placed kButtons[] = {
    {1007, "电话本", 141, 111, 44, 22},        {1005, "文件字体", 190, 111, 55, 22},
    {1011, "帮  助", 287, 111, 44, 22},        {1000, "传送电子书文件", 6, 222, 62, 22},
    {1001, "创建电子书目录", 78, 222, 75, 22}, {1066, "接收电子书文件", 164, 222, 60, 22},
    {1002, "清空电子书", 235, 222, 56, 22},    {1070, "退  出", 315, 222, 31, 22},
};

TEST(MainDialog, CaptionSizeAndEveryControlInItsPlace) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  CMyFileDialog& d = rig.dialog();
  const DialogUnits du(DialogFont());
  EXPECT_EQ(d.windowTitle(), QStringLiteral("卓卷电子书 6.1"));
  EXPECT_EQ(d.size(), QSize(351 * du.baseX() / 4, 245 * du.baseY() / 8));

  for (const Placed& p : kButtons) {
    SCOPED_TRACE(p.id);
    QPushButton* button = rig.Button(p.id);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QString::fromUtf8(p.text));
    EXPECT_EQ(button->geometry(), du.Rect(p.x, p.y, p.width, p.height));
    EXPECT_TRUE(button->isVisible());
    EXPECT_TRUE(button->isEnabled());
    // The caption fits its button.
    EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width());
  }
  auto* tree = Find<QTreeWidget>(&d, 1003);
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->geometry(), du.Rect(2, 2, 101, 128));
  auto* frame = Find<QPlainTextEdit>(&d, 1006);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->geometry(), du.Rect(2, 134, 344, 86));
  EXPECT_FALSE(frame->isEnabled());
  auto* current = Find<QLabel>(&d, 1100);
  ASSERT_NE(current, nullptr);
  EXPECT_EQ(current->geometry(), du.Rect(149, 196, 192, 18));
  EXPECT_TRUE(current->text().isEmpty());
  bool labelFound = false;
  for (QLabel* label : d.findChildren<QLabel*>())
    if (label->text() == QStringLiteral("当前文件名:")) {
      labelFound = true;
      EXPECT_EQ(label->geometry(), du.Rect(105, 196, 44, 13));
    }
  EXPECT_TRUE(labelFound);
  // The template's hidden controls are not made at all.
  for (int hidden : {1120, 1121, 1136, 1137, 1088, 1089, 1152, 1072, 1090, 1091})
    EXPECT_EQ(d.Control(hidden), nullptr) << hidden;
}

TEST(MainDialog, PanesArePlacedFromTheWindowSize) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  CMyFileDialog& d = rig.dialog();
  const DialogUnits du(DialogFont());
  const QSize outer = d.OuterSize();
  EXPECT_GE(outer.height(), d.height());

  BrowserPane* pane = d.browserPane();
  ASSERT_NE(pane, nullptr);
  EXPECT_EQ(pane->pos(), QPoint(static_cast<int>(outer.width() * 0.017), static_cast<int>(outer.height() * 0.528)));
  EXPECT_EQ(pane->size(), du.Size(339, 79));
  EXPECT_EQ(FindControl(pane, 1018)->geometry(), du.Rect(0, 1, 339, 77));
  // It sits inside the frame of the preview area.
  EXPECT_TRUE(d.Control(1006)->geometry().contains(pane->geometry())) << pane->geometry().y();

  QWidget* files = d.filePane();
  ASSERT_NE(files, nullptr);
  EXPECT_EQ(files->objectName(), QStringLiteral("filePane"));
  EXPECT_EQ(files->pos(), QPoint(static_cast<int>(outer.width() / 3.4), 0));
  EXPECT_EQ(files->size(), du.Size(242, 109));
  EXPECT_TRUE(d.rect().contains(files->geometry()));
  // Right of the folder tree, above the middle row of buttons.
  EXPECT_GT(files->x(), d.Control(1003)->geometry().right());
  EXPECT_LT(files->geometry().bottom(), d.Control(1007)->y());
}

TEST(MainDialog, GrowsWithThePanesAndKeepsTheButtons) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  CMyFileDialog& d = rig.dialog();
  EXPECT_EQ(d.minimumSize(), d.ClassicSize());
  QWidget* panes[] = {d.Control(1003), d.Control(1013), d.Control(1015), d.browserPane()->view()};
  QSize before[4];
  for (int i = 0; i < 4; ++i) before[i] = panes[i]->size();
  d.resize(d.ClassicSize() * 1.5);
  for (int i = 0; i < 4; ++i)
    EXPECT_TRUE(panes[i]->width() > before[i].width() && panes[i]->height() > before[i].height()) << i;
  const DialogUnits du(DialogFont());
  for (const Placed& p : kButtons) EXPECT_EQ(rig.Button(p.id)->size(), du.Size(p.width, p.height)) << p.id;
  EXPECT_EQ(d.height() - rig.Button(1000)->y(), du.Y(245) - du.Y(222));  // the bottom row stays at the bottom
  // Every control inside its parent, and none over another but in the preview frame.
  for (const QWidget* parent : std::initializer_list<const QWidget*>{&d, d.filePane(), d.browserPane()}) {
    const QRect frame = parent == &d ? d.Control(1006)->geometry() : QRect();
    const auto kids = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (const QWidget* a : kids) {
      const QRect x = a->isVisible() ? a->geometry() : QRect();
      EXPECT_TRUE(x.isNull() || parent->rect().contains(x)) << a->metaObject()->className();
      for (const QWidget* b : kids) {
        const QRect y = b->isVisible() && b != a ? b->geometry() : QRect();
        EXPECT_TRUE(!x.intersects(y) || frame.contains(x | y)) << a->metaObject()->className();
      }
    }
  }
}

TEST(MainDialog, ListEntriesShowTheirWholePathOnHover) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  const fs::path file = rig.root() / "一个名字很长很长的文件夹" / "三国演义.txt";
  WriteFile(file, "x");
  PickFolder(rig, file.parent_path());
  Pane(rig).AddAll();
  ASSERT_EQ(Pane(rig).sendListBox()->count(), 1);
  EXPECT_EQ(Pane(rig).sendListBox()->item(0)->toolTip(), QString::fromStdString(file.string()));
  EXPECT_EQ(Pane(rig).fileList()->item(0)->toolTip(), QString::fromStdString(file.string()));
}

TEST(MainDialog, ExitAsksAndNoStays) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  rig.answers = {Answer::No};
  rig.Button(1070)->click();
  ASSERT_EQ(rig.ui().boxes.size(), 1u);
  const BoxRecord& box = rig.ui().boxes[0];
  EXPECT_EQ(box.text, "是否退出?");
  EXPECT_EQ(box.caption, "卓卷电子书6.1");
  EXPECT_EQ(box.icon, Icon::Question);
  EXPECT_EQ(box.buttons, Buttons::YesNo);
  EXPECT_TRUE(rig.dialog().isVisible());
  EXPECT_TRUE(rig.dialog().browserPane()->isVisible());

  rig.answers = {Answer::Yes};
  rig.Button(1070)->click();
  EXPECT_FALSE(rig.dialog().isVisible());
  EXPECT_EQ(rig.dialog().result(), QDialog::Accepted);
}

TEST(MainDialog, EscapeAndTheCloseBoxEndWithoutAsking) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  const fs::path file = rig.root() / "书" / "三国演义.txt";
  WriteFile(file, "x");
  PickFolder(rig, file.parent_path());
  Pane(rig).AddAll();
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&rig.dialog(), &escape);
  EXPECT_FALSE(rig.dialog().isVisible());
  EXPECT_EQ(rig.dialog().result(), QDialog::Rejected);
  // The list the user built is there at the next start.
  GuiRig next;
  next.options.home = rig.options.home;
  ASSERT_TRUE(next.Start());
  ASSERT_EQ(Pane(next).sendList().size(), 1u);
  EXPECT_EQ(Pane(next).sendList().Items()[0].realPath, file.string());

  GuiRig other;
  ASSERT_TRUE(other.Start());
  EXPECT_TRUE(other.dialog().close());
  EXPECT_FALSE(other.dialog().isVisible());
  EXPECT_TRUE(rig.ui().boxes.empty());
  EXPECT_TRUE(other.ui().boxes.empty());
}

TEST(MainDialog, EveryCommandClearsTheFolderPickAndTheWaitingOnesDoNothing) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  int clears = 0;
  rig.dialog().folderPickHook = [&] { ++clears; };
  // The phonebook window has tests of its own; here only the flag matters.
  int phonebooks = 0;
  rig.dialog().phonebookCommand = [&](CMyFileDialog&) { ++phonebooks; };
  const auto sentBefore = rig.reader().Received().size();
  for (int id : {1007, 1005, 1000, 1011}) rig.Button(id)->click();
  EXPECT_EQ(phonebooks, 1);
  EXPECT_EQ(clears, 4);
  // With an empty send list, preview and send only say what is missing.
  EXPECT_EQ(rig.Texts(), (std::vector<std::string>{"请从右上框中选择一个准备预览的文件!", "传送文件没有准备好！"}));
  EXPECT_TRUE(rig.dialogTitles.empty());
  EXPECT_EQ(rig.reader().Received().size(), sentBefore);
  rig.dialogSteps = {Dismiss, Dismiss, Dismiss};
  rig.answers.push_back(Answer::No);
  rig.Button(1001)->click();
  rig.Button(1066)->click();
  rig.Button(1002)->click();
  rig.Button(1070)->click();
  EXPECT_EQ(clears, 8);
  EXPECT_EQ(rig.reader().Received().size(), sentBefore);
  EXPECT_TRUE(rig.dialog().isVisible());
}

TEST(MainDialog, ReturnPressesOnlyTheButtonThatHasIt) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  CMyFileDialog& d = rig.dialog();
  std::vector<std::string> ran;
  d.folderPickHook = [&] { ran.push_back("command"); };  // every command starts so
  d.phonebookCommand = [&](CMyFileDialog&) { ran.push_back("phonebook"); };
  d.sendCommand = [&](CMyFileDialog&) { ran.push_back("send"); };
  auto press = [](QWidget* target, Qt::Key key) {
    QKeyEvent event(QEvent::KeyPress, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QApplication::sendEvent(target, &event);
  };
  // The folder tree, the file list and the send list.
  for (int id : {1003, 1013, 1015}) {
    SCOPED_TRACE(id);
    QWidget* control = d.Control(id);
    ASSERT_NE(control, nullptr);
    press(control, Qt::Key_Return);
    press(control, Qt::Key_Enter);
    EXPECT_TRUE(ran.empty());
  }
  press(rig.Button(1000), Qt::Key_Return);
  EXPECT_EQ(ran, (std::vector<std::string>{"command", "send"}));
  EXPECT_TRUE(rig.ui().boxes.empty());
  EXPECT_TRUE(d.isVisible());
}

TEST(MainDialog, LaterCommandsPlugIn) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  std::vector<std::string> ran;
  rig.dialog().sendCommand = [&](CMyFileDialog&) { ran.push_back("send"); };
  rig.dialog().previewCommand = [&](CMyFileDialog& d) {
    ran.push_back("preview " + std::to_string(d.settings().rowWidth));
  };
  rig.dialog().phonebookCommand = [&](CMyFileDialog&) { ran.push_back("phonebook"); };
  for (int id : {1000, 1005, 1007}) rig.Button(id)->click();
  EXPECT_EQ(ran, (std::vector<std::string>{"send", "preview 20", "phonebook"}));
}

}  // namespace
}  // namespace quirel::app::testing
