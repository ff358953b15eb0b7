#include "app/qt_ui.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <fstream>

#include "app/dialog_units.h"
#include "app/progress_dialog.h"
#include "app/small_dialogs.h"
#include "resources/messages.h"

namespace quirel::app {
namespace {

// A box whose fixed text gives advice for another system gets one line under
// it that is true here, unless the caller gave an explanation of its own.
std::string_view NoteHere(std::string_view text) {
  using namespace msg;
  for (const std::string_view word : {kNoWordConvert, kNoWordPreview})
    if (text == word) return kNoteWordHere;
  if (text == kWordError) return kNoteWordFailedHere;
  if (text == kNoBrowserPreview || text == kNoBrowserHelp) return kNoteBrowserHere;
  for (const std::string_view link : {kLinkError, kReceiveDataError, kDirectoryError, kReceiveLinkFailed,
                                      kReceiveFileError, kSendFileError, kPhonebookReceiveRefused})
    if (text == link) return kNoteLinkHere;
  for (const std::string_view files : {kStoreCreateFailed, kStoreRecreateFailed, kOpenFileFailed, kOpenStoreFailed})
    if (text == files) return kNoteReinstallHere;
  return {};
}

// Events are processed at most this often during a transfer: often enough
// for the windows to repaint and the interrupt buttons to react, seldom
// enough not to slow the byte loops down.
constexpr qint64 kPumpIntervalMs = 15;

QMessageBox::Icon BoxIcon(Icon icon) {
  switch (icon) {
    case Icon::Error:
      return QMessageBox::Critical;
    case Icon::Information:
      return QMessageBox::Information;
    case Icon::Warning:
      return QMessageBox::Warning;
    case Icon::Question:
      return QMessageBox::Question;
    case Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

// A window without a parent that still belongs to the main window: it stays
// above it and is centred over it.
void Attach(QWidget* window, QWidget* main) {
  if (main == nullptr || window->parentWidget() != nullptr) return;
  window->winId();
  if (window->windowHandle() != nullptr && main->windowHandle() != nullptr)
    window->windowHandle()->setTransientParent(main->windowHandle());
}

}  // namespace

QtUserInterface::QtUserInterface() = default;

QtUserInterface::~QtUserInterface() = default;

QWidget* QtUserInterface::Owner() const {
  if (phonebook_ != nullptr && phonebook_->isVisible() && phonebook_->isEnabled()) return phonebook_;
  if (main_ != nullptr && main_->isVisible() && main_->isEnabled()) return main_;
  return nullptr;
}

Answer QtUserInterface::ShowMessage(std::string_view text, std::string_view caption, Icon icon, Buttons buttons) {
  return ShowBox({std::string(text), std::string(caption), icon, buttons, {}});
}

Answer QtUserInterface::ShowMessageWithDetail(std::string_view text, std::string_view caption, Icon icon,
                                              std::string_view detail) {
  // The log keeps the explanation as well: it outlives the box.
  Diagnostic(detail);
  return ShowBox({std::string(text), std::string(caption), icon, Buttons::Ok, std::string(detail)});
}

Answer QtUserInterface::ShowBox(const BoxRecord& record) {
  ++messagesShown_;
  boxes.push_back(record);
  if (boxes.size() > kKept) boxes.pop_front();
  if (boxHook) return boxHook(record);

  QMessageBox box(BoxIcon(record.icon), Text(record.caption), Text(record.text),
                  record.buttons == Buttons::YesNo      ? QMessageBox::Yes | QMessageBox::No
                  : record.buttons == Buttons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                        : QMessageBox::Ok,
                  Owner());
  box.setTextFormat(Qt::PlainText);
  box.setFont(DialogFont());
  // Shown under the fixed text, in the same box: no click needed to read it.
  const std::string_view note = record.detail.empty() ? NoteHere(record.text) : std::string_view(record.detail);
  if (!note.empty()) box.setInformativeText(Text(note));
  Attach(&box, main_);
  const int result = box.exec();
  if (record.buttons == Buttons::Ok) return Answer::Ok;
  if (record.buttons == Buttons::OkCancel) return result == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
  return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtUserInterface::Diagnostic(std::string_view line) {
  diagnostics.emplace_back(line);
  if (diagnostics.size() > kKept) diagnostics.pop_front();
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
  if (!logFile_.empty()) {
    std::ofstream log(logFile_, std::ios::binary | std::ios::app);
    log.write(line.data(), static_cast<std::streamsize>(line.size()));
    log.put('\n');
  }
}

void QtUserInterface::PumpMessage() {
  ++pumps;
  if (pumpHook) pumpHook(pumps);
  if (sincePump_.isValid() && sincePump_.elapsed() < kPumpIntervalMs) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  sincePump_.start();
}

void QtUserInterface::EnableWindow(Window window, bool enabled) {
  QWidget* widget = window == Window::Main ? main_.data() : phonebook_.data();
  if (widget != nullptr) widget->setEnabled(enabled);
}

void QtUserInterface::RedrawWindow(Window window) {
  QWidget* widget = window == Window::Main ? main_.data() : phonebook_.data();
  if (widget != nullptr && widget->isVisible()) widget->repaint();
}

ProgressWindow& QtUserInterface::NewProgress(ProgressKind kind) {
  auto& slot = progress_[kind];
  slot.reset();
  QWidget* owner = kind == ProgressKind::Phonebook && phonebook_ != nullptr ? phonebook_.data() : main_.data();
  slot = std::make_unique<ProgressDialog>(kind, owner);
  return *slot;
}

ProgressWindow* QtUserInterface::Progress(ProgressKind kind) { return ProgressDialogOf(kind); }

ProgressDialog* QtUserInterface::ProgressDialogOf(ProgressKind kind) const {
  auto it = progress_.find(kind);
  return it == progress_.end() ? nullptr : it->second.get();
}

int QtUserInterface::RunDialog(QDialog& dialog) {
  Attach(&dialog, main_);
  if (dialogRunner) return dialogRunner(dialog);
  return dialog.exec();
}

QString QtUserInterface::PickFolder(QWidget* parent, const QString& title, const QString& start) {
  if (folderPicker) return folderPicker(parent, title, start);
  return QFileDialog::getExistingDirectory(parent, title, start);
}

std::optional<int> QtUserInterface::AskSendFormat(int current) {
  SendFormatDialog dialog(Owner(), current);
  if (RunDialog(dialog) != QDialog::Accepted) return std::nullopt;
  return dialog.Format();
}

std::optional<int> QtUserInterface::AskClearMode() {
  ClearModeDialog dialog(Owner());
  if (RunDialog(dialog) != QDialog::Accepted) return std::nullopt;
  return dialog.Mode();
}

std::optional<ReceiveOptions> QtUserInterface::AskReceiveOptions() {
  ReceiveOptionsDialog dialog(Owner(), *this);
  if (RunDialog(dialog) != QDialog::Accepted) return std::nullopt;
  ReceiveOptions options;
  options.mode = dialog.Mode();
  options.target = dialog.Target().toStdString();
  return options;
}

DuplicateChoice QtUserInterface::AskDuplicate(std::string_view name) {
  DuplicateDialog dialog(Owner(), Text(name));
  RunDialog(dialog);
  return dialog.Choice();
}

ReplaceChoice QtUserInterface::AskReplaceFile(std::string_view path) {
  ReplaceFileDialog dialog(Owner(), Text(path));
  RunDialog(dialog);
  return dialog.Choice();
}

bool QtUserInterface::ExpandToPath(std::string_view path) { return expandHook ? expandHook(path) : false; }

}  // namespace quirel::app
