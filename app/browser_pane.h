// The browser pane below the buttons: shows a local file, a web page
// rendered, anything else as text. The help page is shown here too.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTextBrowser>
#include <QWidget>

#include "app/dialog_units.h"

namespace quirel::app {

// How the pane reads a file's bytes: a web page in the coding its meta
// charset names, any other file (or a page naming none) as UTF-8 when the
// bytes are valid UTF-8, else as GBK.
QString DecodeDocument(const QByteArray& bytes, bool webPage);
// The charset a web page declares in its head ("" when none), lower case.
QByteArray DeclaredCharset(const QByteArray& page);
bool IsWebPageName(const QString& path);

class PageView final : public QTextBrowser {
  Q_OBJECT
 public:
  explicit PageView(QWidget* parent);
  // Shows a local file; a missing or unreadable one leaves the view empty.
  void Navigate(const QString& path);
  const QString& current() const { return current_; }

 private:
  void FollowLink(const QUrl& url);
  QString current_;
};

// The host pane (339 x 79 dialog units) with the view at (0, 1, 339, 77),
// which grows with the pane.
class BrowserPane final : public QWidget {
  Q_OBJECT
 public:
  BrowserPane(QWidget* parent, const DialogUnits& units);
  PageView* view() const { return view_; }
  void Navigate(const QString& path) { view_->Navigate(path); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  PageView* view_;
  StretchLayout layout_;
};

}  // namespace quirel::app
