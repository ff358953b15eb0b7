// Dialog units: the window layouts are given in units of the dialog font, a
// quarter of its average character width across and an eighth of its
// character height down, so that they grow with the font.
#pragma once

#include <QFont>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <string_view>
#include <utility>
#include <vector>

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

// How a control follows its window along one axis when the window is not
// at the size it was laid out for: kGrow moves both of its edges with the
// window; kKeep keeps its length and moves its middle (in a window smaller
// than that, it shrinks with the others rather than run into them).
enum class Follow { kKeep, kGrow };

// The layout of a window's controls at their classic size and how it
// stretches. Each axis is cut into bands: the fixed ones (a row of buttons)
// keep their length, the others share the extra length in proportion to
// their classic lengths. At the classic size every control stays exactly
// where it was placed, and controls that did not overlap there do not
// overlap at any other size.
class StretchLayout {
 public:
  using Band = std::pair<int, int>;  // [from, to) in pixels of the classic layout

  StretchLayout(QSize classic, std::vector<Band> fixedAcross, std::vector<Band> fixedDown);

  // Remembers the control's present geometry as its classic one.
  void Add(QWidget* control, Follow across, Follow down);
  // Places every control for a window of this size.
  void Apply(QSize size) const;

 private:
  struct Item {
    QPointer<QWidget> control;
    QRect classic;
    Follow across;
    Follow down;
  };
  QSize classic_;
  std::vector<Band> fixedAcross_;
  std::vector<Band> fixedDown_;
  std::vector<Item> items_;
};

}  // namespace quirel::app
