#include "app/find_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/dialog_units.h"
#include "app/qt_ui.h"
#include "common/text.h"
#include "resources/messages.h"

namespace quirel::app {

FindDialog::FindDialog(QtUserInterface& ui, QWidget* parent) : QDialog(parent), ui_(ui) {
  setWindowTitle(Text(msg::kFindDialogTitle));
  setFont(DialogFont());
  setModal(true);
  const DialogUnits du(font());
  Place(new QLabel(Text(msg::kFindPrompt), this), du, kNoId, 8, 11, 52, 10);
  edit_ = Place(new QLineEdit(this), du, 1010, 60, 9, 80, 13);
  auto* ok = Place(new QPushButton(Text(msg::kConfirm), this), du, 1, 50, 30, 48, 15);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &FindDialog::Confirm);
  setFixedSize(du.Size(148, 52));
  edit_->setFocus();
}

std::string FindDialog::Typed() const { return edit_->text().toStdString(); }

void FindDialog::Confirm() {
  // A text without a GBK form cannot begin any name; the search then simply
  // finds nothing.
  std::string gbk;
  if (Utf8ToGbk(Typed(), gbk) && gbk.size() > kMaxBytes) {
    ui_.ShowMessage(msg::kFindTextTooLong, msg::kCaption, Icon::Warning);
    edit_->setFocus();
    edit_->selectAll();
    return;
  }
  accept();
}

}  // namespace quirel::app
