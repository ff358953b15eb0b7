// "查找": the beginning of a name to look for in the phonebook list.
#pragma once

#include <QDialog>
#include <QString>
#include <cstddef>
#include <string>

class QLineEdit;

namespace quirel::app {

class QtUserInterface;

// The list searches with at most 9 bytes (GBK) after its leading space:
// "确认" refuses a longer text with a message and keeps the dialog open, so
// that nobody is left wondering why a cut search found another name.
class FindDialog final : public QDialog {
  Q_OBJECT

 public:
  static constexpr std::size_t kMaxBytes = 9;

  FindDialog(QtUserInterface& ui, QWidget* parent);

  // The typed text (UTF-8); kept from one use to the next.
  std::string Typed() const;
  QLineEdit* edit() const { return edit_; }

  // "确认".
  void Confirm();

 private:
  QtUserInterface& ui_;
  QLineEdit* edit_ = nullptr;
};

}  // namespace quirel::app
