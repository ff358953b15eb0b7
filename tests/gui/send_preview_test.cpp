#include <gtest/gtest.h>

#include <QGroupBox>
#include <QProgressBar>
#include <QRadioButton>
#include <algorithm>

#include "app/browser_pane.h"
#include "app/preview.h"
#include "app/progress_dialog.h"
#include "common/ini.h"
#include "resources/messages.h"
#include "tests/gui/pane_support.h"

namespace quirel::app::testing {
namespace {

// Rows of the e-book format, written out: the text, then blanks to the width.
std::string Row(const std::string& text, std::size_t width) { return text + std::string(width - text.size(), ' '); }

// ---------------------------------------------------------------- sending

// A dialog step for dialog 188: checks that it opens at `expected` and
// starts with `choice` (1 convert, 2 keep).
std::function<void(QDialog&)> SendFormat(int expected, int choice) {
  return [expected, choice](QDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("传送格式"));
    EXPECT_TRUE(Find<QRadioButton>(&dialog, expected == 1 ? 1083 : 1084)->isChecked());
    Find<QRadioButton>(&dialog, choice == 1 ? 1083 : 1084)->click();
    Find<QPushButton>(&dialog, 1)->click();
  };
}

TEST(SendFromWindow, PickedFilesAndAFolderArriveConvertedOnTheReader) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  const fs::path docs = rig.root() / "Docs";
  WriteFile(docs / "Hello.txt", "hello world\r\n");
  WriteFile(docs / "skip.txt", "not chosen\r\n");
  WriteFile(docs / "Sub" / "c.txt", "abc\r\n");
  WriteFile(docs / "Sub" / "Deeper" / "d.txt", "deep text\r\n");

  PickFolder(rig, docs);
  SelectFiles(rig, {"Hello.txt"});
  Find<QPushButton>(&Pane(rig), 1092)->click();
  PickFolder(rig, docs / "Sub");
  Find<QPushButton>(&Pane(rig), 1092)->click();
  ASSERT_EQ(SendTexts(rig), (std::vector<std::string>{FolderEntry(docs / "Sub"), FileEntry(docs / "Hello.txt")}));

  bool shownWhileSending = false;
  rig.ui().pumpHook = [&](long long) {
    ProgressDialog* window = rig.ui().ProgressDialogOf(ProgressKind::Send);
    if (window != nullptr && window->isVisible() && !rig.dialog().isEnabled()) shownWhileSending = true;
  };
  rig.dialogSteps.push_back(SendFormat(1, 1));
  rig.Button(1000)->click();

  EXPECT_EQ(rig.dialogTitles, std::vector<std::string>{"传送格式"});
  EXPECT_TRUE(shownWhileSending);
  ProgressDialog* window = rig.ui().ProgressDialogOf(ProgressKind::Send);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("文件传送"));
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->Label(), QStringLiteral("hello.txt"));  // the last file in work, lower-cased
  EXPECT_EQ(rig.Texts(), std::vector<std::string>{" 3个文件传送完成！"});
  EXPECT_TRUE(rig.dialog().isEnabled());

  // Rows of 20 bytes; the chosen folder arrives under its lower-cased name.
  EXPECT_EQ(ReadFile(rig.Books() / "hello.ebk"), Row("hello world", 20));
  EXPECT_EQ(ReadFile(rig.Books() / "sub" / "c.ebk"), Row("abc", 20));
  EXPECT_EQ(ReadFile(rig.Books() / "sub" / "Deeper" / "d.ebk"), Row("deep text", 20));
  EXPECT_FALSE(fs::exists(rig.Books() / "skip.ebk"));
  // The list stays for the next send.
  EXPECT_EQ(SendTexts(rig).size(), 2u);
}

TEST(SendFromWindow, TheFormatChoiceIsKeptAndKeepFormatSendsTheBytes) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  const fs::path docs = rig.root() / "docs";
  WriteFile(docs / "raw.txt", "as it is\r\n");
  PickFolder(rig, docs);
  SelectFiles(rig, {"raw.txt"});
  Pane(rig).Add();
  rig.dialogSteps.push_back(SendFormat(1, 2));
  rig.Button(1000)->click();
  EXPECT_EQ(ReadFile(rig.Books() / "raw.txt"), "as it is\r\n");
  EXPECT_EQ(rig.dialog().sendFormat, 2);
  // Opened at the last choice; cancelling sends nothing.
  const auto before = rig.reader().Received().size();
  rig.dialogSteps.push_back([](QDialog& dialog) {
    EXPECT_TRUE(Find<QRadioButton>(&dialog, 1084)->isChecked());
    Find<QPushButton>(&dialog, 2)->click();
  });
  rig.Button(1000)->click();
  EXPECT_EQ(rig.reader().Received().size(), before);
  EXPECT_TRUE(rig.dialog().isEnabled());
  EXPECT_EQ(rig.Texts(), std::vector<std::string>{" 1个文件传送完成！"});
}

