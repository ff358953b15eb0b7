#include "app/folder_tree.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QMouseEvent>
#include <QSet>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QStyle>
#include <algorithm>

#include "app/dialog_units.h"
#include "resources/messages.h"

namespace quirel::app {
namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kPathRole = Qt::UserRole + 1;

QString WithSlash(QString path) {
  if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
  return path;
}

// What the tree shows for a volume: its label with the mount point, or the
// mount point alone.
QString VolumeText(const QString& root) {
  if (root == QLatin1String("/")) return root;
  QString bare = root.endsWith(QLatin1Char('/')) ? root.chopped(1) : root;
  const QString label = QStorageInfo(bare).displayName();
  if (label.isEmpty() || label == bare || label == root) return bare;
  return label + QStringLiteral(" (") + bare + QLatin1Char(')');
}

QFileIconProvider& Icons() {
  static QFileIconProvider provider;
  return provider;
}

}  // namespace

bool IsPseudoFileSystem(const QByteArray& type, const QString& rootPath) {
  static const QSet<QByteArray> kPseudo = {
      "proc",       "sysfs",     "devtmpfs",        "devpts",      "tmpfs",      "ramfs",   "cgroup",    "cgroup2",
      "securityfs", "pstore",    "efivarfs",        "bpf",         "debugfs",    "tracefs", "configfs",  "fusectl",
      "mqueue",     "hugetlbfs", "autofs",          "binfmt_misc", "rpc_pipefs", "nsfs",    "selinuxfs", "squashfs",
      "overlay",    "nfsd",      "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs"};
  if (kPseudo.contains(type)) return true;
  // Kernel and run-time trees; removable media mounted below /run/media stay.
  for (const char* below : {"/proc", "/sys", "/dev", "/snap"})
    if (rootPath == QLatin1String(below) || rootPath.startsWith(QLatin1String(below) + QLatin1Char('/'))) return true;
  if ((rootPath == QLatin1String("/run") || rootPath.startsWith(QLatin1String("/run/"))) &&
      !rootPath.startsWith(QLatin1String("/run/media/")))
    return true;
  return false;
}

QStringList MountedVolumeRoots() {
  QStringList roots;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const QString root = volume.rootPath();
    if (root == QLatin1String("/") || IsPseudoFileSystem(volume.fileSystemType(), root)) continue;
    // Single files bound into place are mounts too, but no folders.
    if (!QFileInfo(root).isDir()) continue;
    roots << WithSlash(root);
  }
  roots.removeDuplicates();
  std::sort(roots.begin(), roots.end());
  roots.prepend(QStringLiteral("/"));
  return roots;
}

FolderTree::FolderTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setColumnCount(1);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setIconSize(QSize(16, 16));
  setUniformRowHeights(true);
  setIndentation(14);
  // Long names scroll sideways instead of being cut short.
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  connect(this, &QTreeWidget::itemExpanded, this, &FolderTree::OnExpanded);
  connect(this, &QTreeWidget::itemCollapsed, this, &FolderTree::OnCollapsed);
  connect(this, &QTreeWidget::currentItemChanged, this, &FolderTree::OnCurrentChanged);
}

FolderTree::NodeKind FolderTree::Kind(const QTreeWidgetItem* item) {
  return item == nullptr ? kPlaceholder : static_cast<NodeKind>(item->data(0, kKindRole).toInt());
}

QTreeWidgetItem* FolderTree::AddNode(QTreeWidgetItem* parent, NodeKind kind, const QString& text, const QString& path) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, text);
  item->setData(0, kKindRole, static_cast<int>(kind));
  item->setData(0, kPathRole, path);
  if (parent == nullptr)
    addTopLevelItem(item);
  else
    parent->addChild(item);
  if (kind != kPlaceholder && kind != kComputer) item->setToolTip(0, FullPath(item));
  item->setIcon(0, NormalIcon(item));
  if (kind != kPlaceholder) AddPlaceholder(item);
  return item;
}

void FolderTree::AddPlaceholder(QTreeWidgetItem* item) {
  auto* placeholder = new QTreeWidgetItem;
  placeholder->setData(0, kKindRole, static_cast<int>(kPlaceholder));
  placeholder->setFlags(Qt::NoItemFlags);
  item->addChild(placeholder);
}

void FolderTree::Fill() {
  ++quiet_;
  setCurrentItem(nullptr);
  clear();
  desktop_ = desktopLocator ? desktopLocator() : QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (desktop_.isEmpty() || !QFileInfo(desktop_).isDir()) desktop_ = QDir::homePath();
  while (desktop_.size() > 1 && desktop_.endsWith(QLatin1Char('/'))) desktop_.chop(1);
  --quiet_;

  AddNode(nullptr, kComputer, Text(msg::kMyComputer), QString());
  QString desktopName = QFileInfo(desktop_).fileName();
  if (desktopName.isEmpty()) desktopName = desktop_;
  AddNode(nullptr, kDesktop, desktopName, desktop_);
  computerNode()->setExpanded(true);
}

