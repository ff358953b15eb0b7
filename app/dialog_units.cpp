#include "app/dialog_units.h"

#include <QFontMetrics>
#include <QStringList>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace quirel::app {
namespace {

// Where the classic coordinate `at` goes on an axis of `length` pixels: the
// extra length is shared by the stretching bands before it.
double Map(double at, int length, int classic, const std::vector<StretchLayout::Band>& fixed) {
  const auto stretching = [&fixed](double to) {
    double stretched = to;
    for (const auto& [from, end] : fixed)
      stretched -= std::clamp(to, static_cast<double>(from), static_cast<double>(end)) - from;
    return stretched;
  };
  const double total = stretching(classic);
  if (total <= 0) return at;
  return at + (length - classic) * stretching(at) / total;
}

// Rounds so that a run of controls that touch at the classic size still
// touches and does not overlap.
int Pixel(double at) { return static_cast<int>(std::floor(at + 0.5)); }

// The start and length of a control on one axis: a growing control spans
// what its classic span maps to; a kept one sits in the middle of that at
// its classic length, or fills it where the window is smaller than classic
// (the tolerance is for the sums of a fixed band, which keep its length).
std::pair<int, int> Span(int start, int length, Follow follow, int size, int classic,
                         const std::vector<StretchLayout::Band>& fixed) {
  const double from = Map(start, size, classic, fixed);
  const double to = Map(start + length, size, classic, fixed);
  if (follow == Follow::kKeep && to - from + 1e-9 >= length) return {Pixel((from + to - length) / 2), length};
  return {Pixel(from), std::max(Pixel(to) - Pixel(from), 0)};
}

}  // namespace

QFont DialogFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                    QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Source Han Sans SC"),
                    QStringLiteral("AR PL UMing CN"), QStringLiteral("Droid Sans Fallback")});
  font.setPixelSize(12);
  return font;
}

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average width is taken over the 52 Latin letters and rounded, as the
  // classic dialog managers measure it.
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = (letters / 26 + 1) / 2;
  baseY_ = metrics.height();
  if (baseX_ < 1) baseX_ = 1;
  if (baseY_ < 1) baseY_ = 1;
}

QWidget* PlaceControl(QWidget* control, const DialogUnits& units, int id, int x, int y, int width, int height) {
  if (id != kNoId) control->setProperty("controlId", id);
  control->setGeometry(units.Rect(x, y, width, height));
  return control;
}

QWidget* FindControl(const QWidget* root, int id) {
  if (root == nullptr) return nullptr;
  const auto children = root->findChildren<QWidget*>();
  for (QWidget* child : children) {
    const QVariant value = child->property("controlId");
    if (value.isValid() && value.toInt() == id) return child;
  }
  return nullptr;
}

StretchLayout::StretchLayout(QSize classic, std::vector<Band> fixedAcross, std::vector<Band> fixedDown)
    : classic_(classic), fixedAcross_(std::move(fixedAcross)), fixedDown_(std::move(fixedDown)) {}

void StretchLayout::Add(QWidget* control, Follow across, Follow down) {
  items_.push_back({control, control->geometry(), across, down});
}

void StretchLayout::Apply(QSize size) const {
  for (const Item& item : items_) {
    if (item.control == nullptr) continue;
    const QRect& at = item.classic;
    const auto [x, width] = Span(at.x(), at.width(), item.across, size.width(), classic_.width(), fixedAcross_);
    const auto [y, height] = Span(at.y(), at.height(), item.down, size.height(), classic_.height(), fixedDown_);
    item.control->setGeometry(x, y, width, height);
  }
}

}  // namespace quirel::app
