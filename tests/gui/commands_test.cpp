#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <algorithm>
#include <QTimer>

#include "app/progress_dialog.h"
#include "app/small_dialogs.h"
#include "resources/messages.h"
#include "tests/gui/gui_rig.h"

namespace quirel::app::testing {
namespace {

// The link opening (probe bytes 0 to 20) and a burst of ten command bytes.
bool Contains(const std::vector<std::uint8_t>& got, std::uint8_t command) {
  std::vector<std::uint8_t> want;
  for (int i = 0; i <= 20; ++i) want.push_back(static_cast<std::uint8_t>(i));
  want.insert(want.end(), 10, command);
  return std::search(got.begin(), got.end(), want.begin(), want.end()) != got.end();
}

// A dialog step: type a name into dialog 137 and press "创建".
std::function<void(QDialog&)> CreateWith(const QString& name) {
  return [name](QDialog& dialog) {
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("nameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->clear();
    edit->insert(name);
    Find<QPushButton>(&dialog, 1)->click();
  };
}

TEST(CreateDirectory, ThroughTheDialogOntoTheReader) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  rig.dialogSteps.push_back(CreateWith(QStringLiteral("小说")));
  rig.Button(1001)->click();
  EXPECT_EQ(rig.dialogTitles, (std::vector<std::string>{"创建电子书目录"}));
  EXPECT_TRUE(fs::is_directory(rig.Books() / "小说"));
  ASSERT_EQ(rig.ui().boxes.size(), 1u);
  EXPECT_EQ(rig.ui().boxes[0].text, " 创建目录完成!");
  EXPECT_EQ(rig.ui().boxes[0].icon, Icon::Information);
  EXPECT_TRUE(rig.dialog().isEnabled());
}

TEST(CreateDirectory, TheEditTakesSixteenBytesAndNoMore) {
  QWidget parent;
  CreateDirectoryDialog dialog(&parent);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("创建电子书目录"));
  QStringList texts;
  for (QLabel* label : dialog.findChildren<QLabel*>()) texts << label->text();
  EXPECT_TRUE(texts.contains(QStringLiteral("请输入待创建目录名:")));
  EXPECT_TRUE(texts.contains(QStringLiteral("(最多16个字符)")));
  EXPECT_EQ(Find<QPushButton>(&dialog, 1)->text(), QStringLiteral("创建"));
  EXPECT_EQ(Find<QPushButton>(&dialog, 2)->text(), QStringLiteral("取消"));
  dialog.edit()->insert(QStringLiteral("abcdefghijklmnop"));
  EXPECT_EQ(dialog.Name(), QStringLiteral("abcdefghijklmnop"));
  dialog.edit()->insert(QStringLiteral("q"));
  EXPECT_EQ(dialog.Name(), QStringLiteral("abcdefghijklmnop"));
  // Sixteen bytes as the reader keeps them: a Chinese character takes two.
  dialog.edit()->clear();
  for (const QChar c : QStringLiteral("一二三四五六七八九十")) dialog.edit()->insert(QString(c));
  EXPECT_EQ(dialog.Name(), QStringLiteral("一二三四五六七八"));
}

TEST(CreateDirectory, CancelOrAnEmptyNameSendsNothing) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  const auto before = rig.reader().Received().size();
  rig.dialogSteps.push_back([](QDialog& dialog) {
    dialog.findChild<QLineEdit*>()->insert(QStringLiteral("abc"));
    Find<QPushButton>(&dialog, 2)->click();
  });
  rig.Button(1001)->click();
  EXPECT_TRUE(rig.ui().boxes.empty());
  rig.dialogSteps.push_back(CreateWith(QString()));
  rig.Button(1001)->click();
  EXPECT_EQ(rig.Texts(), (std::vector<std::string>{"请输入目录名!"}));
  EXPECT_EQ(rig.ui().boxes[0].icon, Icon::Information);
  EXPECT_EQ(rig.reader().Received().size(), before);
  EXPECT_TRUE(fs::is_empty(rig.Books()) || !fs::exists(rig.Books()));
}

