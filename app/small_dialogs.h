// The small modal dialogs: create a directory (137), clear mode (139), send
// format (188), receive options (194), the duplicate-name prompt (197) and
// the question before a received file replaces a local one.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

#include "common/ui.h"

class QLineEdit;
class QRadioButton;

namespace quirel::app {

class QtUserInterface;

// "创建电子书目录": one edit that takes at most 16 characters.
class CreateDirectoryDialog final : public QDialog {
  Q_OBJECT
 public:
  explicit CreateDirectoryDialog(QWidget* parent);
  QString Name() const;
  QLineEdit* edit() const { return edit_; }

 private:
  QLineEdit* edit_;
};

// "电子书清空": quick (0, the default) or full (1).
class ClearModeDialog final : public QDialog {
  Q_OBJECT
 public:
  explicit ClearModeDialog(QWidget* parent);
  int Mode() const;

 private:
  QRadioButton* quick_;
  QRadioButton* full_;
};

// "传送格式": convert (1) or keep each file's format (2).
class SendFormatDialog final : public QDialog {
  Q_OBJECT
 public:
  SendFormatDialog(QWidget* parent, int current);
  int Format() const;

 private:
  QRadioButton* convert_;
  QRadioButton* keep_;
};

// "接收文件": target folder and what to receive. "开始接收" closes the dialog
// only for an acceptable target.
class ReceiveOptionsDialog final : public QDialog {
  Q_OBJECT
 public:
  ReceiveOptionsDialog(QWidget* parent, QtUserInterface& ui);
  std::uint8_t Mode() const;
  QString Target() const;

  void Browse();
  void Start();

 private:
  QtUserInterface& ui_;
  QLineEdit* target_;
  QRadioButton* cursor_;
  QRadioButton* all_;
};

// "提示": a name received from the reader that the phonebook already has.
// Replace, skip, replace all, cancel; kClosed when closed without a button.
class DuplicateDialog final : public QDialog {
  Q_OBJECT
 public:
  DuplicateDialog(QWidget* parent, const QString& name);
  DuplicateChoice Choice() const { return choice_; }

 protected:
  void reject() override;

 private:
  void Choose(DuplicateChoice choice);
  DuplicateChoice choice_ = DuplicateChoice::kClosed;
};

// A received file would replace a local file of other content: the
// question names the file; closing it keeps the local file.
class ReplaceFileDialog final : public QDialog {
  Q_OBJECT
 public:
  ReplaceFileDialog(QWidget* parent, const QString& path);
  ReplaceChoice Choice() const { return choice_; }

 protected:
  void reject() override;

 private:
  ReplaceChoice choice_ = ReplaceChoice::Keep;
};

}  // namespace quirel::app
