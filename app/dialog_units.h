// Dialog units: the window layouts are given in units of the dialog font, a
// quarter of its average character width across and an eighth of its
// character height down, so that they grow with the font.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <string_view>

class QWidget;

namespace quirel::app {

// The program's texts are UTF-8.
inline QString Text(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The dialogs' font: a CJK face of 12 pixels (the size of a 9-point system
// font on a 96-dpi screen), falling back to whatever the system has.
QFont DialogFont();

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int X(int du) const { return du * baseX_ / 4; }
  int Y(int du) const { return du * baseY_ / 8; }
  QRect Rect(int x, int y, int width, int height) const { return {X(x), Y(y), X(width), Y(height)}; }
  QSize Size(int width, int height) const { return {X(width), Y(height)}; }

  int baseX() const { return baseX_; }  // average character width in pixels
  int baseY() const { return baseY_; }  // character height in pixels

 private:
  int baseX_;
  int baseY_;
};

inline constexpr int kNoId = -1;  // a control without an id (statics, frames)

// Puts a control at its place (in dialog units) and gives it its id as the
// "controlId" property, by which tests and the rest of the program find it.
QWidget* PlaceControl(QWidget* control, const DialogUnits& units, int id, int x, int y, int width, int height);

template <class W>
W* Place(W* control, const DialogUnits& units, int id, int x, int y, int width, int height) {
  PlaceControl(control, units, id, x, y, width, height);
  return control;
}

// The child of root whose controlId is id, or nullptr.
QWidget* FindControl(const QWidget* root, int id);

}  // namespace quirel::app
