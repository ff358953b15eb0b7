#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

#include "app/browser_pane.h"
#include "app/progress_dialog.h"
#include "app/small_dialogs.h"
#include "common/text.h"
#include "resources/messages.h"
#include "tests/gui/gui_rig.h"

namespace quirel::app::testing {
namespace {

struct Window {
  ProgressKind kind;
  const char* title;
  int label, fileBar, overallBar;
  const char* button;
};

const Window kWindows[] = {
    {ProgressKind::Clear, "清空电子书", 1079, 1080, 1031, "中断初始化"},
    {ProgressKind::Receive, "接收文件", 1078, 1077, 1076, "中断接收"},
    {ProgressKind::Send, "文件传送", 1032, 1060, 1031, "中断传送"},
    {ProgressKind::Phonebook, "电话本数据通信", -1, -1, 1076, "中断传送"},
};

TEST(ProgressWindows, TextsControlsAndBars) {
  for (const Window& w : kWindows) {
    SCOPED_TRACE(w.title);
    ProgressDialog dialog(w.kind, nullptr);
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(w.title));
    EXPECT_EQ(Find<QPushButton>(&dialog, 1)->text(), QString::fromUtf8(w.button));
    if (w.label > 0) {
      dialog.SetLabel("chnstd1j40.bin");
      EXPECT_EQ(Find<QLabel>(&dialog, w.label)->text(), QStringLiteral("chnstd1j40.bin"));
      auto* file = Find<QProgressBar>(&dialog, w.fileBar);
      ASSERT_NE(file, nullptr);
      dialog.SetRange(Bar::File, 0, 20);
      dialog.SetStep(Bar::File, 1);
      dialog.StepIt(Bar::File);
      dialog.StepIt(Bar::File);
      EXPECT_EQ(file->value(), 2);
      EXPECT_EQ(dialog.Model(Bar::File).pos, 2);
    }
    auto* overall = Find<QProgressBar>(&dialog, w.overallBar);
    ASSERT_NE(overall, nullptr);
    dialog.SetRange(Bar::Overall, 0, 100);
    dialog.SetPos(Bar::Overall, 99);
    EXPECT_EQ(overall->value(), 99);
  }
  ProgressDialog clear(ProgressKind::Clear, nullptr);
  // The text, a run of spaces, the warning.
  const QString head = QStringLiteral("正在清空电子书，请等待 . . . . .");
  const QString warning = QStringLiteral("注意：如果清空过程中断，电子书将不能显示。须等候一分钟后重新清空！");
  bool found = false;
  for (QLabel* label : clear.findChildren<QLabel*>()) {
    const QString text = label->text();
    if (!text.startsWith(head) || !text.endsWith(warning)) continue;
    const QString gap = text.mid(head.size(), text.size() - head.size() - warning.size());
    found = gap.size() > 1 && gap.trimmed().isEmpty();
  }
  EXPECT_TRUE(found);
}

TEST(ProgressWindows, TheInterruptButtonSetsTheFlag) {
  for (const Window& w : kWindows) {
    SCOPED_TRACE(w.title);
    ProgressDialog dialog(w.kind, nullptr);
    dialog.Show();
    EXPECT_FALSE(dialog.InterruptRequested());
    dialog.interruptButton()->click();
    EXPECT_TRUE(dialog.InterruptRequested());
    // The send and phonebook windows go away at once; the others wait for
    // the operation to stop.
    const bool hides = w.kind == ProgressKind::Send || w.kind == ProgressKind::Phonebook;
    EXPECT_EQ(dialog.isVisible(), !hides);
    dialog.ClearInterrupt();
    dialog.Show();
    dialog.close();  // the close box asks for the same
    EXPECT_TRUE(dialog.InterruptRequested());
  }
}

TEST(ProgressWindows, EachRunGetsANewWindowThatStaysUsableWhileTheMainOneIsDisabled) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  QtUserInterface& ui = rig.ui();
  EXPECT_EQ(ui.Progress(ProgressKind::Receive), nullptr);
  QPointer<ProgressDialog> first = ui.ProgressDialogOf(ProgressKind::Receive);
  ProgressWindow& a = ui.NewProgress(ProgressKind::Receive);
  first = ui.ProgressDialogOf(ProgressKind::Receive);
  EXPECT_EQ(&a, ui.Progress(ProgressKind::Receive));
  ProgressWindow& b = ui.NewProgress(ProgressKind::Receive);
  EXPECT_TRUE(first.isNull());  // the earlier window is destroyed
  EXPECT_EQ(&b, ui.Progress(ProgressKind::Receive));
  EXPECT_EQ(ui.Progress(ProgressKind::Clear), nullptr);

  b.Show();
  ui.EnableWindow(quirel::Window::Main, false);
  EXPECT_FALSE(rig.dialog().isEnabled());
  EXPECT_TRUE(ui.ProgressDialogOf(ProgressKind::Receive)->isEnabled());
  EXPECT_TRUE(ui.ProgressDialogOf(ProgressKind::Receive)->interruptButton()->isEnabled());
  ui.EnableWindow(quirel::Window::Main, true);
  EXPECT_TRUE(rig.dialog().isEnabled());

