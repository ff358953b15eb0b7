// The main dialog: the whole window of the program. It places the browser
// pane and the file pane, probes the port, and owns every user command;
// each command runs to completion before the next can start.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <string>

#include "app/browser_pane.h"
#include "app/dialog_units.h"
#include "app/file_pane.h"
#include "app/folder_tree.h"
#include "app/settings.h"
#include "common/environment.h"

class QTreeWidget;

namespace quirel {
class Link;
}

namespace quirel::app {

class QtUserInterface;
struct ViewerLaunch;

class CMyFileDialog final : public QDialog {
  Q_OBJECT

 public:
  CMyFileDialog(const Environment& env, Link& link, QtUserInterface& ui, bool browserAvailable,
                QWidget* parent = nullptr);
  ~CMyFileDialog() override;

  // The initialisation, once, before the dialog is first shown: icon, the
  // timing library, the browser pane, the file pane, the help page, the
  // port detection.
  void Initialise();
  bool initialised() const { return initialised_; }

  // The commands behind the buttons.
  void OnHelp();
  void OnPreview();
  void OnPhonebook();
  void OnSend();
  void OnCreateDirectory();
  void OnReceive();
  void OnClear();
  void OnExit();

  // Every command starts here: a later "add" in the file pane adds a whole
  // folder only when the folder tree was the last thing clicked.
  void ClearFolderPick();
  // Shows (1) or hides the browser pane.
  void ShowPreview(bool show);

  RunSettings& settings() { return settings_; }
  const Environment& env() const { return env_; }
  Link& link() { return link_; }
  QtUserInterface& ui() { return ui_; }
  const DialogUnits& units() const { return units_; }
  bool browserAvailable() const { return browserAvailable_; }
  BrowserPane* browserPane() const { return browserPane_; }
  QWidget* filePane() const { return filePane_; }
  FilePane* files() const { return filePane_; }
  QTreeWidget* folderTree() const { return tree_; }
  FolderTree* folders() const { return tree_; }
  QWidget* Control(int id) const { return FindControl(this, id); }
  // W and H of the initialisation: the window's classic size with a title
  // bar and a border.
  QSize OuterSize() const;
  // The size the window opens at and the least it takes, where the screen
  // has room for it.
  QSize ClassicSize() const { return units_.Size(351, 245); }
  // True while a command runs; the window does not close meanwhile.
  bool busy() const { return busy_ > 0; }

  // Filled by the panes and commands that come later.
  std::function<void()> folderPickHook;
  std::function<void(CMyFileDialog&)> previewCommand;
  std::function<void(CMyFileDialog&)> phonebookCommand;
  std::function<void(CMyFileDialog&)> sendCommand;
  // Starts the viewer in place of a new process (tests record the launch).
  std::function<void(const ViewerLaunch&)> viewerStarter;

  // SendFormat: 1 convert, 2 keep each file's format; kept between sends.
  int sendFormat = 1;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void reject() override;

 private:
  class Busy;
  void Build();
  // Makes the window and its frame fit into the screen's free area.
  void FitInto(const QRect& available);
  void Connect(int id, void (CMyFileDialog::*command)());

  Environment env_;
  Link& link_;
  QtUserInterface& ui_;
  const bool browserAvailable_;
  RunSettings settings_;
  DialogUnits units_;
  StretchLayout layout_;
  bool initialised_ = false;
  bool centred_ = false;
  int busy_ = 0;
  FolderTree* tree_ = nullptr;
  QPointer<BrowserPane> browserPane_;
  QPointer<FilePane> filePane_;
};

}  // namespace quirel::app
