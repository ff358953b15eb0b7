// The splash picture: shown centred for a second when the main dialog is
// created, or until the first key or mouse press anywhere in the program,
// which it takes for itself.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace quirel::app {

class SplashWindow final : public QWidget {
  Q_OBJECT

 public:
  // Shows the picture from the resources for owner; nullptr (no splash)
  // when the picture cannot be loaded.
  static SplashWindow* ShowFor(QWidget* owner, const QString& picture = QStringLiteral(":/quirel/splash.png"));

  SplashWindow(const QPixmap& picture, QWidget* owner);
  ~SplashWindow() override;

  // Hides and destroys the splash, then repaints its owner.
  void Dismiss();
  int timerInterval() const { return timer_.interval(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap picture_;
  QWidget* owner_;
  QTimer timer_;
  bool dismissed_ = false;
};

}  // namespace quirel::app
