// "详细情况": one phonebook record's eleven fields. The texts are typed in
// Unicode and saved as GBK; "存贮" writes the store and closes the dialog only
// when the record went in, otherwise it stays open on the field to correct.
#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "phonebook/store.h"

class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace quirel::app {

class QtUserInterface;

class RecordDialog final : public QDialog {
  Q_OBJECT

 public:
  RecordDialog(QtUserInterface& ui, QWidget* parent);

  // Shows the fields (UTF-8) in the controls, for the next run.
  void SetFields(const PhonebookRecord& utf8);
  // What the controls hold now (UTF-8; the note's line breaks as "\n").
  PhonebookRecord Fields() const;
  // The store the next "存贮" writes, and whether it adds or replaces
  // previousName (GBK). Starts every run with SaveResult 2.
  void Prepare(EditMode mode, std::string previousName, std::string storePath);

  // "存贮".
  void Save();
  // The result of the last "存贮".
  const SaveOutcome& Outcome() const { return outcome_; }
  EditMode Mode() const { return mode_; }

  // The control of field k (0 = Name ... 10 = Note).
  QWidget* FieldControl(int k) const;

 private:
  QtUserInterface& ui_;
  std::array<QLineEdit*, 10> lines_{};  // Name ... Email
  QPlainTextEdit* note_ = nullptr;
  EditMode mode_ = EditMode::Add;
  std::string previousName_;
  std::string storePath_;
  SaveOutcome outcome_;
};

}  // namespace quirel::app