TEST(CreateDirectory, TheModalDialogCanBeCancelledWhileItRuns) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  rig.ui().dialogRunner = nullptr;  // the real modal loop
  const auto before = rig.reader().Received().size();
  bool pressed = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<CreateDirectoryDialog*>(w);
      if (dialog != nullptr && dialog->isVisible()) {
        dialog->edit()->insert(QStringLiteral("never"));
        Find<QPushButton>(dialog, 2)->click();
        pressed = true;
      }
    }
  });
  poll.start(5);
  rig.Button(1001)->click();
  poll.stop();
  EXPECT_TRUE(pressed);
  EXPECT_EQ(rig.reader().Received().size(), before);
  EXPECT_TRUE(rig.ui().boxes.empty());
}

TEST(Clear, QuickClearThroughDialog139) {
  GuiRig rig;
  rig.WriteSystemFiles(100);
  ASSERT_TRUE(rig.Start());
  WriteFile(rig.Books() / "old.ebk", "x");
  rig.dialogSteps.push_back([](QDialog& dialog) {
    EXPECT_TRUE(Find<QRadioButton>(&dialog, 1037)->isChecked());
    EXPECT_EQ(Find<QRadioButton>(&dialog, 1038)->text(), QStringLiteral("全面清空电子书/电话本"));
    Find<QPushButton>(&dialog, 1)->click();
  });
  rig.Button(1002)->click();
  EXPECT_EQ(rig.dialogTitles, (std::vector<std::string>{"电子书清空"}));
  EXPECT_EQ(rig.Texts(), (std::vector<std::string>{"电子书快速初始化完毕！"}));
  EXPECT_FALSE(fs::exists(rig.Books() / "old.ebk"));
  EXPECT_TRUE(rig.dialog().isEnabled());
  ProgressDialog* window = rig.ui().ProgressDialogOf(ProgressKind::Clear);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->isVisible());
}

TEST(Clear, InterruptingAFullClearMidFontEndsSilentlyWithTheWindowEnabled) {
  GuiRig rig(",slow=4");
  rig.WriteSystemFiles(std::size_t{3} * 8192);
  ASSERT_TRUE(rig.Start());
  rig.dialogSteps.push_back([](QDialog& dialog) {
    Find<QRadioButton>(&dialog, 1038)->click();
    Find<QPushButton>(&dialog, 1)->click();
  });
  bool disabledMeanwhile = false;
  QString labelMeanwhile;
  rig.ui().pumpHook = [&](long long pumps) {
    if (pumps != 5000) return;
    ProgressDialog* window = rig.ui().ProgressDialogOf(ProgressKind::Clear);
    disabledMeanwhile = !rig.dialog().isEnabled();
    labelMeanwhile = window->Label();
    ASSERT_TRUE(window->isVisible());
    ASSERT_TRUE(window->isEnabled());
    EXPECT_EQ(window->interruptButton()->text(), QStringLiteral("中断初始化"));
    // The window does not close under a running transfer.
    EXPECT_FALSE(rig.dialog().close());
    window->interruptButton()->click();
  };
  rig.Button(1002)->click();
  EXPECT_TRUE(disabledMeanwhile);
  EXPECT_EQ(labelMeanwhile, QStringLiteral("chnstd1j40.bin"));
  EXPECT_TRUE(rig.ui().boxes.empty());
  EXPECT_TRUE(rig.dialog().isEnabled());
  EXPECT_TRUE(rig.dialog().isVisible());
  ProgressDialog* window = rig.ui().ProgressDialogOf(ProgressKind::Clear);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->InterruptRequested());
  // The reader took the full-clear command and part of the first font only.
  const auto& got = rig.reader().Received();
  EXPECT_TRUE(Contains(got, 0x8D));
  EXPECT_LT(got.size(), 21u + 10 + 3 + 8192);
  EXPECT_GT(rig.ui().pumps, 4999);
}

TEST(Clear, CancellingDialog139SendsNothing) {
  GuiRig rig;
  rig.WriteSystemFiles(100);
  ASSERT_TRUE(rig.Start());
  const auto before = rig.reader().Received().size();
  rig.dialogSteps.push_back(Dismiss);
  rig.Button(1002)->click();
  EXPECT_EQ(rig.dialogTitles, (std::vector<std::string>{"电子书清空"}));
  EXPECT_TRUE(rig.ui().boxes.empty());
  EXPECT_EQ(rig.reader().Received().size(), before);
  EXPECT_EQ(rig.ui().ProgressDialogOf(ProgressKind::Clear), nullptr);
}

