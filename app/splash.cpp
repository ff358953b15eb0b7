#include "app/splash.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

namespace quirel::app {

SplashWindow* SplashWindow::ShowFor(QWidget* owner, const QString& picture) {
  QPixmap pixmap(picture);
  if (pixmap.isNull()) return nullptr;
  auto* splash = new SplashWindow(pixmap, owner);
  splash->show();
  return splash;
}

SplashWindow::SplashWindow(const QPixmap& picture, QWidget* owner)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(picture),
      owner_(owner) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setCursor(Qt::ArrowCursor);
  setFixedSize(picture_.deviceIndependentSize().toSize());
  if (QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr)
    move(screen->geometry().center() - rect().center());
  timer_.setSingleShot(true);
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, &SplashWindow::Dismiss);
  timer_.start();
  qApp->installEventFilter(this);
}

SplashWindow::~SplashWindow() {
  if (qApp != nullptr) qApp->removeEventFilter(this);
}

void SplashWindow::Dismiss() {
  if (dismissed_) return;
  dismissed_ = true;
  timer_.stop();
  qApp->removeEventFilter(this);
  hide();
  deleteLater();
  if (owner_ != nullptr && owner_->isVisible()) owner_->repaint();
}

bool SplashWindow::eventFilter(QObject* watched, QEvent* event) {
  if (dismissed_) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      // Claim the key so that no shortcut fires; the key press that
      // follows is the one the splash takes.
      event->accept();
      return true;
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
      Dismiss();
      return true;
    default:
      return QWidget::eventFilter(watched, event);
  }
}

void SplashWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, picture_);
}

}  // namespace quirel::app
