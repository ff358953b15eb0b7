#include "app/progress_dialog.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "app/dialog_units.h"
#include "resources/messages.h"

namespace quirel::app {

namespace {

QProgressBar* MakeBar(QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setTextVisible(false);
  return bar;
}

// A run of spaces, longer than what is left of the first line, pushes the
// warning of the clear window to a line of its own.
constexpr int kWarningIndent = 96;

QString ClearWindowText() {
  return Text(msg::kClearProgressText) + QString(kWarningIndent, QLatin1Char(' ')) + Text(msg::kClearProgressWarning);
}

}  // namespace

ProgressDialog::ProgressDialog(ProgressKind kind, QWidget* owner) : QDialog(nullptr), kind_(kind), owner_(owner) {
  // Not a child of the main window: that window is disabled while the
  // operation runs, and a child would be disabled with it.
  setAttribute(Qt::WA_DeleteOnClose, false);
  setModal(false);
  setFont(DialogFont());
  const DialogUnits du(font());

  switch (kind) {
    case ProgressKind::Clear: {
      setWindowTitle(Text(msg::kClearProgressTitle));
      auto* text = Place(new QLabel(ClearWindowText(), this), du, kNoId, 10, 6, 200, 34);
      text->setWordWrap(true);
      text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label_ = Place(new QLabel(this), du, 1079, 10, 44, 200, 10);
      fileBar_ = Place(MakeBar(this), du, 1080, 10, 56, 200, 10);
      overallBar_ = Place(MakeBar(this), du, 1031, 10, 70, 200, 10);
      interruptButton_ = Place(new QPushButton(Text(msg::kClearInterrupt), this), du, 1, 80, 86, 60, 16);
      setFixedSize(du.Size(220, 110));
      break;
    }
    case ProgressKind::Receive: {
      setWindowTitle(Text(msg::kReceiveDialogTitle));
      label_ = Place(new QLabel(this), du, 1078, 10, 8, 200, 10);
      fileBar_ = Place(MakeBar(this), du, 1077, 10, 22, 200, 10);
      overallBar_ = Place(MakeBar(this), du, 1076, 10, 36, 200, 10);
      interruptButton_ = Place(new QPushButton(Text(msg::kReceiveInterrupt), this), du, 1, 80, 54, 60, 16);
      setFixedSize(du.Size(220, 78));
      break;
    }
    case ProgressKind::Send: {
      setWindowTitle(Text(msg::kSendProgressTitle));
      Place(new QLabel(Text(msg::kSendProgressText), this), du, kNoId, 10, 6, 200, 10);
      label_ = Place(new QLabel(this), du, 1032, 10, 20, 200, 10);
      fileBar_ = Place(MakeBar(this), du, 1060, 10, 34, 200, 10);
      overallBar_ = Place(MakeBar(this), du, 1031, 10, 48, 200, 10);
      interruptButton_ = Place(new QPushButton(Text(msg::kSendInterrupt), this), du, 1, 80, 66, 60, 16);
      setFixedSize(du.Size(220, 90));
      break;
    }
    case ProgressKind::Phonebook: {
      setWindowTitle(Text(msg::kExchangeTitle));
      Place(new QLabel(Text(msg::kExchangeText1), this), du, kNoId, 10, 8, 36, 10);
      Place(new QLabel(Text(msg::kExchangeText2), this), du, kNoId, 46, 8, 50, 10);
      Place(new QLabel(Text(msg::kExchangeText3), this), du, kNoId, 96, 8, 90, 10);
      overallBar_ = Place(MakeBar(this), du, 1076, 10, 24, 180, 10);
      interruptButton_ = Place(new QPushButton(Text(msg::kSendInterrupt), this), du, 1, 70, 42, 60, 16);
      setFixedSize(du.Size(200, 66));
      break;
    }
  }
  if (label_ != nullptr) label_->setTextFormat(Qt::PlainText);
  interruptButton_->setAutoDefault(false);
  connect(interruptButton_, &QPushButton::clicked, this, &ProgressDialog::RequestInterrupt);
  Mirror(Bar::File);
  Mirror(Bar::Overall);
}

ProgressDialog::~ProgressDialog() = default;

void ProgressDialog::Show() {
  if (!placed_) {
    placed_ = true;
    // Centred over the window that started the operation, and kept above it.
    if (owner_ != nullptr) {
      winId();
      if (QWindow* handle = windowHandle(); handle != nullptr && owner_->windowHandle() != nullptr)
        handle->setTransientParent(owner_->windowHandle());
      const QRect area = owner_->isVisible() ? owner_->frameGeometry() : QGuiApplication::primaryScreen()->geometry();
      move(area.center() - rect().center());
    }
  }
  show();
  raise();
}

void ProgressDialog::Hide() { hide(); }

void ProgressDialog::SetLabel(std::string_view text) {
  if (label_ != nullptr) label_->setText(Text(text));
}

QString ProgressDialog::Label() const { return label_ != nullptr ? label_->text() : QString(); }

void ProgressDialog::SetRange(Bar bar, int low, int high) {
  (bar == Bar::File ? file_ : overall_).SetRange(low, high);
  Mirror(bar);
}

void ProgressDialog::SetStep(Bar bar, int step) { (bar == Bar::File ? file_ : overall_).step = step; }

void ProgressDialog::SetPos(Bar bar, int pos) {
  (bar == Bar::File ? file_ : overall_).SetPos(pos);
  Mirror(bar);
}

void ProgressDialog::StepIt(Bar bar) {
  (bar == Bar::File ? file_ : overall_).StepIt();
  Mirror(bar);
}

void ProgressDialog::Mirror(Bar bar) {
  QProgressBar* widget = bar == Bar::File ? fileBar_ : overallBar_;
  if (widget == nullptr) return;
  const BarModel& model = Model(bar);
  // The widget counts from 0; an empty range would make it a busy indicator.
  const int span = std::max(1, model.high - model.low);
  if (widget->maximum() != span) widget->setRange(0, span);
  widget->setValue(std::clamp(model.pos - model.low, 0, span));
}

void ProgressDialog::RequestInterrupt() {
  interrupt_ = true;
  if (kind_ == ProgressKind::Send || kind_ == ProgressKind::Phonebook) hide();
}

void ProgressDialog::closeEvent(QCloseEvent* event) {
  // Closing the window asks for the same as its interrupt button; the
  // operation hides the window once it has stopped.
  event->ignore();
  RequestInterrupt();
}

void ProgressDialog::reject() { RequestInterrupt(); }

}  // namespace quirel::app
