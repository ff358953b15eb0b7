// "电话本": the phonebook window. The list of names lives in the core's
// PhonebookList (sorted order, column width, selection); the window only runs
// the dialogs and mirrors that list into its list widget after each command.
#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>

#include "common/environment.h"
#include "phonebook/list.h"
#include "phonebook/store.h"
#include "phonebook/transfer.h"

class QListWidget;

namespace quirel {
class Link;
}

namespace quirel::app {

class FindDialog;
class QtUserInterface;
class RecordDialog;

// Every row of the list is this many pixels high.
inline constexpr int kPhonebookItemHeight = 22;

class PhonebookWindow final : public QDialog {
  Q_OBJECT

 public:
  PhonebookWindow(Link& link, QtUserInterface& ui, PhonebookFiles files, QWidget* parent);
  ~PhonebookWindow() override;

  // The opening: the port probe, then the names from the store. false when
  // the store cannot be read (message shown): the window is not run.
  bool Initialise();
  // Initialise, then the window modally; QDialog::Accepted or Rejected.
  int Run();

  // The buttons.
  void OnAdd();
  void OnDelete();
  void OnEdit();
  void OnFind();
  void OnSend();
  void OnReceive();
  void OnClearReader();

  QListWidget* list() const { return list_; }
  const PhonebookList& model() const { return model_; }
  PhonebookExchange& exchange() { return exchange_; }
  RecordDialog& recordDialog() { return *record_; }
  FindDialog& findDialog() { return *find_; }
  // The width of one column of names, in pixels.
  int ColumnWidth() const;
  // The entries as the list shows them (UTF-8, leading space included).
  QStringList EntryTexts() const;

 private:
  void Build();
  // The person's selection and focus, from the widget into the model.
  void TakeSelection();
  // The model into the widget: entries, selection, focus, column width.
  void Mirror();

  QtUserInterface& ui_;
  PhonebookFiles files_;
  PhonebookList model_;
  PhonebookExchange exchange_;
  QListWidget* list_ = nullptr;
  // One record dialog and one find dialog serve every use, so that find
  // keeps the last typed text.
  std::unique_ptr<RecordDialog> record_;
  std::unique_ptr<FindDialog> find_;
};

// The phonebook command of the main dialog: checks the store (starting an
// empty one after damage) and runs the phonebook window over parent.
void RunPhonebookCommand(QWidget* parent, Link& link, const Environment& env, QtUserInterface& ui);

}  // namespace quirel::app