void FolderTree::RefillDrives() {
  QTreeWidgetItem* computer = computerNode();
  if (computer == nullptr) return;
  DropChildren(computer);
  drives_ = volumeLister ? volumeLister() : QStringList{QStringLiteral("/")};
  for (const QString& root : drives_) AddNode(computer, kDrive, VolumeText(root), root);
}

void FolderTree::DropChildren(QTreeWidgetItem* item) {
  ++quiet_;
  for (QTreeWidgetItem* at = currentItem(); at != nullptr; at = at->parent()) {
    if (at->parent() == item) {
      // The selection goes with the node; the file pane keeps what it shows.
      setCurrentItem(nullptr);
      break;
    }
  }
  const QList<QTreeWidgetItem*> children = item->takeChildren();
  qDeleteAll(children);
  --quiet_;
}

void FolderTree::OnExpanded(QTreeWidgetItem* item) {
  switch (Kind(item)) {
    case kComputer:
      RefillDrives();
      return;
    case kDrive:
    case kDesktop:
    case kFolder: {
      const QString path = FullPath(item);
      DropChildren(item);
      const QFileInfoList folders =
          QDir(path).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
      for (const QFileInfo& folder : folders) AddNode(item, kFolder, folder.fileName(), QString());
      return;
    }
    case kPlaceholder:
      return;
  }
}

void FolderTree::OnCollapsed(QTreeWidgetItem* item) {
  if (Kind(item) == kPlaceholder) return;
  // A selection inside the collapsed branch moves up to the collapsed node.
  for (QTreeWidgetItem* at = currentItem(); at != nullptr; at = at->parent()) {
    if (at->parent() == item) {
      setCurrentItem(item);
      break;
    }
  }
  DropChildren(item);
  AddPlaceholder(item);
}

QString FolderTree::FullPath(const QTreeWidgetItem* item) const {
  switch (Kind(item)) {
    case kComputer:
    case kPlaceholder:
      return QString();
    case kDrive:
      return item->data(0, kPathRole).toString();
    case kDesktop:
      return WithSlash(item->data(0, kPathRole).toString());
    case kFolder: {
      QString path = FullPath(item->parent()) + item->text(0);
      if (item->childCount() > 0) path += QLatin1Char('/');
      return path;
    }
  }
  return QString();
}

QIcon FolderTree::NormalIcon(const QTreeWidgetItem* item) const {
  switch (Kind(item)) {
    case kComputer:
      return Icons().icon(QAbstractFileIconProvider::Computer);
    case kDesktop:
      return Icons().icon(QAbstractFileIconProvider::Desktop);
    case kDrive:
      return Icons().icon(QAbstractFileIconProvider::Drive);
    case kFolder: {
      const QIcon icon = Icons().icon(QFileInfo(FullPath(item)));
      return icon.isNull() ? Icons().icon(QAbstractFileIconProvider::Folder) : icon;
    }
    case kPlaceholder:
      break;
  }
  return QIcon();
}

QIcon FolderTree::SelectedIcon(const QTreeWidgetItem* item) const {
  if (Kind(item) != kFolder) return NormalIcon(item);
  return QIcon::fromTheme(QStringLiteral("folder-open"), style()->standardIcon(QStyle::SP_DirOpenIcon));
}

void FolderTree::OnCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
  if (previous != nullptr) previous->setIcon(0, NormalIcon(previous));
  if (current != nullptr) current->setIcon(0, SelectedIcon(current));
  if (quiet_ > 0 || current == nullptr || Kind(current) == kPlaceholder) return;
  QString folder = FullPath(current);
  if (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
  emit folderSelected(folder);
}

void FolderTree::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  emit treeClicked();
}

bool FolderTree::ExpandToPath(const QString& path) {
  if (computerNode() == nullptr) Fill();
  QTreeWidgetItem* computer = computerNode();
  if (computer->isExpanded())
    RefillDrives();
  else
    computer->setExpanded(true);  // which fills the drives
  if (!path.startsWith(QLatin1Char('/'))) return false;

  QTreeWidgetItem* node = nullptr;
  for (int i = 0; i < computer->childCount(); ++i)
    if (computer->child(i)->data(0, kPathRole).toString() == QLatin1String("/")) node = computer->child(i);
  if (node == nullptr) return false;
  node->setExpanded(true);

  const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  for (const QString& part : parts) {
    QTreeWidgetItem* found = nullptr;
    // The name as it is first; a folder that differs only in letter case is
    // the same folder where the receive reused it.
    for (int i = 0; i < node->childCount() && found == nullptr; ++i)
      if (Kind(node->child(i)) == kFolder && node->child(i)->text(0) == part) found = node->child(i);
    for (int i = 0; i < node->childCount() && found == nullptr; ++i)
      if (Kind(node->child(i)) == kFolder && node->child(i)->text(0).compare(part, Qt::CaseInsensitive) == 0)
        found = node->child(i);
    if (found == nullptr) return false;
    node = found;
    node->setExpanded(true);
  }
  setCurrentItem(node);
  scrollToItem(node);
  return true;
}

}  // namespace quirel::app
