#include "app/small_dialogs.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>

#include "app/dialog_units.h"
#include "app/qt_ui.h"
#include "link/receive.h"
#include "resources/messages.h"

namespace quirel::app {
namespace {

QPushButton* Button(QDialog* dialog, const DialogUnits& du, int id, std::string_view text, int x, int y, int w, int h) {
  auto* button = Place(new QPushButton(Text(text), dialog), du, id, x, y, w, h);
  button->setAutoDefault(false);
  return button;
}

// The buttons every dialog here ends with: id 1 starts (the default
// button), id 2 cancels.
void OkCancel(QDialog* dialog, const DialogUnits& du, std::string_view okText, int y, int okX, int cancelX, int width) {
  QPushButton* ok = Button(dialog, du, 1, okText, okX, y, width, 16);
  ok->setDefault(true);
  QPushButton* cancel = Button(dialog, du, 2, msg::kCancel, cancelX, y, width, 16);
  QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}

void Prepare(QDialog* dialog, std::string_view title) {
  dialog->setWindowTitle(Text(title));
  dialog->setFont(DialogFont());
  dialog->setModal(true);
}

// Lets the box hold no more than a name record does: 16 bytes of GBK, where
// a Chinese character takes two.
class GbkBytesValidator final : public QValidator {
 public:
  GbkBytesValidator(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}
  State validate(QString& input, int& /*pos*/) const override {
    int bytes = 0;
    for (const char32_t c : input.toUcs4()) bytes += c < 0x80 ? 1 : 2;
    return bytes <= limit_ ? Acceptable : Invalid;
  }

