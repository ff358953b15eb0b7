#include "app/phonebook_window.h"

#include <QByteArray>
#include <QGroupBox>
#include <QIcon>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include "app/dialog_units.h"
#include "app/find_dialog.h"
#include "app/qt_ui.h"
#include "app/record_dialog.h"
#include "common/text.h"
#include "link/link.h"
#include "phonebook/window.h"
#include "resources/messages.h"

namespace quirel::app {
namespace {

// Each item keeps its entry's GBK bytes, so that the mirror can tell which
// items are still right without converting them back.
constexpr int kEntryRole = Qt::UserRole;

QByteArray Bytes(const std::string& text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

PhonebookWindow::PhonebookWindow(Link& link, QtUserInterface& ui, PhonebookFiles files, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      ui_(ui),
      files_(std::move(files)),
      exchange_(link, ui, files_, model_) {
  setWindowTitle(Text(msg::kPhonebookTitle));
  setWindowIcon(QIcon(QStringLiteral(":/quirel/quirel.png")));
  setFont(DialogFont());
  Build();
  // After the window's own controls, so that looking a control up by its id
  // finds the window's before the dialogs'.
  record_ = std::make_unique<RecordDialog>(ui_, this);
  find_ = std::make_unique<FindDialog>(ui_, this);
  ui_.SetPhonebookWindow(this);
}

PhonebookWindow::~PhonebookWindow() = default;

void PhonebookWindow::Build() {
  const DialogUnits du(font());
  Place(new QGroupBox(Text(msg::kNameGroup), this), du, kNoId, 6, 3, 168, 130);
  list_ = Place(new QListWidget(this), du, 1006, 12, 14, 156, 114);
  // Names run down a column and on into the next one; the list scrolls
  // sideways only. The widget keeps the model's order, never its own.
  list_->setViewMode(QListView::ListMode);
  list_->setFlow(QListView::TopToBottom);
  list_->setWrapping(true);
  list_->setResizeMode(QListView::Adjust);
  list_->setMovement(QListView::Static);
  list_->setUniformItemSizes(true);
  list_->setSortingEnabled(false);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list_->setTextElideMode(Qt::ElideRight);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { OnEdit(); });

  const struct {
    int id;
    std::string_view text;
    void (PhonebookWindow::*command)();
  } buttons[] = {
      {1000, msg::kAddButton, &PhonebookWindow::OnAdd},
      {1005, msg::kDeleteButton, &PhonebookWindow::OnDelete},
      {1002, msg::kEditButton, &PhonebookWindow::OnEdit},
      {1001, msg::kFindButton, &PhonebookWindow::OnFind},
      {1003, msg::kPhonebookSendButton, &PhonebookWindow::OnSend},
      {1004, msg::kPhonebookReceiveButton, &PhonebookWindow::OnReceive},
      {1007, msg::kPhonebookClearButton, &PhonebookWindow::OnClearReader},
      {1, msg::kReturnButton, nullptr},
  };
  int y = 6;
  for (const auto& b : buttons) {
    auto* button = Place(new QPushButton(Text(b.text), this), du, b.id, 181, y, 46, 14);
    button->setAutoDefault(false);
    if (b.command != nullptr) {
      connect(button, &QPushButton::clicked, this, b.command);
    } else {
      button->setDefault(true);
      connect(button, &QPushButton::clicked, this, &QDialog::accept);
    }
    y += 16;
  }
  setFixedSize(du.Size(233, 138));
}

bool PhonebookWindow::Initialise() {
  exchange_.ProbePorts();
  if (!LoadPhonebookList(files_, model_, ui_)) return false;
  Mirror();
  return true;
}

int PhonebookWindow::Run() {
  if (!Initialise()) return QDialog::Rejected;
  return ui_.RunDialog(*this);
}

int PhonebookWindow::ColumnWidth() const { return list_->gridSize().width(); }

QStringList PhonebookWindow::EntryTexts() const {
  QStringList texts;
  for (int i = 0; i < list_->count(); ++i) texts << list_->item(i)->text();
  return texts;
}

void PhonebookWindow::TakeSelection() {
  const int count = list_->count();
  for (int i = 0; i < count && static_cast<std::size_t>(i) < model_.Size(); ++i)
    model_.Select(static_cast<std::size_t>(i), list_->item(i)->isSelected());
  const int current = list_->currentRow();
  model_.SetCurrent(current >= 0 && static_cast<std::size_t>(current) < model_.Size()
                        ? std::optional<std::size_t>(static_cast<std::size_t>(current))
                        : std::nullopt);
}

void PhonebookWindow::Mirror() {
  const QSignalBlocker block(list_);
  const auto& entries = model_.Entries();
  bool same = static_cast<std::size_t>(list_->count()) == entries.size();
  for (std::size_t i = 0; same && i < entries.size(); ++i)
    same = list_->item(static_cast<int>(i))->data(kEntryRole).toByteArray() == Bytes(entries[i].text);

  const int width = model_.ColumnWidth();
  if (!same) {
    list_->clear();
    for (const auto& entry : entries) {
      auto* item = new QListWidgetItem(Text(GbkToUtf8(entry.text)));
      item->setData(kEntryRole, Bytes(entry.text));
      list_->addItem(item);
    }
  }
  // The column width is the model's; before any name set one, the items
  // keep their natural width.
  const QSize cell(width, kPhonebookItemHeight);
  list_->setGridSize(width > 0 ? cell : QSize());
  for (int i = 0; i < list_->count(); ++i) {
    QListWidgetItem* item = list_->item(i);
    item->setSizeHint(width > 0 ? cell : QSize());
    item->setSelected(entries[static_cast<std::size_t>(i)].selected);
  }
  if (const auto current = model_.Current(); current && *current < entries.size()) {
    list_->setCurrentRow(static_cast<int>(*current), QItemSelectionModel::NoUpdate);
    list_->scrollToItem(list_->item(static_cast<int>(*current)));
  } else {
    list_->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
  }
  list_->viewport()->update();
}

void PhonebookWindow::OnAdd() {
  TakeSelection();
  record_->SetFields(PhonebookRecord());
  record_->Prepare(EditMode::Add, std::string(), files_.store);
  if (ui_.RunDialog(*record_) == QDialog::Accepted) AfterAdd(model_, record_->Outcome());
  Mirror();
}

void PhonebookWindow::OnDelete() {
  TakeSelection();
  // Every outcome has shown what it needs to; the list is mirrored either way.
  (void)DeleteSelected(model_, files_, ui_);
  Mirror();
}

void PhonebookWindow::OnEdit() {
  TakeSelection();
  const auto start = BeginEdit(model_, files_, ui_);
  if (start) {
    record_->SetFields(RecordToUtf8(start->record));
    record_->Prepare(EditMode::Edit, start->previousName, files_.store);
    if (ui_.RunDialog(*record_) == QDialog::Accepted) AfterEdit(model_, start->previousName, record_->Outcome());
  }
  // Also when the edit did not start: a name the store no longer holds has
  // left the model.
  Mirror();
}

void PhonebookWindow::OnFind() {
  TakeSelection();
  std::optional<std::string> typed;
  find_->setResult(0);
  if (ui_.RunDialog(*find_) == QDialog::Accepted) typed = find_->Typed();
  FindName(model_, typed, ui_);
  Mirror();
}

void PhonebookWindow::OnSend() {
  TakeSelection();
  (void)exchange_.SendPhonebook();  // every outcome has been shown
  Mirror();
}

void PhonebookWindow::OnReceive() {
  TakeSelection();
  // The merge adds names to the list as it goes; when the store is not
  // written in the end (cancelled, or the write failed) the list goes back
  // to what it was, which is what the store still holds.
  const PhonebookList before = model_;
  if (exchange_.ReceivePhonebook() != PhonebookResult::Done) model_ = before;
  Mirror();
}

void PhonebookWindow::OnClearReader() {
  TakeSelection();
  (void)exchange_.ClearReaderPhonebook();  // every outcome has been shown
  Mirror();
}

void RunPhonebookCommand(QWidget* parent, Link& link, const Environment& env, QtUserInterface& ui) {
  const PhonebookFiles files = PhonebookFiles::For(env);
  if (!PreparePhonebookStore(files, ui)) return;
  PhonebookWindow window(link, ui, files, parent);
  window.Run();
}

}  // namespace quirel::app