TEST(Receive, EverythingIntoAFolder) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  WriteFile(rig.Books() / "诗" / "春江.txt", "spring river");
  WriteFile(rig.Books() / "a.ebk", std::string(3000, 'a'));
  const fs::path target = rig.root() / "From Reader";
  rig.dialogSteps.push_back([&](QDialog& dialog) {
    auto* edit = Find<QLineEdit>(&dialog, 1025);
    EXPECT_EQ(edit->text(), QDir::currentPath());
    edit->setText(QString::fromStdString(target.string()));
    Find<QRadioButton>(&dialog, 1084)->click();
    Find<QPushButton>(&dialog, 1)->click();
  });
  rig.Button(1066)->click();
  EXPECT_EQ(rig.dialogTitles, (std::vector<std::string>{"接收文件"}));
  EXPECT_EQ(rig.Texts(), (std::vector<std::string>{"所有文件成功接收！"}));
  EXPECT_EQ(ReadFile(target / "诗" / "春江.txt"), "spring river");
  EXPECT_EQ(ReadFile(target / "a.ebk"), std::string(3000, 'a'));
  EXPECT_TRUE(rig.dialog().isEnabled());
  ProgressDialog* window = rig.ui().ProgressDialogOf(ProgressKind::Receive);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->isVisible());
  // The mode byte for everything went out ten times.
  EXPECT_TRUE(Contains(rig.reader().Received(), 0xB1));
}

TEST(Receive, CancelSendsNothing) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  const auto before = rig.reader().Received().size();
  rig.dialogSteps.push_back([](QDialog& dialog) { Find<QPushButton>(&dialog, 2)->click(); });
  rig.Button(1066)->click();
  EXPECT_TRUE(rig.ui().boxes.empty());
  EXPECT_EQ(rig.reader().Received().size(), before);
}

TEST(ReceiveOptions, TargetCheckBrowseAndMode) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  ReceiveOptionsDialog dialog(&rig.dialog(), rig.ui());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("接收文件"));
  EXPECT_EQ(dialog.Mode(), 0xB3);
  EXPECT_EQ(Find<QRadioButton>(&dialog, 1083)->text(), QStringLiteral("接收电子书当前光标位置内容"));
  EXPECT_EQ(Find<QPushButton>(&dialog, 1075)->text(), QStringLiteral("浏览..."));
  EXPECT_EQ(Find<QPushButton>(&dialog, 1)->text(), QStringLiteral("开始接收"));

  // Nothing chosen in the folder chooser: a hint, the edit stays.
  const QString before = dialog.Target();
  Find<QPushButton>(&dialog, 1075)->click();
  EXPECT_EQ(rig.pickerTitles, (std::vector<std::string>{"选择接收文件路径"}));
  EXPECT_EQ(rig.Texts(), (std::vector<std::string>{"请选择文件目录"}));
  EXPECT_EQ(rig.ui().boxes.back().icon, Icon::Information);
  EXPECT_EQ(dialog.Target(), before);
  // A chosen folder keeps its letter case.
  rig.pickedFolder = QStringLiteral("/Data/Books");
  Find<QPushButton>(&dialog, 1075)->click();
  EXPECT_EQ(dialog.Target(), QStringLiteral("/Data/Books"));

  // A relative path is refused and the dialog stays open.
  dialog.show();
  Find<QLineEdit>(&dialog, 1025)->setText(QStringLiteral("books"));
  Find<QPushButton>(&dialog, 1)->click();
  EXPECT_EQ(rig.ui().boxes.back().text, "接收路径不正确！请重新选择。");
  EXPECT_EQ(rig.ui().boxes.back().icon, Icon::Error);
  EXPECT_EQ(rig.ui().boxes.back().caption, "卓卷电子书6.1");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_NE(dialog.result(), QDialog::Accepted);

  Find<QLineEdit>(&dialog, 1025)->setText(QStringLiteral("/tmp/books"));
  Find<QRadioButton>(&dialog, 1084)->click();
  Find<QPushButton>(&dialog, 1)->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Mode(), 0xB1);
}

}  // namespace
}  // namespace quirel::app::testing
