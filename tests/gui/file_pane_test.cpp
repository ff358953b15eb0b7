#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "resources/messages.h"
#include "tests/gui/pane_support.h"

namespace quirel::app::testing {
namespace {

TEST(FilePane, ControlsInTheirPlaces) {
  GuiRig rig;
  ASSERT_TRUE(rig.Start());
  FilePane& pane = Pane(rig);
  const DialogUnits du(DialogFont());
  EXPECT_EQ(pane.size(), du.Size(242, 109));
  EXPECT_EQ(pane.fileList()->geometry(), du.Rect(2, 1, 87, 93));
  EXPECT_EQ(pane.fileList()->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(pane.sendListBox()->geometry(), du.Rect(133, 2, 106, 105));
  EXPECT_EQ(pane.sendListBox()->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(FindControl(&pane, 1013), pane.fileList());
  EXPECT_EQ(FindControl(&pane, 1015), pane.sendListBox());
  QComboBox* filter = Find<QComboBox>(&pane, 1014);
  ASSERT_EQ(filter, pane.filter());
  EXPECT_EQ(filter->pos(), du.Rect(2, 95, 87, 73).topLeft());
  EXPECT_LE(filter->geometry().bottom(), pane.height());
  const std::vector<std::string> items{"所有类型文件(*.*)",
                                       "文本类型文件(*.txt)",
                                       "超文本类型文件(*.htm)",
                                       "WORD文档(*.doc)",
                                       "电子书类型文件(*.epub;*.mobi;*.azw3;*.fb2;*.pdf)",
                                       "自定义类型文件"};
  ASSERT_EQ(filter->count(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(filter->itemText(i).toStdString(), items[static_cast<std::size_t>(i)]);

  const struct {
    int id;
    const char* text;
    int y;
  } buttons[] = {{1092, "添    加", 3}, {1021, "添加全部", 29}, {1022, "删    除", 55}, {1023, "删除全部", 81}};
  for (const auto& b : buttons) {
    QPushButton* button = Find<QPushButton>(&pane, b.id);
    ASSERT_NE(button, nullptr) << b.id;
    EXPECT_EQ(button->text(), QString::fromUtf8(b.text));
    EXPECT_EQ(button->geometry(), du.Rect(91, b.y, 39, 24));
    EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width());
  }
  EXPECT_EQ(pane.currentFolder(), QStringLiteral("no"));
  EXPECT_EQ(pane.filePattern(), QStringLiteral("/*.*"));
  EXPECT_FALSE(pane.folderPicked());
}

struct PaneRig {
  PaneRig() {
    EXPECT_TRUE(rig.Start());
    books = rig.root() / "Books";
    WriteFile(books / "Novel.TXT", "n");
    WriteFile(books / "readme", "r");
    WriteFile(books / "page.htm", "p");
    WriteFile(books / "story.ebk", "s");
    WriteFile(books / "Sub" / "Novel.txt", "deeper");
  }
  GuiRig rig;
  fs::path books;
};

TEST(FilePane, BeforeAnyFolderAddAddsNothing) {
  PaneRig p;
  FilePane& pane = Pane(p.rig);
  pane.Add();
  Find<QPushButton>(&pane, 1092)->click();
  EXPECT_TRUE(pane.sendList().empty());
  EXPECT_EQ(pane.sendListBox()->count(), 0);
}

TEST(FilePane, APickedFolderIsAddedOnceHoweverOftenAddIsPressed) {
  PaneRig p;
  FilePane& pane = Pane(p.rig);
  PickFolder(p.rig, p.books);
  EXPECT_EQ(Rows(pane.fileList()), (std::vector<std::string>{"Novel.TXT", "page.htm", "readme", "story.ebk"}));
  for (int i = 0; i < 3; ++i) Find<QPushButton>(&pane, 1092)->click();
  const std::string entry = FolderEntry(p.books);
  EXPECT_EQ(SendTexts(p.rig), std::vector<std::string>{entry});
  EXPECT_EQ(Rows(pane.sendListBox()), std::vector<std::string>{entry});
  // Shown lower-cased; opened by its real name.
  EXPECT_NE(entry.find("/books"), std::string::npos);
  EXPECT_EQ(pane.sendList().Items()[0].realPath, p.books.string());
  EXPECT_TRUE(pane.sendList().Items()[0].isFolder);
}

TEST(FilePane, SelectedFilesAreAddedAsNameSeparatorFolder) {
  PaneRig p;
  FilePane& pane = Pane(p.rig);
  PickFolder(p.rig, p.books);
  SelectFiles(p.rig, {"story.ebk", "Novel.TXT"});
  Find<QPushButton>(&pane, 1092)->click();
  // Sorted case-insensitively, whatever order they came in.
  const std::string folder = LowerAscii(p.books.string());
  EXPECT_EQ(SendTexts(p.rig),
            (std::vector<std::string>{"novel.txt--------" + folder + "/", "story.ebk--------" + folder + "/"}));
  EXPECT_EQ(pane.sendList().Items()[0].realPath, (p.books / "Novel.TXT").string());
  // A picked folder with files selected: the files, not the folder.
  EXPECT_TRUE(pane.folderPicked());
  SelectFiles(p.rig, {"page.htm"});
  pane.Add();
  EXPECT_EQ(SendTexts(p.rig).size(), 3u);
  for (const std::string& text : SendTexts(p.rig)) EXPECT_NE(text.front(), ' ');
}

TEST(FilePane, AFileWhoseEntryBeginsAnExistingOneIsNotAdded) {
  PaneRig p;
  FilePane& pane = Pane(p.rig);
  // The same name from the folder below comes first ...
  PickFolder(p.rig, p.books / "Sub");
  SelectFiles(p.rig, {"Novel.txt"});
  pane.Add();
  ASSERT_EQ(SendTexts(p.rig), std::vector<std::string>{FileEntry(p.books / "Sub" / "Novel.txt")});
  // ... so "novel.txt--------.../books/" begins ".../books/sub/": nothing added.
  PickFolder(p.rig, p.books);
  SelectFiles(p.rig, {"Novel.TXT"});
  pane.Add();
  EXPECT_EQ(SendTexts(p.rig), std::vector<std::string>{FileEntry(p.books / "Sub" / "Novel.txt")});
  // The other way round both are kept: the deeper entry begins with nothing present.
  pane.RemoveAll();
  SelectFiles(p.rig, {"Novel.TXT"});
  pane.Add();
  PickFolder(p.rig, p.books / "Sub");
  SelectFiles(p.rig, {"Novel.txt"});
  pane.Add();
  EXPECT_EQ(SendTexts(p.rig).size(), 2u);
  // The same file twice is one entry.
  pane.Add();
  EXPECT_EQ(SendTexts(p.rig).size(), 2u);
}

TEST(FilePane, AfterAnyMainDialogCommandAddWithoutAFileAddsNothing) {
  PaneRig p;
  FilePane& pane = Pane(p.rig);
  p.rig.dialog().phonebookCommand = [](CMyFileDialog&) {};
  for (int id : {1011, 1005, 1000, 1001, 1066, 1002, 1070, 1007}) {
    SCOPED_TRACE(id);
    PickFolder(p.rig, p.books);
    ASSERT_TRUE(pane.folderPicked());
    // Every dialog is cancelled and the question answered No.
    if (id == 1001 || id == 1066 || id == 1002) p.rig.dialogSteps.push_back(Dismiss);
    if (id == 1070) p.rig.answers.push_back(Answer::No);
    p.rig.Button(id)->click();
    EXPECT_FALSE(pane.folderPicked());
    EXPECT_EQ(pane.currentFolder().toStdString(), p.books.string());  // still shown
    pane.Add();
    EXPECT_TRUE(pane.sendList().empty());
  }
}

TEST(FilePane, TheOtherButtonsAndTheFilterAlsoDropTheFolderPick) {
  PaneRig p;
  FilePane& pane = Pane(p.rig);
  const auto check = [&](const char* what, const std::function<void()>& action) {
    SCOPED_TRACE(what);
    PickFolder(p.rig, p.books);
    action();
    EXPECT_FALSE(pane.folderPicked());
  };
  check("remove", [&] { Find<QPushButton>(&pane, 1022)->click(); });
  check("remove all", [&] { Find<QPushButton>(&pane, 1023)->click(); });
  check("filter", [&] { pane.filter()->setCurrentIndex(1); });
  EXPECT_TRUE(pane.sendList().empty());
  // Add itself leaves it.
  PickFolder(p.rig, p.books);
  pane.Add();
  EXPECT_TRUE(pane.folderPicked());
}

TEST(FilePane, AddAllTakesEveryListedFileAndLeavesThemSelected) {
  PaneRig p;
  FilePane& pane = Pane(p.rig);
  PickFolder(p.rig, p.books);
  Find<QPushButton>(&pane, 1021)->click();
  EXPECT_FALSE(pane.folderPicked());
  EXPECT_EQ(pane.fileList()->selectedItems().size(), 4);
  const std::string folder = LowerAscii(p.books.string()) + "/";
  EXPECT_EQ(SendTexts(p.rig), (std::vector<std::string>{"novel.txt--------" + folder, "page.htm--------" + folder,
                                                        "readme--------" + folder, "story.ebk--------" + folder}));
}

TEST(FilePane, DoubleClickAddsAndRemoveTakesTheSelectedEntry) {
  PaneRig p;
  FilePane& pane = Pane(p.rig);
  PickFolder(p.rig, p.books);
  Find<QPushButton>(&pane, 1092)->click();  // the folder
  SelectFiles(p.rig, {"readme"});
  emit pane.fileList()->itemDoubleClicked(pane.fileList()->selectedItems().front());
  ASSERT_EQ(SendTexts(p.rig).size(), 2u);
  EXPECT_EQ(SendTexts(p.rig)[0], FolderEntry(p.books));  // the leading blank sorts first

  // Nothing selected: Remove does nothing.
  Find<QPushButton>(&pane, 1022)->click();
  EXPECT_EQ(SendTexts(p.rig).size(), 2u);
  SelectEntry(p.rig, FileEntry(p.books / "readme"));
  ASSERT_NE(pane.SelectedEntry(), nullptr);
  EXPECT_EQ(pane.SelectedEntry()->realPath, (p.books / "readme").string());
  Find<QPushButton>(&pane, 1022)->click();
  EXPECT_EQ(SendTexts(p.rig), std::vector<std::string>{FolderEntry(p.books)});
  Find<QPushButton>(&pane, 1023)->click();
  EXPECT_TRUE(pane.sendList().empty());
  EXPECT_EQ(pane.sendListBox()->count(), 0);
}

TEST(FilePane, FilterItemsSetThePattern) {
  PaneRig p;
  FilePane& pane = Pane(p.rig);
  // Every type the conversion takes shows under its item.
  for (const char* name :
       {"index.HTML", "notes.md", "a.docx", "b.rtf", "c.odt", "d.epub", "e.fb2.zip", "f.azw3", "g.pdf"})
    WriteFile(p.books / name, "x");
  PickFolder(p.rig, p.books);
  const struct {
    int index;
    const char* pattern;
    std::vector<std::string> files;
  } cases[] = {
      {1, "/*.txt", {"notes.md", "Novel.TXT"}},  // letter case does not matter
      {2, "/*.htm", {"index.HTML", "page.htm"}},
      {3, "/*.doc", {"a.docx", "b.rtf", "c.odt"}},
      {4, "/*.epub;*.fb2;*.fb2.zip;*.mobi;*.azw;*.azw3;*.pdf", {"d.epub", "e.fb2.zip", "f.azw3", "g.pdf"}},
      {0,
       "/*.*",
       {"a.docx", "b.rtf", "c.odt", "d.epub", "e.fb2.zip", "f.azw3", "g.pdf", "index.HTML", "notes.md", "Novel.TXT",
        "page.htm", "readme", "story.ebk"}},  // with or without an extension
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    pane.filter()->setCurrentIndex(c.index);
    emit pane.filter()->activated(c.index);
    EXPECT_EQ(pane.filePattern().toStdString(), c.pattern);
    EXPECT_EQ(Rows(pane.fileList()), c.files);
  }
}

// A dialog step: type into dialog 136 and confirm (or cancel).
std::function<void(QDialog&)> TypeAnswer(const QString& type, int button = 1) {
  return [type, button](QDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("自定义文件类型"));
    QStringList texts;
    for (QLabel* label : dialog.findChildren<QLabel*>()) texts << label->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("输入自定义文件类型:")) &&
                texts.contains(QStringLiteral("格式为(*. XXX)")));
    EXPECT_EQ(Find<QPushButton>(&dialog, 1)->text() + Find<QPushButton>(&dialog, 2)->text(),
              QStringLiteral("确认取消"));
    auto* edit = Find<QLineEdit>(&dialog, 1025);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->maxLength(), 5);
    edit->clear();
    edit->insert(type);
    Find<QPushButton>(&dialog, button)->click();
  };
}

TEST(FilePane, CustomTypesWithAndWithoutTheStarGiveOnePattern) {
  PaneRig p;
  FilePane& pane = Pane(p.rig);
  PickFolder(p.rig, p.books);
  p.rig.dialogSteps.push_back(TypeAnswer(QStringLiteral("ebk")));
  pane.FilterChosen(5);
  EXPECT_EQ(pane.filePattern(), QStringLiteral("/*.ebk"));
  EXPECT_EQ(Rows(pane.fileList()), std::vector<std::string>{"story.ebk"});
  pane.FilterChosen(0);
  p.rig.dialogSteps.push_back(TypeAnswer(QStringLiteral("*.ebk")));
  pane.FilterChosen(5);
  EXPECT_EQ(pane.filePattern(), QStringLiteral("/*.ebk"));
  EXPECT_EQ(Rows(pane.fileList()), std::vector<std::string>{"story.ebk"});

  // Cancel keeps the pattern; five characters without "*." widen it.
  p.rig.dialogSteps.push_back(TypeAnswer(QStringLiteral("txt"), 2));
  pane.FilterChosen(5);
  EXPECT_EQ(pane.filePattern(), QStringLiteral("/*.ebk"));
  p.rig.dialogSteps.push_back(TypeAnswer(QStringLiteral("abcdefg")));
  pane.FilterChosen(5);
  EXPECT_EQ(pane.filePattern(), QStringLiteral("/*.abcde"));
  EXPECT_EQ(CustomTypePattern(QStringLiteral("a*.b")), QStringLiteral("/a*.b"));
  EXPECT_EQ(p.rig.dialogTitles.size(), 4u);
}

}  // namespace
}  // namespace quirel::app::testing
