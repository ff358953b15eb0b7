// The folder tree at the left of the main dialog (control 1003): "我的电脑"
// with the root and the mounted volumes, then the desktop folder. Below
// them folders only; every node not yet expanded carries a placeholder child
// so that it shows an expand button, and its sub-folders are listed when it
// is expanded and dropped again when it is collapsed.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <functional>

namespace quirel::app {

// File systems that hold no user files (kernel interfaces, memory-backed
// scratch space, packaged images): left out of the volume list.
bool IsPseudoFileSystem(const QByteArray& type, const QString& rootPath);

// The volume roots shown under "我的电脑", each ending with "/": first the
// root "/" itself, then the other mounted volumes by path.
QStringList MountedVolumeRoots();

class FolderTree final : public QTreeWidget {
  Q_OBJECT

 public:
  enum NodeKind { kComputer = 1, kDrive, kDesktop, kFolder, kPlaceholder };

  explicit FolderTree(QWidget* parent);

  // Builds the two top-level nodes and expands "我的电脑".
  void Fill();

  // Expands the tree from the root down to path and selects the last folder
  // (which shows its files). False when some folder of the path is not in
  // the tree; "/" plays the drive root, so the path must be absolute.
  bool ExpandToPath(const QString& path);

  // The node's folder: "" for "我的电脑", the volume root or the desktop
  // folder with its trailing "/", else the parent's path, the node's name
  // and a "/" that is left off when the node has no children.
  QString FullPath(const QTreeWidgetItem* item) const;
  static NodeKind Kind(const QTreeWidgetItem* item);

  QTreeWidgetItem* computerNode() const { return topLevelItem(0); }
  QTreeWidgetItem* desktopNode() const { return topLevelItem(1); }
  const QStringList& drives() const { return drives_; }
  const QString& desktop() const { return desktop_; }

  // Where the volume list and the desktop folder come from; tests put in
  // their own.
  std::function<QStringList()> volumeLister = MountedVolumeRoots;
  std::function<QString()> desktopLocator;

 signals:
  // The selection moved to a node: its path without the trailing "/".
  void folderSelected(const QString& folder);
  // A click anywhere in the tree.
  void treeClicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, NodeKind kind, const QString& text, const QString& path);
  void AddPlaceholder(QTreeWidgetItem* item);
  void RefillDrives();
  void OnExpanded(QTreeWidgetItem* item);
  void OnCollapsed(QTreeWidgetItem* item);
  void OnCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
  // Deletes the children of item; a selection among them is dropped quietly.
  void DropChildren(QTreeWidgetItem* item);
  QIcon NormalIcon(const QTreeWidgetItem* item) const;
  QIcon SelectedIcon(const QTreeWidgetItem* item) const;

  QStringList drives_;
  QString desktop_;
  int quiet_ = 0;  // > 0 while the tree rebuilds itself: selection moves are not the user's
};

}  // namespace quirel::app
