// The window side of the user-interface interface: message boxes, the
// message pump, the progress windows, and the small dialogs whose answers
// the operations need.
//
// Tests replace the parts that would wait for a person: boxHook answers
// message boxes without showing them, dialogRunner drives a dialog instead
// of running it modally, folderPicker stands in for the folder chooser.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/ui.h"

class QDialog;

namespace quirel::app {

class ProgressDialog;

struct BoxRecord {
  std::string text;
  std::string caption;
  Icon icon;
  Buttons buttons;
  std::string detail;  // the explanation under the text, if any
};

class QtUserInterface final : public UserInterface {
 public:
  QtUserInterface();
  ~QtUserInterface() override;

  void SetMainWindow(QWidget* window) { main_ = window; }
  void SetPhonebookWindow(QWidget* window) { phonebook_ = window; }
  QWidget* mainWindow() const { return main_; }
  // Diagnostics are also appended to this file when it is set.
  void SetLogFile(std::string path) { logFile_ = std::move(path); }
  // How many message boxes have been shown so far: a caller that reports a
  // failure only when nothing else did shows one box per failure.
  int MessagesShown() const { return messagesShown_; }

  Answer ShowMessage(std::string_view text, std::string_view caption, Icon icon,
                     Buttons buttons = Buttons::Ok) override;
  Answer ShowMessageWithDetail(std::string_view text, std::string_view caption, Icon icon,
                               std::string_view detail) override;
  void Diagnostic(std::string_view line) override;
  void PumpMessage() override;
  void EnableWindow(Window window, bool enabled) override;
  void RedrawWindow(Window window) override;
  ProgressWindow& NewProgress(ProgressKind kind) override;
  ProgressWindow* Progress(ProgressKind kind) override;
  std::optional<int> AskSendFormat(int current) override;
  std::optional<int> AskClearMode() override;
  std::optional<ReceiveOptions> AskReceiveOptions() override;
  DuplicateChoice AskDuplicate(std::string_view name) override;
  ReplaceChoice AskReplaceFile(std::string_view path) override;
  bool ExpandToPath(std::string_view path) override;

  ProgressDialog* ProgressDialogOf(ProgressKind kind) const;

  // Runs a dialog modally (or through dialogRunner); QDialog::Accepted or
  // QDialog::Rejected.
  int RunDialog(QDialog& dialog);
  // The folder chooser; an empty text when nothing was chosen.
  QString PickFolder(QWidget* parent, const QString& title, const QString& start);
  // The window a box or dialog belongs to: the phonebook or main window
  // when it can take input, else none (the box then stands alone).
  QWidget* Owner() const;

  // The file pane fills this in: expand the folder tree down to a path.
  std::function<bool(std::string_view)> expandHook;

  // Test seams.
  std::function<Answer(const BoxRecord&)> boxHook;
  std::function<int(QDialog&)> dialogRunner;
  std::function<QString(QWidget*, const QString&, const QString&)> folderPicker;
  std::function<void(long long)> pumpHook;  // called on every pump with the running count

  // The last kKept boxes asked for, in order, and the last kKept diagnostic
  // lines; older ones are let go so that a long session does not grow.
  static constexpr std::size_t kKept = 64;
  std::deque<BoxRecord> boxes;
  std::deque<std::string> diagnostics;
  long long pumps = 0;

 private:
  Answer ShowBox(const BoxRecord& record);

  QPointer<QWidget> main_;
  QPointer<QWidget> phonebook_;
  std::string logFile_;
  int messagesShown_ = 0;
  QElapsedTimer sincePump_;
  std::map<ProgressKind, std::unique_ptr<ProgressDialog>> progress_;
};

}  // namespace quirel::app
