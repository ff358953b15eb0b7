// The modeless progress windows of the long operations: send (138), clear
// (179), receive (1002) and the phonebook exchange (189). Each shows the
// file in work, its bars and an interrupt button that sets the window's
// interrupt flag; the operation polls the flag between bytes.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

#include "common/progress_bar.h"
#include "common/ui.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace quirel::app {

class ProgressDialog final : public QDialog, public ProgressWindow {
  Q_OBJECT

 public:
  ProgressDialog(ProgressKind kind, QWidget* owner);
  ~ProgressDialog() override;

  void Show() override;
  void Hide() override;
  void SetLabel(std::string_view text) override;
  void SetRange(Bar bar, int low, int high) override;
  void SetStep(Bar bar, int step) override;
  void SetPos(Bar bar, int pos) override;
  void StepIt(Bar bar) override;
  bool InterruptRequested() const override { return interrupt_; }
  void ClearInterrupt() override { interrupt_ = false; }

  ProgressKind kind() const { return kind_; }
  const BarModel& Model(Bar bar) const { return bar == Bar::File ? file_ : overall_; }
  QString Label() const;
  QPushButton* interruptButton() const { return interruptButton_; }

  // The interrupt button: sets the flag; the send and phonebook windows
  // also hide themselves.
  void RequestInterrupt();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void Mirror(Bar bar);

  ProgressKind kind_;
  QPointer<QWidget> owner_;  // the window may close before this one is destroyed
  bool interrupt_ = false;
  bool placed_ = false;
  BarModel file_;
  BarModel overall_;
  QLabel* label_ = nullptr;          // the file in work (none in the phonebook window)
  QProgressBar* fileBar_ = nullptr;  // none in the phonebook window
  QProgressBar* overallBar_ = nullptr;
  QPushButton* interruptButton_ = nullptr;
};

}  // namespace quirel::app
