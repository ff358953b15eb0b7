// Pictures to look at, taken on a real display (run under xvfb-run with
// QT_QPA_PLATFORM=xcb and QUIREL_SCREENSHOT_DIR=...): the main dialog with a
// filled tree, file list and send list; the send window mid-transfer; the
// viewer showing a converted Chinese text at both font sizes; a question
// box and the folder picker in Qt's Chinese; the help page; the question
// before a received file replaces a local one, the warning about names that
// meet on the reader and a send report with its list. Skipped
// without QUIREL_SCREENSHOT_DIR.
#include <gtest/gtest.h>

#include <functional>
#include <signal.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <cstdlib>

#include "app/browser_pane.h"
#include "app/preview.h"
#include "app/progress_dialog.h"
#include "app/small_dialogs.h"
#include "link/clear.h"
#include "resources/messages.h"
#include "tests/gui/pane_support.h"

namespace quirel::app::testing {
namespace {

QString ShotDir() {
  const char* dir = std::getenv("QUIREL_SCREENSHOT_DIR");
  return dir == nullptr ? QString() : QString::fromUtf8(dir);
}

// Lets the display map and paint what was shown.
void Settle(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void GrabScreen(const QString& name, const QRect& area = QRect()) {
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  QPixmap shot =
      area.isNull() ? screen->grabWindow(0) : screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  EXPECT_TRUE(shot.save(ShotDir() + QLatin1Char('/') + name)) << name.toStdString();
}

// Saves the next modal box as it waits for a button, then closes it.
void GrabNextBox(const QString& name) {
  QTimer::singleShot(800, [name] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->grab().save(ShotDir() + QLatin1Char('/') + name));
    box->close();
  });
}

// GBK bytes of a short Chinese text with two paragraphs.
std::string ChineseText() {
  std::string gbk;
  EXPECT_TRUE(
      Utf8ToGbk("\xE3\x80\x80\xE3\x80\x80"
                "卓卷电子书是一本可以放进口袋的书架。它把文本、网页和文档变成整齐的行，"
                "每行十六或二十个字节，汉字总在偶数列开始。\r\n"
                "\xE3\x80\x80\xE3\x80\x80"
                "第二段：English words wrap at blanks, 中文不会被拆开。\r\n",
                gbk));
  return gbk;
}

TEST(Screenshots, MainDialogWithTreeFilesAndSendList) {
  if (ShotDir().isEmpty()) GTEST_SKIP() << "QUIREL_SCREENSHOT_DIR not set";
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  const fs::path books = rig.root() / "电子书";
  for (const char* name : {"三国演义.txt", "红楼梦.txt", "西游记.htm", "水浒传.doc", "ReadMe.txt", "聊斋志异.epub"})
    WriteFile(books / name, "x");
  for (const char* name : {"古典", "现代", "Poems"}) fs::create_directories(books / name);
  WriteFile(books / "古典" / "论语.txt", "x");
  PickFolder(rig, books / "古典");
  Pane(rig).Add();
  PickFolder(rig, books);
  SelectFiles(rig, {"三国演义.txt", "红楼梦.txt", "ReadMe.txt"});
  Pane(rig).Add();
  SelectFiles(rig, {"西游记.htm"});
  Settle(800);
  GrabScreen(QStringLiteral("main_dialog.png"), rig.dialog().frameGeometry());
  // The type filters, dropped.
  Pane(rig).filter()->showPopup();
  Settle(500);
  GrabScreen(QStringLiteral("type_filters.png"), rig.dialog().frameGeometry());
  Pane(rig).filter()->hidePopup();
  // The two small dialogs of the pane and the preview, drawn off screen.
  EXPECT_TRUE(PreviewFormatDialog(nullptr, 1, 2).grab().save(ShotDir() + QStringLiteral("/preview_format.png")));
  EXPECT_TRUE(CustomTypeDialog(nullptr).grab().save(ShotDir() + QStringLiteral("/custom_type.png")));
}

TEST(Screenshots, MainWindowAtOneAndAHalfTimesItsSize) {
  if (ShotDir().isEmpty()) GTEST_SKIP() << "QUIREL_SCREENSHOT_DIR not set";
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  const fs::path books = rig.root() / "电子书";
  for (const char* name : {"三国演义.txt", "红楼梦.txt", "西游记.htm", "一部名字相当长的长篇历史小说第一卷.txt"})
    WriteFile(books / name, "x");
  for (const char* name : {"古典", "现代"}) fs::create_directories(books / name);
  WriteFile(books / "古典" / "论语.txt", "x");
  PickFolder(rig, books / "古典");
  Pane(rig).Add();
  PickFolder(rig, books);
  Pane(rig).AddAll();
  rig.dialog().resize(rig.dialog().ClassicSize() * 1.5);
  Settle(800);
  GrabScreen(QStringLiteral("main_window_1_5x.png"), rig.dialog().frameGeometry());
}

TEST(Screenshots, SendWindowMidTransfer) {
  if (ShotDir().isEmpty()) GTEST_SKIP() << "QUIREL_SCREENSHOT_DIR not set";
  GuiRig rig(",slow=200");
  ASSERT_TRUE(rig.Start());
  const fs::path docs = rig.root() / "长篇";
  std::string text;
  for (int i = 0; i < 40; ++i) text += ChineseText();
  WriteFile(docs / "长篇小说.txt", text);
  PickFolder(rig, docs);
  Pane(rig).AddAll();
  bool taken = false;
  rig.ui().pumpHook = [&](long long) {
    ProgressDialog* window = rig.ui().ProgressDialogOf(ProgressKind::Send);
    if (taken || window == nullptr || window->Model(Bar::File).pos < 3) return;
    taken = true;
    Settle(800);
    GrabScreen(QStringLiteral("send_progress.png"));
    window->interruptButton()->click();
  };
  rig.dialogSteps.push_back([](QDialog& dialog) { Find<QPushButton>(&dialog, 1)->click(); });
  rig.Button(1000)->click();
  EXPECT_TRUE(taken);
}

TEST(Screenshots, DetectionErrorWithTheReasonAndTheRemedy) {
  if (ShotDir().isEmpty()) GTEST_SKIP() << "QUIREL_SCREENSHOT_DIR not set";
  GuiRig rig;
  rig.options.port = "ppdev:/dev/parport0";
  rig.program = std::make_unique<Program>(rig.options);
  // The real box this time: grabbed and closed while it waits for its click.
  bool taken = false;
  QTimer::singleShot(1500, [&] {
    if (QWidget* box = QApplication::activeModalWidget(); box != nullptr) {
      GrabScreen(QStringLiteral("detection_error.png"), box->frameGeometry());
      taken = true;
      box->close();
    }
  });
  std::string error;
  ASSERT_TRUE(rig.program->Start(error)) << error;
  EXPECT_TRUE(taken);
}

TEST(Screenshots, ViewerAtBothFontSizes) {
  if (ShotDir().isEmpty()) GTEST_SKIP() << "QUIREL_SCREENSHOT_DIR not set";
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  qint64 pid = 0;
  rig.dialog().viewerStarter = [&](const ViewerLaunch& launch) {
    QProcess process;
    process.setProgram(launch.program);
    process.setArguments(launch.arguments);
    process.setProcessEnvironment(launch.environment);
    process.setWorkingDirectory(launch.workingDirectory);
    ASSERT_TRUE(process.startDetached(&pid)) << launch.program.toStdString();
  };
  const fs::path docs = rig.root() / "docs";
  WriteFile(docs / "序言.txt", ChineseText());
  PickFolder(rig, docs);
  SelectFiles(rig, {"序言.txt"});
  Pane(rig).Add();
  SelectEntry(rig, FileEntry(docs / "序言.txt"));
  for (int font : {1, 2}) {
    rig.dialogSteps.push_back([font](QDialog& dialog) {
      Find<QRadioButton>(&dialog, 1084)->click();
      Find<QRadioButton>(&dialog, font == 1 ? 1095 : 1096)->click();
      Find<QPushButton>(&dialog, 1)->click();
    });
    rig.dialog().hide();
    rig.Button(1005)->click();
    ASSERT_GT(pid, 0);
    Settle(2500);
    GrabScreen(font == 1 ? QStringLiteral("viewer_large.png") : QStringLiteral("viewer_small.png"));
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    pid = 0;
    Settle(300);
  }
}

TEST(Screenshots, QtsOwnTextsInChineseAndTheHelpPage) {
  if (ShotDir().isEmpty()) GTEST_SKIP() << "QUIREL_SCREENSHOT_DIR not set";
  InstallQtTranslations();
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  QMessageBox box(QMessageBox::Question, Text(msg::kCaption), Text(msg::kConfirmExit),
                  QMessageBox::Yes | QMessageBox::No, &rig.dialog());
  box.show();
  Settle(500);
  EXPECT_TRUE(box.grab().save(ShotDir() + QStringLiteral("/question_box.png")));
  box.hide();
  QFileDialog picker(&rig.dialog(), QString(), QString::fromStdString(rig.root().string()));
  picker.setFileMode(QFileDialog::Directory);
  picker.setOption(QFileDialog::ShowDirsOnly);
  picker.setOption(QFileDialog::DontUseNativeDialog);
  picker.show();
  Settle(800);
  EXPECT_TRUE(picker.grab().save(ShotDir() + QStringLiteral("/folder_picker.png")));
  picker.hide();
  // The help page at a size that shows it whole.
  BrowserPane* pane = rig.dialog().browserPane();
  PageView* page = pane->view();
  page->setParent(nullptr);
  page->resize(700, 1400);
  page->show();
  Settle(500);
  EXPECT_TRUE(page->grab().save(ShotDir() + QStringLiteral("/help_page.png")));
  page->hide();
  page->setParent(pane);
}

TEST(Screenshots, ReplaceQuestionNameWarningAndReportList) {
  if (ShotDir().isEmpty()) GTEST_SKIP() << "QUIREL_SCREENSHOT_DIR not set";
  InstallQtTranslations();
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  ReplaceFileDialog replace(&rig.dialog(), QStringLiteral("/home/user/电子书/天龙八部/天龙八部第一卷.txt"));
  replace.show();
  Settle(500);
  EXPECT_TRUE(replace.grab().save(ShotDir() + QStringLiteral("/replace_question.png")));
  replace.hide();

  // The boxes as the window shows them, taken while they wait for a button.
  const auto hook = std::move(rig.ui().boxHook);
  rig.ui().boxHook = nullptr;
  GrabNextBox(QStringLiteral("name_clash.png"));
  rig.ui().ShowMessage(std::string(msg::kNameCollision) +
                           "\n/home/user/电子书/天龙八部/天龙八部第一卷上册.txt → 天龙八部第一卷.ebk"
                           "\n/home/user/电子书/天龙八部/天龙八部第一卷下册.txt → 天龙八部第一~2.ebk",
                       msg::kCaption, Icon::Warning);
  GrabNextBox(QStringLiteral("send_report_list.png"));
  rig.ui().ShowMessageWithDetail(
      " 2" + std::string(msg::kFilesSentSuffix), msg::kCaption, Icon::Information,
      std::string(msg::kNotSentHeading) + "\n/home/user/电子书/深/1/2/3/4/5/6/七级.txt\n/home/user/电子书/b😀.txt");
  rig.ui().boxHook = hook;
}

TEST(Screenshots, FolderNameBoxBusyReaderAndKeptFiles) {
  if (ShotDir().isEmpty()) GTEST_SKIP() << "QUIREL_SCREENSHOT_DIR not set";
  InstallQtTranslations();
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  CreateDirectoryDialog folder(&rig.dialog());
  for (const QChar c : QStringLiteral("一二三四五六七八九十")) folder.edit()->insert(QString(c));
  folder.show();
  Settle(500);
  EXPECT_TRUE(folder.grab().save(ShotDir() + QStringLiteral("/folder_name_box.png")));
  folder.hide();
  const auto hook = std::move(rig.ui().boxHook);
  rig.ui().boxHook = nullptr;
  const std::pair<const char*, std::function<void()>> boxes[] = {
      {"reader_busy.png",
       [&] {
         rig.ui().ShowMessage(std::string(msg::kPortBusy) + "quirel send（进程 4380）", msg::kCaption, Icon::Error);
       }},
      {"received_kept.png",
       [&] {
         rig.ui().ShowMessageWithDetail(" 3" + std::string(msg::kReceivedSomeKeptSuffix), msg::kCaption,
                                        Icon::Information,
                                        std::string(msg::kKeptHeading) + "\n/home/user/电子书/天龙八部第一卷.txt");
       }},
      {"missing_system_file.png",
       [&] {
         rig.ui().ShowMessageWithDetail(msg::kFont1OpenFailed, msg::kCaption, Icon::Error,
                                        SystemFileNote(rig.dialog().env(), "chnstd1j40.bin"));
       }},
      {"link_error.png", [&] { rig.ui().ShowMessage(msg::kLinkError, msg::kCaption, Icon::Error); }},
      {"no_word.png", [&] { rig.ui().ShowMessage(msg::kNoWordConvert, msg::kCaption, Icon::Information); }},
  };
  for (const auto& [name, show] : boxes) {
    GrabNextBox(QString::fromLatin1(name));
    show();
  }
  rig.ui().boxHook = hook;
}

}  // namespace
}  // namespace quirel::app::testing