TEST(SendFromWindow, InterruptMidFileEndsWithoutAReport) {
  GuiRig rig(",slow=2");
  ASSERT_TRUE(rig.Start());
  const fs::path docs = rig.root() / "docs";
  std::string text;
  for (int i = 0; i < 400; ++i) text += "line " + std::to_string(i) + " of a long text\r\n";
  WriteFile(docs / "long.txt", text);
  WriteFile(docs / "next.txt", "never sent\r\n");
  PickFolder(rig, docs);
  Find<QPushButton>(&Pane(rig), 1021)->click();
  ASSERT_EQ(SendTexts(rig).size(), 2u);

  bool pressed = false;
  rig.ui().pumpHook = [&](long long) {
    ProgressDialog* window = rig.ui().ProgressDialogOf(ProgressKind::Send);
    if (pressed || window == nullptr || window->Model(Bar::File).pos < 2) return;
    // Mid-file: two blocks of the first file are through.
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(rig.dialog().isEnabled());
    window->interruptButton()->click();
    EXPECT_FALSE(window->isVisible());
    pressed = true;
  };
  rig.dialogSteps.push_back(SendFormat(1, 1));
  rig.Button(1000)->click();

  ASSERT_TRUE(pressed);
  EXPECT_TRUE(rig.Texts().empty());  // no report, no error
  EXPECT_TRUE(rig.dialog().isEnabled());
  EXPECT_FALSE(rig.ui().ProgressDialogOf(ProgressKind::Send)->isVisible());
  EXPECT_FALSE(fs::exists(rig.Books() / "next.ebk"));
  // The reader was told to stop: a link opening and ten 0x4E end the received bytes.
  const std::vector<std::uint8_t>& got = rig.reader().Received();
  ASSERT_GE(got.size(), 10u);
  EXPECT_TRUE(std::all_of(got.end() - 10, got.end(), [](std::uint8_t b) { return b == 0x4E; }));
}

TEST(SendFromWindow, AReceiveEndsWithTheTreeOpenAtTheTarget) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  WriteFile(rig.Books() / "novel.ebk", Row("novel", 20));
  const fs::path target = rig.root() / "Inbox";
  fs::create_directories(target);
  rig.dialogSteps.push_back([&](QDialog& dialog) {
    auto* edit = Find<QLineEdit>(&dialog, 1025);
    edit->setText(QString::fromStdString(target.string()));
    Find<QRadioButton>(&dialog, 1084)->click();  // everything
    Find<QPushButton>(&dialog, 1)->click();
  });
  rig.Button(1066)->click();
  ASSERT_TRUE(fs::exists(target / "novel.ebk"));
  FolderTree& tree = Tree(rig);
  ASSERT_NE(tree.currentItem(), nullptr);
  EXPECT_EQ(tree.currentItem()->text(0), QStringLiteral("Inbox"));
  EXPECT_TRUE(tree.currentItem()->isExpanded());
  EXPECT_EQ(Pane(rig).currentFolder().toStdString(), target.string());
  EXPECT_EQ(Rows(Pane(rig).fileList()), std::vector<std::string>{"novel.ebk"});
}

// ---------------------------------------------------------------- preview

struct PreviewRig {
  explicit PreviewRig(bool browser = true) : noBrowser("QUIREL_NO_BROWSER", browser ? "0" : "1") {
    EXPECT_TRUE(rig.Start());
    docs = rig.root() / "Docs";
    rig.dialog().viewerStarter = [this](const ViewerLaunch& launch) { launches.push_back(launch); };
  }
  // Adds a file to the send list and selects its entry.
  void Choose(const std::string& name, const std::string& bytes) {
    WriteFile(docs / name, bytes);
    PickFolder(rig, docs);
    SelectFiles(rig, {name});
    Pane(rig).Add();
    SelectEntry(rig, FileEntry(docs / name));
  }
  // A dialog step for dialog 1003: format 1 keep / 2 convert, font 1 large / 2 small.
  void Answer(int format, int font) {
    rig.dialogSteps.push_back([format, font](QDialog& dialog) {
      Find<QRadioButton>(&dialog, format == 1 ? 1083 : 1084)->click();
      Find<QRadioButton>(&dialog, font == 1 ? 1095 : 1096)->click();
      Find<QPushButton>(&dialog, 1)->click();
    });
  }
  std::string Vantrel() { return ReadFile(rig.dialog().env().WorkFile("vantrel.txt")); }
  RunSettings& settings() { return rig.dialog().settings(); }