  // The phonebook window, once registered, is the one disabled.
  QDialog phonebook;
  ui.SetPhonebookWindow(&phonebook);
  ui.EnableWindow(quirel::Window::Phonebook, false);
  EXPECT_FALSE(phonebook.isEnabled());
  EXPECT_TRUE(rig.dialog().isEnabled());
  ui.EnableWindow(quirel::Window::Phonebook, true);
  EXPECT_TRUE(phonebook.isEnabled());
}

TEST(MessageBoxes, ShownWithTheirCaptionIconAndButtons) {
  QtUserInterface ui;
  QWidget main;
  ui.SetMainWindow(&main);
  main.show();
  struct Seen {
    QString title, text;
    QMessageBox::Icon icon;
    int buttons = 0;
  };
  std::vector<Seen> seen;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (box == nullptr || !box->isVisible()) continue;
      seen.push_back({box->windowTitle(), box->text(), box->icon(), static_cast<int>(box->buttons().size())});
      QAbstractButton* yes = box->button(QMessageBox::Yes);
      (yes != nullptr ? yes : box->buttons().front())->click();
    }
  });
  poll.start(5);
  EXPECT_EQ(ui.ShowMessage(" 创建目录完成!", msg::kCaption, Icon::Information), Answer::Ok);
  EXPECT_EQ(ui.ShowMessage(msg::kConfirmExit, msg::kCaption, Icon::Question, Buttons::YesNo), Answer::Yes);
  EXPECT_EQ(ui.ShowMessage(msg::kLinkError, msg::kCaption, Icon::Error), Answer::Ok);
  EXPECT_EQ(ui.ShowMessage(msg::kNoBrowserHelp, msg::kCaptionFramework, Icon::Warning), Answer::Ok);
  poll.stop();
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].title, QStringLiteral("卓卷电子书6.1"));
  EXPECT_EQ(seen[0].text, QStringLiteral(" 创建目录完成!"));  // the leading space stays
  EXPECT_EQ(seen[0].icon, QMessageBox::Information);
  EXPECT_EQ(seen[0].buttons, 1);
  EXPECT_EQ(seen[1].icon, QMessageBox::Question);
  EXPECT_EQ(seen[1].buttons, 2);
  EXPECT_EQ(seen[2].icon, QMessageBox::Critical);
  EXPECT_TRUE(seen[2].text.contains(QLatin1Char('\n')));
  EXPECT_EQ(seen[3].title, QStringLiteral("卓卷电子书4.0"));
  EXPECT_EQ(seen[3].icon, QMessageBox::Warning);
  EXPECT_EQ(ui.boxes.size(), 4u);
}

TEST(Diagnostics, GoToTheLogAndOnlyTheLatestAreKept) {
  const fs::path dir = MakeTempDir();
  QtUserInterface ui;
  ui.SetLogFile((dir / "quirel40.log").string());
  ::testing::internal::CaptureStdout();
  ui.Diagnostic("\n Transport Error!14 ");
  EXPECT_EQ(ui.diagnostics, (std::deque<std::string>{"\n Transport Error!14 "}));
  EXPECT_EQ(ReadFile(dir / "quirel40.log"), "\n Transport Error!14 \n");
  for (std::size_t i = 0; i < QtUserInterface::kKept; ++i) ui.Diagnostic(std::to_string(i));
  ::testing::internal::GetCapturedStdout();
  ASSERT_EQ(ui.diagnostics.size(), QtUserInterface::kKept);
  EXPECT_EQ(ui.diagnostics.front(), "0");
  fs::remove_all(dir);
}

