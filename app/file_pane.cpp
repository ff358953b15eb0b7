#include "app/file_pane.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "app/dialog_units.h"
#include "app/main_dialog.h"
#include "app/qt_ui.h"
#include "common/text.h"
#include "convert/convert.h"
#include "resources/messages.h"
#include "send/send_job.h"

namespace quirel::app {
namespace {

// The books read by their own libraries.
constexpr const char* kBookPattern = "/*.epub;*.fb2;*.fb2.zip;*.mobi;*.azw;*.azw3;*.pdf";

// The most files one Add takes from the file list.
constexpr int kMaxAddedAtOnce = 5001;

QPushButton* PaneButton(QWidget* parent, const DialogUnits& du, int id, std::string_view text, int y) {
  auto* button = Place(new QPushButton(Text(text), parent), du, id, 91, y, 39, 24);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

CustomTypeDialog::CustomTypeDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Text(msg::kCustomTypeTitle));
  setFont(DialogFont());
  setModal(true);
  const DialogUnits du(font());
  Place(new QLabel(Text(msg::kCustomTypePrompt), this), du, kNoId, 10, 10, 78, 10);
  edit_ = Place(new QLineEdit(this), du, 1025, 90, 8, 50, 13);
  edit_->setMaxLength(5);
  Place(new QLabel(Text(msg::kCustomTypeHint), this), du, kNoId, 10, 26, 130, 10);
  auto* ok = Place(new QPushButton(Text(msg::kConfirm), this), du, 1, 18, 44, 50, 16);
  auto* cancel = Place(new QPushButton(Text(msg::kCancel), this), du, 2, 82, 44, 50, 16);
  ok->setDefault(true);
  cancel->setAutoDefault(false);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(du.Size(150, 68));
  edit_->setFocus();
}

QString CustomTypeDialog::Type() const { return edit_->text(); }

QString CustomTypePattern(const QString& type) {
  // Five characters without "*." make an eight-character pattern; the
  // pattern is a string here, so it simply grows.
  if (type.contains(QStringLiteral("*."))) return QLatin1Char('/') + type;
  return QStringLiteral("/*.") + type;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

FilePane::FilePane(QWidget* parent, const DialogUnits& du, QtUserInterface& ui)
    : QWidget(parent),
      ui_(ui),
      // The two lists share the extra width and height; the column of
      // buttons between them and the filter below keep their places.
      layout_(du.Size(242, 109), {{du.X(89), du.X(133)}}, {{du.Y(94), du.Y(109)}}) {
  setObjectName(QStringLiteral("filePane"));
  resize(du.Size(242, 109));

  files_ = Place(new QListWidget(this), du, 1013, 2, 1, 87, 93);
  files_->setSelectionMode(QAbstractItemView::ExtendedSelection);

  filter_ = Place(new QComboBox(this), du, 1014, 2, 95, 87, 73);
  for (std::string_view item :
       {msg::kFilterAll, msg::kFilterText, msg::kFilterWeb, msg::kFilterWord, msg::kFilterBooks, msg::kFilterCustom})
    filter_->addItem(Text(item));
  // The given height is that of the dropped list; the closed box is as high
  // as the style makes it, within the pane.
  filter_->setMaxVisibleItems(filter_->count());
  // The dropped list is as wide as its longest type, not the closed box.
  filter_->view()->setMinimumWidth(filter_->view()->sizeHintForColumn(0) + 8);
  filter_->resize(filter_->width(), std::min(filter_->sizeHint().height(), du.Y(109 - 95)));

  QPushButton* add = PaneButton(this, du, 1092, msg::kAddFiles, 3);
  QPushButton* addAll = PaneButton(this, du, 1021, msg::kAddAllFiles, 29);
  QPushButton* remove = PaneButton(this, du, 1022, msg::kRemoveEntry, 55);
  QPushButton* removeAll = PaneButton(this, du, 1023, msg::kRemoveAllEntries, 81);

  sendBox_ = Place(new QListWidget(this), du, 1015, 133, 2, 106, 105);
  sendBox_->setSelectionMode(QAbstractItemView::SingleSelection);

  layout_.Add(files_, Follow::kGrow, Follow::kGrow);
  layout_.Add(filter_, Follow::kGrow, Follow::kKeep);
  for (QPushButton* button : {add, addAll, remove, removeAll}) layout_.Add(button, Follow::kKeep, Follow::kKeep);
  layout_.Add(sendBox_, Follow::kGrow, Follow::kGrow);

  connect(add, &QPushButton::clicked, this, &FilePane::Add);
  connect(addAll, &QPushButton::clicked, this, &FilePane::AddAll);
  connect(remove, &QPushButton::clicked, this, &FilePane::Remove);
  connect(removeAll, &QPushButton::clicked, this, &FilePane::RemoveAll);
  connect(files_, &QListWidget::itemDoubleClicked, this, [this] { Add(); });
  connect(filter_, &QComboBox::currentIndexChanged, this, [this] { ClearFolderPick(); });
  connect(filter_, &QComboBox::activated, this, &FilePane::FilterChosen);
}

void FilePane::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layout_.Apply(size());
}

void FilePane::FolderSelected(const QString& folder) {
  currentFolder_ = folder;
  folderPicked_ = true;
  RefreshFiles();
}

void FilePane::TreeClicked() {
  folderPicked_ = true;
  RefreshFiles();
}

void FilePane::RefreshFiles() {
  files_->clear();
  // "no" is the mark of a folder not yet chosen, not a folder to list.
  if (currentFolder_.isEmpty() || currentFolder_ == QLatin1String("no")) return;
  QDir dir(currentFolder_);
  const QStringList filters = NameFilters(filePattern_);
  // "*.*" means every file, with an extension or without.
  if (filters != QStringList{QStringLiteral("*.*")}) dir.setNameFilters(filters);
  dir.setFilter(QDir::Files);
  dir.setSorting(QDir::Name | QDir::IgnoreCase);
  // A long name is cut at the list's edge; its tip shows it whole.
  for (const QString& name : dir.entryList()) (new QListWidgetItem(name, files_))->setToolTip(dir.filePath(name));
}

void FilePane::FilterChosen(int index) {
  switch (index) {
    case 0:
      filePattern_ = QStringLiteral("/*.*");
      break;
    case 1:
      filePattern_ = QStringLiteral("/*.txt");
      break;
    case 2:
      filePattern_ = QStringLiteral("/*.htm");
      break;
    case 3:
      filePattern_ = QStringLiteral("/*.doc");
      break;
    case 4:
      filePattern_ = QString::fromLatin1(kBookPattern);
      break;
    case 5: {
      CustomTypeDialog dialog(window());
      if (ui_.RunDialog(dialog) == QDialog::Accepted) filePattern_ = CustomTypePattern(dialog.Type());
      break;
    }
    default:
      break;
  }
  RefreshFiles();
}

QStringList NameFilters(const QString& pattern) {
  QStringList filters = pattern.mid(pattern.startsWith(QLatin1Char('/')) ? 1 : 0).split(QLatin1Char(';'));
  // The types the conversion takes under each name the list shows.
  if (filters == QStringList{QStringLiteral("*.txt")})
    filters << QStringLiteral("*.md") << QStringLiteral("*.markdown");
  if (filters == QStringList{QStringLiteral("*.htm")}) filters << QStringLiteral("*.html") << QStringLiteral("*.xhtml");
  if (filters == QStringList{QStringLiteral("*.doc")})
    filters << QStringLiteral("*.docx") << QStringLiteral("*.rtf") << QStringLiteral("*.odt");
  return filters;
}

void FilePane::Add() {
  QStringList chosen;
  for (int row = 0; row < files_->count() && chosen.size() < kMaxAddedAtOnce; ++row)
    if (files_->item(row)->isSelected()) chosen << files_->item(row)->text();

  const send::SendEntryItem* keep = SelectedEntry();
  send::SendEntryItem kept = keep != nullptr ? *keep : send::SendEntryItem{};
  const bool hadSelection = keep != nullptr;

  const std::string folder = currentFolder_.toStdString();
  if (folderPicked_ && chosen.isEmpty() && currentFolder_ != QLatin1String("no") && !currentFolder_.isEmpty()) {
    // The whole folder; adding it again replaces its entry.
    sendList_.AddFolder(folder);
  } else {
    for (const QString& name : chosen) {
      const std::string text = send::SendList::FileEntryText(name.toStdString(), folder);
      // An entry that this one begins (the same name from a folder below)
      // keeps it out, as the list box's prefix search finds it.
      const bool present =
          std::any_of(sendList_.Items().begin(), sendList_.Items().end(),
                      [&](const send::SendEntryItem& item) { return StartsWithNoCase(item.text, text); });
      if (!present) sendList_.AddFile(JoinPath(folder, name.toStdString()));
    }
  }
  ShowSendList(hadSelection ? &kept : nullptr);
}

void FilePane::AddAll() {
  ClearFolderPick();
  files_->selectAll();
  Add();
}

void FilePane::Remove() {
  ClearFolderPick();
  const int row = sendBox_->currentRow();
  if (row < 0 || !sendBox_->item(row)->isSelected()) return;
  sendList_.Remove(static_cast<std::size_t>(row));
  ShowSendList(nullptr);
}

void FilePane::RemoveAll() {
  ClearFolderPick();
  sendList_.Clear();
  ShowSendList(nullptr);
}

const send::SendEntryItem* FilePane::SelectedEntry() const {
  const int row = sendBox_->currentRow();
  if (row < 0 || static_cast<std::size_t>(row) >= sendList_.size() || !sendBox_->item(row)->isSelected())
    return nullptr;
  return &sendList_.Items()[static_cast<std::size_t>(row)];
}

void FilePane::KeepSendListIn(const std::string& path) {
  sendList_.changed = nullptr;
  if (sendList_.Load(path)) ShowSendList(nullptr);
  sendList_.changed = [this, path] {
    if (!sendList_.Save(path)) ui_.Diagnostic("the send list could not be kept in " + path);
  };
}

void FilePane::ShowSendList(const send::SendEntryItem* keep) {
  sendBox_->clear();
  int selected = -1;
  const auto& items = sendList_.Items();
  for (std::size_t i = 0; i < items.size(); ++i) {
    // The entry's folder is cut at the list's edge; its tip shows the whole path.
    (new QListWidgetItem(QString::fromStdString(items[i].text), sendBox_))
        ->setToolTip(QString::fromStdString(items[i].realPath));
    if (keep != nullptr && selected < 0 && items[i].text == keep->text && items[i].realPath == keep->realPath)
      selected = static_cast<int>(i);
  }
  if (selected >= 0) sendBox_->setCurrentRow(selected);
}

LinkResult SendFromWindow(CMyFileDialog& dialog) {
  FilePane* pane = dialog.files();
  if (pane == nullptr) return LinkResult::kFailed;
  convert::Context ctx{dialog.env(), dialog.ui(), dialog.settings().rowWidth};
  send::SendJob job(dialog.link(), ctx);
  job.sendFormat = dialog.sendFormat;
  const LinkResult result = job.Run(pane->sendList());
  dialog.sendFormat = job.sendFormat;
  return result;
}

}  // namespace quirel::app
