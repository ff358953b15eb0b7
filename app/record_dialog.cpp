#include "app/record_dialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/dialog_units.h"
#include "app/qt_ui.h"
#include "resources/messages.h"

namespace quirel::app {
namespace {

// Field k of a record sits in control 1008 + k (Name 1008 ... Note 1018).
constexpr int kFirstFieldId = 1008;
constexpr int kNoteField = 10;

struct Row {
  int field;
  std::string_view label;
};

// Each group lists its fields top to bottom; the company group shows the web
// address before the fax number.
constexpr Row kPersonal[] = {{0, msg::kNameLabel},
                             {1, msg::kMobileLabel},
                             {2, msg::kPhoneLabel},
                             {3, msg::kPagerLabel},
                             {4, msg::kAddressLabel}};
constexpr Row kCompany[] = {{5, msg::kCompanyNameLabel},
                            {6, msg::kPhoneLabel},
                            {8, msg::kWebLabel},
                            {7, msg::kFaxLabel},
                            {9, msg::kEmailLabel}};

}  // namespace

RecordDialog::RecordDialog(QtUserInterface& ui, QWidget* parent) : QDialog(parent), ui_(ui) {
  setWindowTitle(Text(msg::kRecordDialogTitle));
  setFont(DialogFont());
  setModal(true);
  const DialogUnits du(font());

  auto group = [&](std::string_view title, const Row(&rows)[5], int x) {
    Place(new QGroupBox(Text(title), this), du, kNoId, x, 4, 118, 98);
    int y = 16;
    for (const Row& row : rows) {
      Place(new QLabel(Text(row.label), this), du, kNoId, x + 6, y + 2, 24, 10);
      lines_[static_cast<std::size_t>(row.field)] =
          Place(new QLineEdit(this), du, kFirstFieldId + row.field, x + 30, y, 82, 13);
      y += 17;
    }
  };
  group(msg::kPersonalGroup, kPersonal, 7);
  group(msg::kCompanyGroup, kCompany, 131);

  Place(new QLabel(Text(msg::kNoteLabel), this), du, kNoId, 7, 108, 30, 10);
  note_ = Place(new QPlainTextEdit(this), du, kFirstFieldId + kNoteField, 7, 119, 242, 44);
  note_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  note_->setTabChangesFocus(true);

  auto* save = Place(new QPushButton(Text(msg::kSaveRecordButton), this), du, 1, 62, 170, 50, 15);
  save->setDefault(true);
  auto* back = Place(new QPushButton(Text(msg::kRecordReturnButton), this), du, 1087, 144, 170, 50, 15);
  back->setAutoDefault(false);
  connect(save, &QPushButton::clicked, this, &RecordDialog::Save);
  connect(back, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(du.Size(256, 192));
}

QWidget* RecordDialog::FieldControl(int k) const {
  if (k == kNoteField) return note_;
  if (k < 0 || k > kNoteField) return nullptr;
  return lines_[static_cast<std::size_t>(k)];
}

void RecordDialog::SetFields(const PhonebookRecord& utf8) {
  for (int k = 0; k < kNoteField; ++k) {
    QLineEdit* line = lines_[static_cast<std::size_t>(k)];
    line->setText(Text(utf8.Field(k)));
    line->setCursorPosition(0);  // a long text shows its beginning
  }
  note_->setPlainText(Text(utf8.note));
}

PhonebookRecord RecordDialog::Fields() const {
  PhonebookRecord record;
  for (int k = 0; k < kNoteField; ++k) record.Field(k) = lines_[static_cast<std::size_t>(k)]->text().toStdString();
  record.note = note_->toPlainText().toStdString();
  return record;
}

void RecordDialog::Prepare(EditMode mode, std::string previousName, std::string storePath) {
  mode_ = mode;
  previousName_ = std::move(previousName);
  storePath_ = std::move(storePath);
  outcome_ = SaveOutcome();
  setResult(0);
  lines_[0]->setFocus();
}

void RecordDialog::Save() {
  outcome_ = SaveRecordUtf8(Fields(), mode_, previousName_, storePath_, ui_);
  if (outcome_.saved) {
    accept();
    return;
  }
  if (QWidget* control = FieldControl(outcome_.focusField)) {
    control->setFocus();
    if (auto* line = qobject_cast<QLineEdit*>(control)) line->selectAll();
  }
}

}  // namespace quirel::app