TEST(SmallDialogs, SendFormatAndDuplicateName) {
  SendFormatDialog format(nullptr, 2);
  EXPECT_EQ(format.windowTitle(), QStringLiteral("传送格式"));
  EXPECT_EQ(format.Format(), 2);
  EXPECT_EQ(Find<QRadioButton>(&format, 1083)->text(), QStringLiteral("传送的文件自动转为电子书格式"));
  Find<QRadioButton>(&format, 1083)->click();
  EXPECT_EQ(format.Format(), 1);
  EXPECT_EQ(SendFormatDialog(nullptr, 1).Format(), 1);

  const struct {
    int id;
    DuplicateChoice choice;
    int result;
  } presses[] = {{1088, DuplicateChoice::kReplace, QDialog::Accepted},
                 {1089, DuplicateChoice::kSkip, QDialog::Accepted},
                 {1090, DuplicateChoice::kReplaceAll, QDialog::Accepted},
                 {1091, DuplicateChoice::kCancel, QDialog::Rejected}};
  for (const auto& p : presses) {
    DuplicateDialog dialog(nullptr, QStringLiteral("张三"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("提示"));
    EXPECT_EQ(Find<QLineEdit>(&dialog, 1025)->text(), QStringLiteral("张三"));
    EXPECT_TRUE(Find<QLineEdit>(&dialog, 1025)->isReadOnly());
    Find<QPushButton>(&dialog, p.id)->click();
    EXPECT_EQ(dialog.Choice(), p.choice);
    EXPECT_EQ(dialog.result(), p.result);
  }
  DuplicateDialog closed(nullptr, QStringLiteral("李四"));
  closed.show();
  closed.close();
  EXPECT_EQ(closed.Choice(), DuplicateChoice::kClosed);
}

TEST(SmallDialogs, AnswersThroughTheInterface) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  rig.dialogSteps.push_back([](QDialog& d) { Find<QPushButton>(&d, 1090)->click(); });
  rig.dialogSteps.push_back(Dismiss);
  EXPECT_EQ(rig.ui().AskDuplicate("王五"), DuplicateChoice::kReplaceAll);
  EXPECT_EQ(rig.ui().AskDuplicate("王五"), DuplicateChoice::kClosed);  // closed without a button
  rig.dialogSteps.push_back([](QDialog& d) {
    Find<QRadioButton>(&d, 1084)->click();
    Find<QPushButton>(&d, 1)->click();
  });
  rig.dialogSteps.push_back(Dismiss);
  rig.dialogSteps.push_back(Dismiss);
  EXPECT_EQ(rig.ui().AskSendFormat(1), 2);
  EXPECT_EQ(rig.ui().AskSendFormat(1), std::nullopt);
  EXPECT_EQ(rig.ui().AskClearMode(), std::nullopt);
  EXPECT_FALSE(rig.ui().ExpandToPath("/no/such/folder"));
  std::string expanded;
  rig.ui().expandHook = [&](std::string_view path) {
    expanded = std::string(path);
    return true;
  };
  EXPECT_TRUE(rig.ui().ExpandToPath("/tmp/x"));
  EXPECT_EQ(expanded, "/tmp/x");
}

// "中文" in GBK and UTF-8.
const std::string kGbk = "\xD6\xD0\xCE\xC4";
const std::string kUtf8 = "中文";

QByteArray Bytes(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

TEST(BrowserPane, PagesAreDecodedByTheirDeclaredCharset) {
  const QString chinese = QString::fromUtf8(kUtf8.c_str());
  const std::string gbkPage =
      "<html><head><META http-equiv=\"Content-Type\" content=\"text/html; charset=GB2312\"></head><body>" + kGbk +
      "</body></html>";
  EXPECT_EQ(DeclaredCharset(Bytes(gbkPage)), QByteArray("gb2312"));
  EXPECT_TRUE(DecodeDocument(Bytes(gbkPage), true).contains(chinese));
  const std::string utf8Page = "<meta charset='utf-8'><p>" + kUtf8 + "</p>";
  EXPECT_EQ(DeclaredCharset(Bytes(utf8Page)), QByteArray("utf-8"));
  EXPECT_TRUE(DecodeDocument(Bytes(utf8Page), true).contains(chinese));
  // Without a declaration: UTF-8 when the bytes are UTF-8, else GBK.
  EXPECT_TRUE(DecodeDocument(Bytes("<p>" + kGbk + "</p>"), true).contains(chinese));
  EXPECT_TRUE(DecodeDocument(Bytes("<p>" + kUtf8 + "</p>"), true).contains(chinese));
  // A text file's own "charset=" words do not count.
  EXPECT_EQ(DecodeDocument(Bytes("charset=big5 " + kGbk), false), QStringLiteral("charset=big5 ") + chinese);
  // UTF-16 without a byte-order mark (中文 then CR LF), and GB18030 by its
  // four-byte sequence (U+00B7 U+2027: 0xA1 0xA4, 0x81 0x36 0xA6 0x34).
  EXPECT_EQ(DecodeDocument(Bytes(std::string("\x2D\x4E\x87\x65\r\0\n\0", 8)), false), chinese + "\r\n");
  EXPECT_EQ(DecodeDocument(Bytes("\xA1\xA4\x81\x36\xA6\x34"), false), QString::fromUtf8("\u00B7\u2027"));
  // Big5 by name: 中文 is 0xA4 0xA4 0xA4 0xE5 there.
  EXPECT_TRUE(DecodeDocument(Bytes("<meta charset=big5>\xA4\xA4\xA4\xE5"), true).contains(chinese));
}

TEST(BrowserPane, ShowsPagesRenderedAndOtherFilesAsText) {
  const fs::path dir = MakeTempDir();
  WriteFile(dir / "page.htm", "<html><head><meta charset=gbk></head><body><h1>" + kGbk + "</h1><b>x</b></body></html>");
  WriteFile(dir / "notes.txt", "<b>" + kGbk + "</b>");
  PageView view(nullptr);
  view.Navigate(QString::fromStdString((dir / "page.htm").string()));
  EXPECT_EQ(view.toPlainText(), QString::fromUtf8("中文\nx"));
  view.Navigate(QString::fromStdString((dir / "notes.txt").string()));
  EXPECT_EQ(view.toPlainText(), QString::fromUtf8("<b>中文</b>"));
  view.Navigate(QString::fromStdString((dir / "missing.htm").string()));
  EXPECT_TRUE(view.toPlainText().isEmpty());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quirel::app::testing