 private:
  int limit_;
};

}  // namespace

CreateDirectoryDialog::CreateDirectoryDialog(QWidget* parent) : QDialog(parent) {
  Prepare(this, msg::kCreateDirectoryTitle);
  const DialogUnits du(font());
  Place(new QLabel(Text(msg::kCreateDirectoryPrompt), this), du, kNoId, 10, 8, 84, 10);
  Place(new QLabel(Text(msg::kCreateDirectoryHint), this), du, kNoId, 96, 8, 60, 10);
  edit_ = Place(new QLineEdit(this), du, kNoId, 10, 22, 146, 14);
  edit_->setObjectName(QStringLiteral("nameEdit"));
  edit_->setMaxLength(16);
  edit_->setValidator(new GbkBytesValidator(16, edit_));
  OkCancel(this, du, msg::kCreate, 44, 30, 96, 40);
  setFixedSize(du.Size(166, 68));
  edit_->setFocus();
}

QString CreateDirectoryDialog::Name() const { return edit_->text(); }

ClearModeDialog::ClearModeDialog(QWidget* parent) : QDialog(parent) {
  Prepare(this, msg::kClearDialogTitle);
  const DialogUnits du(font());
  quick_ = Place(new QRadioButton(Text(msg::kClearQuick), this), du, 1037, 16, 10, 120, 12);
  full_ = Place(new QRadioButton(Text(msg::kClearFull), this), du, 1038, 16, 26, 120, 12);
  quick_->setChecked(true);
  OkCancel(this, du, msg::kStart, 50, 20, 86, 46);
  setFixedSize(du.Size(152, 76));
}

int ClearModeDialog::Mode() const { return full_->isChecked() ? 1 : 0; }

SendFormatDialog::SendFormatDialog(QWidget* parent, int current) : QDialog(parent) {
  Prepare(this, msg::kSendFormatTitle);
  const DialogUnits du(font());
  Place(new QGroupBox(Text(msg::kSendFormatGroup), this), du, kNoId, 8, 4, 170, 52);
  convert_ = Place(new QRadioButton(Text(msg::kSendConvert), this), du, 1083, 16, 18, 156, 12);
  keep_ = Place(new QRadioButton(Text(msg::kSendKeep), this), du, 1084, 16, 36, 156, 12);
  (current == 2 ? keep_ : convert_)->setChecked(true);
  OkCancel(this, du, msg::kStart, 64, 30, 110, 46);
  setFixedSize(du.Size(186, 88));
}

int SendFormatDialog::Format() const { return keep_->isChecked() ? 2 : 1; }

ReceiveOptionsDialog::ReceiveOptionsDialog(QWidget* parent, QtUserInterface& ui) : QDialog(parent), ui_(ui) {
  Prepare(this, msg::kReceiveDialogTitle);
  const DialogUnits du(font());
  Place(new QLabel(Text(msg::kReceiveTo), this), du, kNoId, 8, 10, 28, 10);
  target_ = Place(new QLineEdit(this), du, 1025, 38, 8, 144, 13);
  // The current directory as it is: lower-casing it would name another
  // folder on a file system that tells letter case apart.
  target_->setText(QDir::currentPath());
  QPushButton* browse = Button(this, du, 1075, msg::kBrowse, 186, 7, 42, 15);
  cursor_ = Place(new QRadioButton(Text(msg::kReceiveCursor), this), du, 1083, 12, 30, 200, 12);
  all_ = Place(new QRadioButton(Text(msg::kReceiveAll), this), du, 1084, 12, 46, 200, 12);
  cursor_->setChecked(true);

  QPushButton* start = Button(this, du, 1, msg::kStartReceive, 46, 70, 56, 16);
  start->setDefault(true);
  QPushButton* cancel = Button(this, du, 2, msg::kCancel, 134, 70, 56, 16);
  connect(browse, &QPushButton::clicked, this, &ReceiveOptionsDialog::Browse);
  connect(start, &QPushButton::clicked, this, &ReceiveOptionsDialog::Start);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(du.Size(236, 94));
}

std::uint8_t ReceiveOptionsDialog::Mode() const { return cursor_->isChecked() ? 0xB3 : 0xB1; }

QString ReceiveOptionsDialog::Target() const { return target_->text(); }

void ReceiveOptionsDialog::Browse() {
  const QString chosen = ui_.PickFolder(this, Text(msg::kBrowseTitle), target_->text());
  if (chosen.isEmpty()) {
    ui_.ShowMessage(msg::kChooseFolder, msg::kCaption, Icon::Information);
    return;
  }
  target_->setText(QDir::toNativeSeparators(chosen));
}

void ReceiveOptionsDialog::Start() {
  if (!CheckReceiveTarget(target_->text().toStdString())) {
    ui_.ShowMessage(msg::kBadReceivePath, msg::kCaption, Icon::Error);
    target_->setFocus();
    return;
  }
  accept();
}

DuplicateDialog::DuplicateDialog(QWidget* parent, const QString& name) : QDialog(parent) {
  Prepare(this, msg::kDuplicateTitle);
  const DialogUnits du(font());
  Place(new QLabel(Text(msg::kDuplicateFound), this), du, kNoId, 8, 9, 70, 10);
  auto* edit = Place(new QLineEdit(name, this), du, 1025, 80, 7, 114, 13);
  edit->setReadOnly(true);
  const struct {
    int id;
    std::string_view text;
    int x;
    int width;
    DuplicateChoice choice;
  } buttons[] = {{1088, msg::kReplace, 8, 42, DuplicateChoice::kReplace},
                 {1089, msg::kSkip, 55, 42, DuplicateChoice::kSkip},
                 {1090, msg::kReplaceAll, 102, 48, DuplicateChoice::kReplaceAll},
                 {1091, msg::kCancel, 155, 40, DuplicateChoice::kCancel}};
  for (const auto& b : buttons) {
    QPushButton* button = Button(this, du, b.id, b.text, b.x, 32, b.width, 16);
    const DuplicateChoice choice = b.choice;
    connect(button, &QPushButton::clicked, this, [this, choice] { Choose(choice); });
  }
  setFixedSize(du.Size(202, 56));
}

void DuplicateDialog::Choose(DuplicateChoice choice) {
  choice_ = choice;
  done(choice == DuplicateChoice::kCancel ? QDialog::Rejected : QDialog::Accepted);
}

void DuplicateDialog::reject() {
  // Escape and the close box leave without a choice.
  choice_ = DuplicateChoice::kClosed;
  QDialog::reject();
}

ReplaceFileDialog::ReplaceFileDialog(QWidget* parent, const QString& path) : QDialog(parent) {
  Prepare(this, msg::kCaption);
  const DialogUnits du(font());
  Place(new QLabel(Text(msg::kReplaceFileQuestion), this), du, kNoId, 8, 8, 234, 10);
  auto* edit = Place(new QLineEdit(path, this), du, 1025, 8, 21, 234, 13);
  edit->setReadOnly(true);
  edit->setCursorPosition(0);
  const struct {
    int id;
    std::string_view text;
    int x;
    ReplaceChoice choice;
  } buttons[] = {{1088, msg::kReplace, 8, ReplaceChoice::Replace},
                 {1089, msg::kSkip, 67, ReplaceChoice::Keep},
                 {1090, msg::kReplaceAll, 126, ReplaceChoice::ReplaceAll},
                 {1091, msg::kKeepAll, 185, ReplaceChoice::KeepAll}};
  for (const auto& b : buttons) {
    QPushButton* button = Button(this, du, b.id, b.text, b.x, 42, 57, 16);
    const ReplaceChoice choice = b.choice;
    connect(button, &QPushButton::clicked, this, [this, choice] {
      choice_ = choice;
      accept();
    });
  }
  setFixedSize(du.Size(250, 66));
}

void ReplaceFileDialog::reject() {
  // Escape and the close box keep the local file.
  choice_ = ReplaceChoice::Keep;
  QDialog::reject();
}

}  // namespace quirel::app
