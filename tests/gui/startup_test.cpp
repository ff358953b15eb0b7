#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>

#include "app/browser_pane.h"
#include "app/settings.h"
#include "app/splash.h"
#include "common/ini.h"
#include "resources/messages.h"
#include "tests/gui/gui_rig.h"

namespace quirel::app::testing {
namespace {

StartOptions Parse(const QStringList& arguments, bool expectOk = true) {
  StartOptions options;
  QString error;
  EXPECT_EQ(ParseCommandLine(QStringList{QStringLiteral("quirel40")} + arguments, options, error), expectOk)
      << error.toStdString();
  return options;
}

TEST(CommandLine, OptionsAndTheirValues) {
  StartOptions o = Parse({});
  EXPECT_TRUE(o.splash);
  EXPECT_TRUE(o.port.empty());

  o = Parse({"--no-splash", "--port", "virtual:/tmp/r,slow=2", "--home=/h", "--system-dir", "/s"});
  EXPECT_FALSE(o.splash);
  EXPECT_EQ(o.port, "virtual:/tmp/r,slow=2");
  EXPECT_EQ(o.home, "/h");
  EXPECT_EQ(o.systemDir, "/s");

  Parse({"--port"}, false);
  Parse({"--splash-off"}, false);
  EXPECT_TRUE(Parse({"--help"}).help);
}

TEST(Settings, StartValuesAndTheRowWidthFollowingTheFont) {
  RunSettings s;
  EXPECT_EQ(s.fontChoice, 2);
  EXPECT_EQ(s.rowWidth, 20);
  EXPECT_EQ(s.previewFormat, 1);
  EXPECT_EQ(s.languageCode, 0);
  s.SetFontChoice(1);
  EXPECT_EQ(s.rowWidth, 16);
  s.SetFontChoice(2);
  EXPECT_EQ(s.rowWidth, 20);
}

TEST(Settings, ViewerConfigKeepsTheFilesOtherContent) {
  const fs::path dir = MakeTempDir();
  Environment env{dir.string(), dir.string()};
  WriteFile(dir / "config.ini", "[Viewer]\r\nZoom=3\r\n");
  RunSettings s;
  s.SetFontChoice(1);
  ASSERT_TRUE(WriteViewerConfig(env, s));
  EXPECT_EQ(ReadFile(dir / "config.ini"), "[Viewer]\r\nZoom=3\r\n[ConfigInfo]\r\nFont=1\r\nLanguage=0\r\n");
  fs::remove_all(dir);
}

TEST(Startup, OnTheVirtualReaderNothingIsAskedAndHelpIsShown) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  EXPECT_TRUE(rig.Texts().empty());
  EXPECT_TRUE(rig.dialog().isVisible());
  EXPECT_EQ(rig.program->splash(), nullptr);  // --no-splash
  // The help page was installed into the system directory and is on show.
  const fs::path help = rig.SystemDir() / "qrlhelp.htm";
  ASSERT_TRUE(fs::exists(help));
  EXPECT_NE(ReadFile(help).find("charset=utf-8"), std::string::npos);
  BrowserPane* pane = rig.dialog().browserPane();
  ASSERT_NE(pane, nullptr);
  EXPECT_TRUE(pane->isVisible());
  EXPECT_EQ(pane->view()->current().toStdString(), help.string());
  EXPECT_TRUE(pane->view()->toPlainText().contains(QStringLiteral("创建电子书目录")));
  // Tab passes the page on: no link of it becomes the keyboard's stop.
  QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
  QApplication::sendEvent(pane->view(), &tab);
  EXPECT_FALSE(pane->view()->textCursor().hasSelection()) << pane->view()->textCursor().selectedText().toStdString();
}

TEST(Startup, QtsOwnButtonsSpeakChinese) {
  ASSERT_TRUE(InstallQtTranslations());
  QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("x"),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
  for (const auto& [button, word] : {std::pair{QMessageBox::Yes, "是"}, std::pair{QMessageBox::No, "否"},
                                     std::pair{QMessageBox::Ok, "确定"}, std::pair{QMessageBox::Cancel, "取消"}})
    EXPECT_TRUE(box.button(button)->text().contains(QString::fromUtf8(word)))
        << box.button(button)->text().toStdString();
}

TEST(Startup, TheHelpPageNamesTheControlsAsTheWindowShowsThem) {
  RegisterResources();
  QFile file(QStringLiteral(":/quirel/qrlhelp.htm"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const std::string page = file.readAll().toStdString();
  for (std::string_view text :
       {msg::kPhonebookButton, msg::kPreviewButton, msg::kHelpButton, msg::kSendButton, msg::kCreateDirectoryButton,
        msg::kReceiveButton, msg::kClearButton, msg::kExitButton, msg::kAddFiles, msg::kAddAllFiles, msg::kRemoveEntry,
        msg::kRemoveAllEntries, msg::kChoosePreviewFile})
    EXPECT_NE(page.find("“" + std::string(text) + "”"), std::string::npos) << text;
}

TEST(Startup, AnExistingHelpPageIsKept) {
  GuiRig rig;
  WriteFile(rig.SystemDir() / "qrlhelp.htm", "<html><body>own help</body></html>");
  ASSERT_TRUE(rig.Start());
  EXPECT_EQ(ReadFile(rig.SystemDir() / "qrlhelp.htm"), "<html><body>own help</body></html>");
  EXPECT_EQ(rig.dialog().browserPane()->view()->toPlainText(), QStringLiteral("own help"));
}

// The first release's page described panes that are not where it said; a copy
// the program itself put there gives way to the current page.
TEST(Startup, AHelpPageFromAnEarlierReleaseIsReplaced) {
  GuiRig rig;
  fs::create_directories(rig.SystemDir());
  fs::copy_file(fs::path(QUIREL_SOURCE_DIR) / "tests/gui/data/qrlhelp-first-release.htm",
                rig.SystemDir() / "qrlhelp.htm");
  ASSERT_TRUE(rig.Start());
  QFile current(QStringLiteral(":/quirel/qrlhelp.htm"));
  ASSERT_TRUE(current.open(QIODevice::ReadOnly));
  EXPECT_EQ(ReadFile(rig.SystemDir() / "qrlhelp.htm"), current.readAll().toStdString());
}

TEST(Startup, WithoutTheBrowserBothWarningsComeAndHelpDoesNothing) {
  ScopedEnv noBrowser("QUIREL_NO_BROWSER", "1");
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  ASSERT_EQ(rig.ui().boxes.size(), 2u);
  EXPECT_EQ(rig.ui().boxes[0].text, msg::kNoBrowserPreview);
  EXPECT_EQ(rig.ui().boxes[1].text, msg::kNoBrowserHelp);
  for (const BoxRecord& box : rig.ui().boxes) {
    EXPECT_EQ(box.caption, "卓卷电子书4.0");
    EXPECT_EQ(box.icon, Icon::Warning);
    EXPECT_EQ(box.buttons, Buttons::Ok);
  }
  EXPECT_TRUE(rig.dialog().isVisible());
  EXPECT_EQ(rig.dialog().browserPane(), nullptr);
  EXPECT_EQ(rig.dialog().findChild<BrowserPane*>(), nullptr);
  rig.Button(1011)->click();
  EXPECT_EQ(rig.ui().boxes.size(), 2u);
  EXPECT_EQ(rig.dialog().findChild<BrowserPane*>(), nullptr);
}

TEST(Startup, WithoutAPortTheDetectionErrorComesOnceAndTheDialogOpens) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start(/*deadPort=*/true));
  ASSERT_EQ(rig.ui().boxes.size(), 1u);
  EXPECT_EQ(rig.ui().boxes[0].text, msg::kDetectError);
  EXPECT_EQ(rig.ui().boxes[0].caption, "卓卷电子书6.1");
  EXPECT_EQ(rig.ui().boxes[0].icon, Icon::Error);
  EXPECT_TRUE(rig.dialog().isVisible());
  EXPECT_EQ(rig.program->link()->ports.data, 0x378);
}

TEST(Startup, APortThatCannotBeOpenedIsExplainedUnderTheDetectionErrorAndLogged) {
  GuiRig rig;
  const std::string device = (rig.root() / "parport9").string();
  rig.options.port = "ppdev:" + device;
  rig.program = std::make_unique<Program>(rig.options);
  rig.program->ui().boxHook = [](const BoxRecord&) { return Answer::Ok; };
  std::string error;
  ASSERT_TRUE(rig.program->Start(error)) << error;
  ASSERT_EQ(rig.program->ui().boxes.size(), 1u);
  const BoxRecord& box = rig.program->ui().boxes[0];
  EXPECT_EQ(box.text, msg::kDetectError);
  EXPECT_EQ(box.caption, "卓卷电子书6.1");
  EXPECT_NE(box.detail.find(device), std::string::npos) << box.detail;
  EXPECT_NE(box.detail.find("解决办法：加载并口驱动：sudo modprobe ppdev"), std::string::npos) << box.detail;
  EXPECT_NE(ReadFile(fs::path(rig.options.home) / "quirel40.log").find(box.detail), std::string::npos);
}

TEST(Startup, TheNamedPortIsOpenedByTheProgramItself) {
  GuiRig rig;
  rig.options.port = rig.portChoice + ",base=0x278";
  rig.program = std::make_unique<Program>(rig.options);
  rig.program->ui().boxHook = [](const BoxRecord&) { return Answer::Ok; };
  std::string error;
  ASSERT_TRUE(rig.program->Start(error)) << error;
  ASSERT_NE(rig.program->virtualReader(), nullptr);
  EXPECT_TRUE(rig.program->ui().boxes.empty());
  EXPECT_EQ(rig.program->link()->ports.data, 0x278);

  Program bad(StartOptions{false, "parallel-port-of-the-moon", rig.options.home, rig.options.systemDir, false});
  EXPECT_FALSE(bad.Start(error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(bad.dialog(), nullptr);
}

TEST(Splash, ShownCentredOverTheStartAndGoneAtTheFirstKeyWhichItTakes) {
  GuiRig rig({}, /*splash=*/true);
  ASSERT_TRUE(rig.Start());
  SplashWindow* splash = rig.program->splash();
  ASSERT_NE(splash, nullptr);
  EXPECT_TRUE(splash->isVisible());
  EXPECT_EQ(splash->size(), QSize(555, 354));
  EXPECT_EQ(splash->geometry().center(), QGuiApplication::primaryScreen()->geometry().center());
  EXPECT_EQ(splash->timerInterval(), 1000);

  // Escape would close the dialog; the splash takes it instead.
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&rig.dialog(), &escape);
  EXPECT_TRUE(rig.dialog().isVisible());
  EXPECT_TRUE(rig.program->splash() == nullptr || !rig.program->splash()->isVisible());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(rig.program->splash(), nullptr);

  // The next key reaches the dialog.
  QKeyEvent again(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&rig.dialog(), &again);
  EXPECT_FALSE(rig.dialog().isVisible());
  EXPECT_TRUE(rig.ui().boxes.empty());
}

TEST(Splash, AMousePressIsTakenToo) {
  GuiRig rig({}, /*splash=*/true);
  ASSERT_TRUE(rig.Start());
  ASSERT_NE(rig.program->splash(), nullptr);
  QPushButton* exit = rig.Button(1070);
  const QPointF at(exit->width() / 2.0, exit->height() / 2.0);
  QMouseEvent press(QEvent::MouseButtonPress, at, exit->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, exit->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(exit, &press);
  QApplication::sendEvent(exit, &release);
  // Without its press the button was not clicked: no exit question.
  EXPECT_TRUE(rig.ui().boxes.empty());
  EXPECT_TRUE(rig.program->splash() == nullptr || !rig.program->splash()->isVisible());
}

TEST(Splash, NoPictureNoSplash) {
  QWidget owner;
  EXPECT_EQ(SplashWindow::ShowFor(&owner, QStringLiteral(":/quirel/no-such-picture.png")), nullptr);
}

}  // namespace
}  // namespace quirel::app::testing
