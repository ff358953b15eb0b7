#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include "resources/messages.h"
#include "tests/gui/pane_support.h"

namespace quirel::app::testing {
namespace {

TEST(FolderTree, PseudoFileSystemsAreLeftOut) {
  for (const char* type : {"proc", "sysfs", "tmpfs", "devpts", "cgroup2", "squashfs", "overlay"})
    EXPECT_TRUE(IsPseudoFileSystem(type, QStringLiteral("/somewhere"))) << type;
  EXPECT_TRUE(IsPseudoFileSystem("ext4", QStringLiteral("/proc/fs")));
  EXPECT_TRUE(IsPseudoFileSystem("ext4", QStringLiteral("/run/user/1000/doc")));
  EXPECT_TRUE(IsPseudoFileSystem("ext4", QStringLiteral("/snap/core/1")));
  EXPECT_FALSE(IsPseudoFileSystem("ext4", QStringLiteral("/home")));
  EXPECT_FALSE(IsPseudoFileSystem("vfat", QStringLiteral("/run/media/user/USB")));
  EXPECT_FALSE(IsPseudoFileSystem("vfat", QStringLiteral("/media/user/CARD")));
  EXPECT_FALSE(IsPseudoFileSystem("ext4", QStringLiteral("/process")));  // a name that merely begins so

  const QStringList roots = MountedVolumeRoots();
  ASSERT_FALSE(roots.isEmpty());
  EXPECT_EQ(roots.front(), QStringLiteral("/"));
  for (const QString& root : roots) EXPECT_TRUE(root.endsWith(QLatin1Char('/'))) << root.toStdString();
  EXPECT_EQ(roots.count(QStringLiteral("/")), 1);
}

// A tree with a volume and a desktop of the test's own.
struct TreeRig {
  TreeRig() {
    EXPECT_TRUE(rig.Start());
    volume = rig.root() / "vol";
    desktop = rig.root() / "Desktop";
    fs::create_directories(volume / "Music");
    fs::create_directories(desktop / "b-folder");
    fs::create_directories(desktop / "A-folder" / "inner");
    fs::create_directories(desktop / ".hidden");
    WriteFile(desktop / "note.txt", "x");
    WriteFile(desktop / "A-folder" / "Z.txt", "z");
    WriteFile(desktop / "A-folder" / "a.txt", "a");
    FolderTree& tree = Tree(rig);
    const QString volumeRoot = QString::fromStdString(volume.string() + "/");
    tree.volumeLister = [volumeRoot] { return QStringList{QStringLiteral("/"), volumeRoot}; };
    const QString desk = QString::fromStdString(desktop.string());
    tree.desktopLocator = [desk] { return desk; };
    tree.Fill();
  }
  GuiRig rig;
  fs::path volume, desktop;
};

std::vector<std::string> ChildTexts(const QTreeWidgetItem* item) {
  std::vector<std::string> texts;
  for (int i = 0; i < item->childCount(); ++i) texts.push_back(item->child(i)->text(0).toStdString());
  return texts;
}

bool OnlyPlaceholder(const QTreeWidgetItem* item) {
  return item->childCount() == 1 && FolderTree::Kind(item->child(0)) == FolderTree::kPlaceholder;
}

TEST(FolderTree, TheComputerWithItsVolumesThenTheDesktop) {
  TreeRig t;
  FolderTree& tree = Tree(t.rig);
  ASSERT_EQ(tree.topLevelItemCount(), 2);
  QTreeWidgetItem* computer = tree.computerNode();
  EXPECT_EQ(computer->text(0), QStringLiteral("我的电脑"));
  EXPECT_TRUE(computer->isExpanded());
  EXPECT_FALSE(computer->icon(0).isNull());
  ASSERT_EQ(computer->childCount(), 2);
  EXPECT_EQ(computer->child(0)->text(0), QStringLiteral("/"));
  EXPECT_EQ(tree.FullPath(computer), QString());
  EXPECT_EQ(tree.FullPath(computer->child(0)), QStringLiteral("/"));
  EXPECT_EQ(tree.FullPath(computer->child(1)).toStdString(), t.volume.string() + "/");
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(OnlyPlaceholder(computer->child(i))) << i;

  QTreeWidgetItem* desk = tree.desktopNode();
  EXPECT_EQ(desk->text(0), QStringLiteral("Desktop"));
  EXPECT_FALSE(desk->isExpanded());
  EXPECT_TRUE(OnlyPlaceholder(desk));
  EXPECT_EQ(tree.FullPath(desk).toStdString(), t.desktop.string() + "/");
}

TEST(FolderTree, ExpandingListsFoldersOnlyAndCollapsingForgetsThem) {
  TreeRig t;
  FolderTree& tree = Tree(t.rig);
  QTreeWidgetItem* desk = tree.desktopNode();
  desk->setExpanded(true);
  // Folders only, in case-insensitive order; files and hidden folders stay out.
  EXPECT_EQ(ChildTexts(desk), (std::vector<std::string>{"A-folder", "b-folder"}));
  QTreeWidgetItem* a = desk->child(0);
  EXPECT_TRUE(OnlyPlaceholder(a));
  EXPECT_EQ(tree.FullPath(a).toStdString(), (t.desktop / "A-folder").string() + "/");
  a->setExpanded(true);
  ASSERT_EQ(ChildTexts(a), std::vector<std::string>{"inner"});
  // A node without children has no trailing "/".
  a->child(0)->setExpanded(true);
  EXPECT_EQ(a->child(0)->childCount(), 0);
  EXPECT_EQ(tree.FullPath(a->child(0)).toStdString(), (t.desktop / "A-folder" / "inner").string());

  desk->setExpanded(false);
  EXPECT_TRUE(OnlyPlaceholder(desk));
  desk->setExpanded(true);  // listed afresh
  fs::create_directories(t.desktop / "c-new");
  desk->setExpanded(false);
  desk->setExpanded(true);
  EXPECT_EQ(ChildTexts(desk), (std::vector<std::string>{"A-folder", "b-folder", "c-new"}));
}

TEST(FolderTree, SelectingAFolderShowsItsFilesSorted) {
  TreeRig t;
  FolderTree& tree = Tree(t.rig);
  tree.desktopNode()->setExpanded(true);
  tree.setCurrentItem(tree.desktopNode()->child(0));
  FilePane& pane = Pane(t.rig);
  EXPECT_EQ(pane.currentFolder().toStdString(), (t.desktop / "A-folder").string());
  EXPECT_TRUE(pane.folderPicked());
  EXPECT_EQ(Rows(pane.fileList()), (std::vector<std::string>{"a.txt", "Z.txt"}));
  // The desktop node itself: its path without the trailing "/".
  tree.setCurrentItem(tree.desktopNode());
  EXPECT_EQ(pane.currentFolder().toStdString(), t.desktop.string());
  EXPECT_EQ(Rows(pane.fileList()), std::vector<std::string>{"note.txt"});
  // "我的电脑" is no folder: nothing to list.
  tree.setCurrentItem(tree.computerNode());
  EXPECT_TRUE(pane.currentFolder().isEmpty());
  EXPECT_EQ(pane.fileList()->count(), 0);
}

TEST(FolderTree, AMouseClickPicksTheFolderAgain) {
  TreeRig t;
  FolderTree& tree = Tree(t.rig);
  tree.desktopNode()->setExpanded(true);
  tree.setCurrentItem(tree.desktopNode()->child(1));
  FilePane& pane = Pane(t.rig);
  pane.ClearFolderPick();
  const QPoint at = tree.visualItemRect(tree.desktopNode()->child(1)).center();
  QMouseEvent press(QEvent::MouseButtonPress, at, tree.viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, tree.viewport()->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(tree.viewport(), &press);
  QApplication::sendEvent(tree.viewport(), &release);
  EXPECT_TRUE(pane.folderPicked());
  EXPECT_EQ(pane.currentFolder().toStdString(), (t.desktop / "b-folder").string());
}

TEST(FolderTree, CollapsingAroundTheSelectionSelectsTheCollapsedNode) {
  TreeRig t;
  FolderTree& tree = Tree(t.rig);
  QTreeWidgetItem* desk = tree.desktopNode();
  desk->setExpanded(true);
  desk->child(0)->setExpanded(true);
  tree.setCurrentItem(desk->child(0)->child(0));
  EXPECT_EQ(Pane(t.rig).currentFolder().toStdString(), (t.desktop / "A-folder" / "inner").string());
  desk->setExpanded(false);
  EXPECT_EQ(tree.currentItem(), desk);
  EXPECT_EQ(Pane(t.rig).currentFolder().toStdString(), t.desktop.string());
}

TEST(FolderTree, ExpandToPathOpensTheWayAndSelectsTheFolder) {
  TreeRig t;
  FolderTree& tree = Tree(t.rig);
  const fs::path target = t.rig.root() / "Inbox" / "Novels";
  fs::create_directories(target);
  WriteFile(target / "one.ebk", "1");
  ASSERT_TRUE(tree.ExpandToPath(QString::fromStdString(target.string())));
  ASSERT_NE(tree.currentItem(), nullptr);
  EXPECT_EQ(tree.currentItem()->text(0), QStringLiteral("Novels"));
  EXPECT_TRUE(tree.currentItem()->isExpanded());
  // Every node on the way is open.
  for (QTreeWidgetItem* at = tree.currentItem(); at != nullptr; at = at->parent()) EXPECT_TRUE(at->isExpanded());
  EXPECT_EQ(tree.computerNode()->child(0), [&] {
    QTreeWidgetItem* top = tree.currentItem();
    while (top->parent() != tree.computerNode()) top = top->parent();
    return top;
  }());
  EXPECT_EQ(Pane(t.rig).currentFolder().toStdString(), target.string());
  EXPECT_EQ(Rows(Pane(t.rig).fileList()), std::vector<std::string>{"one.ebk"});

  // Letter case may differ; a missing folder or a relative path fails.
  EXPECT_TRUE(tree.ExpandToPath(QString::fromStdString((t.rig.root() / "inbox" / "NOVELS").string())));
  EXPECT_EQ(tree.currentItem()->text(0), QStringLiteral("Novels"));
  EXPECT_FALSE(tree.ExpandToPath(QString::fromStdString((t.rig.root() / "Inbox" / "missing").string())));
  EXPECT_FALSE(tree.ExpandToPath(QStringLiteral("Inbox/Novels")));
  // The root itself.
  EXPECT_TRUE(tree.ExpandToPath(QStringLiteral("/")));
  EXPECT_EQ(Pane(t.rig).currentFolder(), QStringLiteral("/"));
}

}  // namespace
}  // namespace quirel::app::testing
