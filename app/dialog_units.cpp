#include "app/dialog_units.h"

#include <QFontMetrics>
#include <QStringList>
#include <QVariant>
#include <QWidget>

namespace quirel::app {

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

}  // namespace quirel::app
