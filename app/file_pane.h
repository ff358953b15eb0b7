// The file pane (child dialog 131) in the upper right of the main dialog:
// the files of the folder chosen in the tree (list 1013) under a type filter
// (1014), the buttons that move them into the send list (1015), and the send
// list itself, which the send job and the preview read.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <string>

#include "app/dialog_units.h"
#include "link/link.h"
#include "send/send_list.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quirel::app {

class CMyFileDialog;
class QtUserInterface;

// "自定义文件类型" (dialog 136): one edit of at most five characters.
class CustomTypeDialog final : public QDialog {
  Q_OBJECT
 public:
  explicit CustomTypeDialog(QWidget* parent);
  QString Type() const;
  QLineEdit* edit() const { return edit_; }

 private:
  QLineEdit* edit_;
};

// The pattern a custom type gives: a type with "*." in it is used as it is,
// any other is taken as an extension. Both begin with the "/" that joins
// the pattern to the folder.
QString CustomTypePattern(const QString& type);

// The name filters of a pattern ("/*.htm", or several joined by ";"): the
// list's own types also show the names the conversion takes with them
// (".html" with ".htm", ".docx", ".rtf" and ".odt" with ".doc", Markdown
// with ".txt").
QStringList NameFilters(const QString& pattern);

// A folder and a name as one path; the root keeps its single "/".
std::string JoinPath(const std::string& folder, const std::string& name);

class FilePane final : public QWidget {
  Q_OBJECT

 public:
  FilePane(QWidget* parent, const DialogUnits& units, QtUserInterface& ui);

  // Keeps the send list in path from now on, after every change, having
  // first taken back the list a run before kept there: ending the program,
  // by Escape or the close box too, never costs the list.
  void KeepSendListIn(const std::string& path);

  // The folder tree's notifications: a newly selected folder, and a click.
  void FolderSelected(const QString& folder);
  void TreeClicked();
  // Every main-dialog command starts with this: a later Add adds a whole
  // folder only when the tree was the last thing clicked.
  void ClearFolderPick() { folderPicked_ = false; }

  // The buttons.
  void Add();        // "添    加", and a double-click in the file list
  void AddAll();     // "添加全部"
  void Remove();     // "删    除"
  void RemoveAll();  // "删除全部"
  // The filter's selection confirmed: item 0..5.
  void FilterChosen(int index);
  // Lists the files of CurrentFolder that match FilePattern.
  void RefreshFiles();

  const QString& currentFolder() const { return currentFolder_; }  // CurrentFolder, "no" until chosen
  const QString& filePattern() const { return filePattern_; }      // FilePattern, "/*.*" at start
  bool folderPicked() const { return folderPicked_; }              // FolderPicked
  const send::SendList& sendList() const { return sendList_; }
  // PreviewPath: the file the last preview showed.
  const std::string& previewPath() const { return previewPath_; }
  void SetPreviewPath(std::string path) { previewPath_ = std::move(path); }
  // The entry selected in the send list, or nullptr.
  const send::SendEntryItem* SelectedEntry() const;

  QListWidget* fileList() const { return files_; }
  QComboBox* filter() const { return filter_; }
  QListWidget* sendListBox() const { return sendBox_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Shows the send list again, keeping the selected entry selected.
  void ShowSendList(const send::SendEntryItem* keep);

  QtUserInterface& ui_;
  QListWidget* files_;
  QComboBox* filter_;
  QListWidget* sendBox_;
  StretchLayout layout_;
  QString currentFolder_ = QStringLiteral("no");
  QString filePattern_ = QStringLiteral("/*.*");
  bool folderPicked_ = false;
  send::SendList sendList_;
  std::string previewPath_;
};

// "传送电子书文件": the send job over the send list, with the send-format
// dialog and the send progress window. The job's result (0 sent, 1 not all
// sent, 2 stopped or cancelled).
[[nodiscard]] LinkResult SendFromWindow(CMyFileDialog& dialog);

}  // namespace quirel::app