  ScopedEnv noBrowser;
  GuiRig rig;
  fs::path docs;
  std::vector<ViewerLaunch> launches;
};

TEST(Preview, WithoutASelectedEntryItAsksForOne) {
  PreviewRig p;
  p.rig.Button(1005)->click();
  ASSERT_EQ(p.rig.ui().boxes.size(), 1u);
  EXPECT_EQ(p.rig.ui().boxes[0].text, "请从右上框中选择一个准备预览的文件!");
  EXPECT_EQ(p.rig.ui().boxes[0].icon, Icon::Information);
  EXPECT_EQ(p.rig.ui().boxes[0].caption, "卓卷电子书6.1");
  EXPECT_TRUE(p.rig.dialogTitles.empty());
}

TEST(Preview, TheFormatDialogOpensAtTheSettingsAndCancelChangesNothing) {
  PreviewRig p;
  p.Choose("a.txt", "text\r\n");
  p.rig.dialogSteps.push_back([](QDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("预览格式"));
    QStringList groups;
    for (QGroupBox* box : dialog.findChildren<QGroupBox*>()) groups << box->title();
    EXPECT_TRUE(groups.contains(QStringLiteral("预览格式选择")));
    EXPECT_TRUE(groups.contains(QStringLiteral("字体选择")));
    EXPECT_EQ(Find<QRadioButton>(&dialog, 1083)->text(), QStringLiteral("保持文件原有格式预览"));
    EXPECT_EQ(Find<QRadioButton>(&dialog, 1084)->text(), QStringLiteral("转化为电子书格式预览"));
    EXPECT_EQ(Find<QRadioButton>(&dialog, 1095)->text(), QStringLiteral("大字体"));
    EXPECT_EQ(Find<QRadioButton>(&dialog, 1096)->text(), QStringLiteral("小字体"));
    EXPECT_EQ(Find<QPushButton>(&dialog, 1)->text(), QStringLiteral("确认"));
    // PreviewFormat 1 and FontChoice 2 at start.
    EXPECT_TRUE(Find<QRadioButton>(&dialog, 1083)->isChecked());
    EXPECT_TRUE(Find<QRadioButton>(&dialog, 1096)->isChecked());
    // The two groups choose apart.
    Find<QRadioButton>(&dialog, 1095)->click();
    EXPECT_TRUE(Find<QRadioButton>(&dialog, 1083)->isChecked());
    Find<QPushButton>(&dialog, 2)->click();
  });
  p.rig.Button(1005)->click();
  EXPECT_EQ(p.settings().fontChoice, 2);
  EXPECT_EQ(p.settings().rowWidth, 20);
  EXPECT_EQ(p.settings().previewFormat, 1);
  EXPECT_TRUE(p.launches.empty());
  EXPECT_TRUE(p.rig.ui().boxes.empty());
}

TEST(Preview, AnEbookAlwaysGoesToTheViewer) {
  PreviewRig p;
  const std::string rows = Row("ebook row", 20) + Row("\xD6\xD0\xCE\xC4", 20);
  p.Choose("Story.EBK", rows);
  p.Answer(1, 2);  // keep format asked for
  p.rig.Button(1005)->click();
  EXPECT_EQ(p.settings().previewFormat, 2);
  EXPECT_EQ(p.Vantrel(), rows);  // the file itself
  ASSERT_EQ(p.launches.size(), 1u);
  const ViewerLaunch& launch = p.launches[0];
  EXPECT_TRUE(launch.program.endsWith(QStringLiteral("/quirel-viewer")));
  EXPECT_EQ(launch.environment.value(QStringLiteral("QUIREL_HOME")).toStdString(), p.rig.dialog().env().home);
  EXPECT_EQ(launch.environment.value(QStringLiteral("QUIREL_SYSTEM_DIR")).toStdString(), p.rig.SystemDir().string());
  EXPECT_EQ(Pane(p.rig).previewPath(), (p.docs / "Story.EBK").string());
  // The next dialog opens at the convert format.
  p.rig.dialogSteps.push_back([](QDialog& dialog) {
    EXPECT_TRUE(Find<QRadioButton>(&dialog, 1084)->isChecked());
    dialog.reject();
  });
  p.rig.Button(1005)->click();
}

TEST(Preview, ALargeFontPreviewWritesConfigKeepingTheRest) {
  PreviewRig p;
  const fs::path config = fs::path(p.rig.dialog().env().home) / "config.ini";
  WriteFile(config, "[Window]\r\nLeft=10\r\n[ConfigInfo]\r\nFont=2\r\nTheme=green\r\n");
  p.Choose("Note.txt", "hello world again\r\n");
  p.Answer(2, 1);
  p.rig.Button(1005)->click();
  EXPECT_EQ(p.settings().fontChoice, 1);
  EXPECT_EQ(p.settings().rowWidth, 16);
  EXPECT_EQ(p.settings().previewFormat, 2);
  // Rows of 16: the word that does not fit moves whole to the next row.
  EXPECT_EQ(p.Vantrel(), Row("hello world", 16) + Row("again", 16));
  EXPECT_EQ(ReadIniValue(config.string(), "ConfigInfo", "Font"), "1");
  EXPECT_EQ(ReadIniValue(config.string(), "ConfigInfo", "Language"), "0");
  EXPECT_EQ(ReadIniValue(config.string(), "ConfigInfo", "Theme"), "green");
  EXPECT_EQ(ReadIniValue(config.string(), "Window", "Left"), "10");
  EXPECT_EQ(p.launches.size(), 1u);
  EXPECT_TRUE(p.rig.ui().boxes.empty());
}

TEST(Preview, KeepFormatShowsTheFileInTheBrowserPane) {
  PreviewRig p;
  p.Choose("Plain.TXT", "shown as it is");
  p.Answer(1, 2);
  p.rig.Button(1005)->click();
  EXPECT_EQ(p.settings().previewFormat, 1);
  BrowserPane* pane = p.rig.dialog().browserPane();
  ASSERT_NE(pane, nullptr);
  EXPECT_TRUE(pane->isVisible());
  EXPECT_EQ(pane->view()->current().toStdString(), (p.docs / "Plain.TXT").string());  // its real name
  EXPECT_EQ(pane->view()->toPlainText(), QStringLiteral("shown as it is"));
  EXPECT_TRUE(p.launches.empty());
}

TEST(Preview, KeepFormatRefusesProgramsAndLockFiles) {
  for (const char* name : {"setup.EXE", "tool.com", "lib.dll", "normal.dot", "~$report.doc", "x.sys", "a.obj"}) {
    SCOPED_TRACE(name);
    PreviewRig p;
    p.Choose(name, "MZ");
    p.Answer(1, 2);
    p.rig.Button(1005)->click();
    EXPECT_EQ(p.rig.Texts(), std::vector<std::string>{"不能直接预览该类文件！\n请转化为电子书格式预览。"});
    EXPECT_EQ(p.rig.ui().boxes[0].icon, Icon::Information);
    EXPECT_EQ(p.settings().previewFormat, 1);
  }
  // A folder named like a program does not make its files programs.
  PreviewRig p;
  p.docs = p.rig.root() / "site.com";
  p.Choose("page.txt", "fine");
  p.Answer(1, 2);
  p.rig.Button(1005)->click();
  EXPECT_TRUE(p.rig.Texts().empty());
}

TEST(Preview, WordDocumentsWithoutTheWordProcessor) {
  ScopedEnv office("QUIREL_SOFFICE", "/nonexistent/soffice");
  PreviewRig p;
  p.Choose("report.doc", "binary");
  p.Answer(1, 2);
  p.rig.Button(1005)->click();
  EXPECT_EQ(p.rig.Texts(), std::vector<std::string>{"系统没有安装 Microsoft Word,\n不能预览 *.doc 文件！"});
  p.Answer(2, 2);
  p.rig.Button(1005)->click();
  EXPECT_EQ(p.rig.Texts(),
            (std::vector<std::string>{"系统没有安装 Microsoft Word,\n不能预览 *.doc 文件！",
                                      "系统没有安装 Microsoft Word,\n不能转化 *.doc 文件为电子书格式！"}));
  EXPECT_EQ(p.rig.ui().boxes[1].icon, Icon::Information);
  EXPECT_TRUE(p.launches.empty());
}

TEST(Preview, KeepFormatWordDocumentIsShownAsItsTextAndLeavesTheNeighbourAlone) {
  // A stand-in word processor: answers --version and "saves" every document
  // as the same ODT, whose text is "document text".
  const fs::path tools = MakeTempDir();
  const fs::path office = tools / "soffice";
  WriteFile(office,
            "#!/bin/sh\n"
            "[ \"$1\" = --version ] && exit 0\n"
            "out=; prev=; for a in \"$@\"; do [ \"$prev\" = --outdir ] && out=$a; prev=$a; done\n"
            "base=$(basename \"$prev\"); cp '" QUIREL_SOURCE_DIR
            "/tests/gui/data/document-text.odt' "
            "\"$out/${base%.*}.odt\"\n");
  fs::permissions(office, fs::perms::owner_all);
  ScopedEnv useOffice("QUIREL_SOFFICE", office.c_str());
  PreviewRig p;
  WriteFile(p.docs / "report.txt", "the user's own text");
  p.Choose("report.doc", "document text");
  p.Answer(1, 2);
  p.rig.Button(1005)->click();
  EXPECT_TRUE(p.rig.Texts().empty());
  const std::string vantrel = p.rig.dialog().env().WorkFile("vantrel.txt");
  EXPECT_EQ(Pane(p.rig).previewPath(), vantrel);
  EXPECT_EQ(p.rig.dialog().browserPane()->view()->current().toStdString(), vantrel);
  EXPECT_EQ(p.rig.dialog().browserPane()->view()->toPlainText(), QStringLiteral("document text\n"));
  EXPECT_EQ(ReadFile(p.docs / "report.txt"), "the user's own text");
  fs::remove_all(tools);
}

TEST(Preview, AFileThatCannotBeConvertedIsReported) {
  PreviewRig p;
  p.Choose("gone.txt", "soon gone");
  fs::remove(p.docs / "gone.txt");
  p.Answer(2, 2);
  p.rig.Button(1005)->click();
  EXPECT_EQ(p.rig.Texts(), std::vector<std::string>{" 打开预览文件出错！"});
  EXPECT_EQ(p.rig.ui().boxes[0].icon, Icon::Error);
  // A file that is no text says so in its own box, and in that one only.
  p.Choose("picture.txt", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
  p.Answer(2, 2);
  p.rig.Button(1005)->click();
  ASSERT_EQ(p.rig.Texts().size(), 2u);
  EXPECT_NE(p.rig.Texts()[1].find(msg::kNotTextSuffix), std::string::npos) << p.rig.Texts()[1];
  EXPECT_TRUE(p.launches.empty());
}

TEST(Preview, WithoutTheBrowserItStopsAfterTheFontChoice) {
  PreviewRig p(false);
  p.rig.ui().boxes.clear();
  p.Choose("a.txt", "text\r\n");
  p.Answer(2, 1);
  p.rig.Button(1005)->click();
  EXPECT_EQ(p.settings().rowWidth, 16);
  EXPECT_EQ(p.settings().previewFormat, 1);
  EXPECT_TRUE(p.rig.ui().boxes.empty());
  EXPECT_TRUE(p.launches.empty());
  EXPECT_FALSE(fs::exists(p.rig.dialog().env().WorkFile("vantrel.txt")));
}

TEST(Preview, TheViewerIsFoundBesideTheProgramOrInTheBuildTree) {
  const fs::path root = MakeTempDir();
  WriteFile(root / "viewer" / "quirel-viewer", "#!/bin/sh\n");
  fs::permissions(root / "viewer" / "quirel-viewer", fs::perms::owner_all);
  fs::create_directories(root / "app");
  EXPECT_EQ(FindViewer(QString::fromStdString((root / "app").string())).toStdString(),
            (root / "viewer" / "quirel-viewer").string());
  WriteFile(root / "app" / "quirel-viewer", "#!/bin/sh\n");
  fs::permissions(root / "app" / "quirel-viewer", fs::perms::owner_all);
  EXPECT_EQ(FindViewer(QString::fromStdString((root / "app").string())).toStdString(),
            (root / "app" / "quirel-viewer").string());
  fs::remove_all(root);
}

}  // namespace
}  // namespace quirel::app::testing
