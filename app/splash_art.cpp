#include "app/splash_art.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace quirel::app {
namespace {

const QColor kInk(0x1d, 0x2b, 0x3a);
const QColor kPaper(0xf4, 0xee, 0xdf);
const QColor kGold(0xc9, 0xa2, 0x4d);
const QColor kCinnabar(0xb8, 0x3a, 0x2e);

QFont Face(const char* family, int pixels, int weight) {
  QFont font;
  font.setFamilies({QString::fromLatin1(family), QStringLiteral("Noto Serif CJK SC"),
                    QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei")});
  font.setPixelSize(pixels);
  font.setWeight(static_cast<QFont::Weight>(weight));
  return font;
}

// A handheld reader: a dark rounded body, a paper-coloured screen with
// rows of text and a page number, and a row of round keys below.
void DrawReader(QPainter& p, const QRectF& body) {
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 70));
  p.drawRoundedRect(body.translated(6, 8), 18, 18);
  QLinearGradient shell(body.topLeft(), body.bottomRight());
  shell.setColorAt(0, QColor(0x3b, 0x4a, 0x5c));
  shell.setColorAt(1, QColor(0x18, 0x22, 0x2e));
  p.setBrush(shell);
  p.setPen(QPen(QColor(0x62, 0x72, 0x85), 1.5));
  p.drawRoundedRect(body, 18, 18);

  const QRectF screen(body.left() + 16, body.top() + 20, body.width() - 32, body.height() * 0.68);
  p.setPen(QPen(QColor(0x0d, 0x14, 0x1c), 2));
  p.setBrush(kPaper);
  p.drawRoundedRect(screen, 4, 4);

  p.setPen(QColor(0x4a, 0x44, 0x3a));
  p.setFont(Face("Noto Serif CJK SC", 13, QFont::Normal));
  const QString lines[] = {QStringLiteral("　卷一　春水"),     QStringLiteral("春江潮水连海平，"),
                           QStringLiteral("海上明月共潮生。"), QStringLiteral("滟滟随波千万里，"),
                           QStringLiteral("何处春江无月明！"), QStringLiteral("江流宛转绕芳甸，"),
                           QStringLiteral("月照花林皆似霰。")};
  qreal y = screen.top() + 22;
  for (const QString& line : lines) {
    if (y > screen.bottom() - 20) break;
    p.drawText(QPointF(screen.left() + 12, y), line);
    y += 21;
  }
  p.setFont(Face("Noto Sans CJK SC", 10, QFont::Normal));
  p.setPen(QColor(0x8a, 0x80, 0x70));
  p.drawText(QRectF(screen.left(), screen.bottom() - 16, screen.width() - 10, 14), Qt::AlignRight,
             QStringLiteral("12/368"));

  const qreal keysY = screen.bottom() + (body.bottom() - screen.bottom()) / 2;
  p.setPen(QPen(QColor(0x0f, 0x17, 0x20), 1));
  for (int i = 0; i < 4; ++i) {
    const qreal x = body.left() + body.width() * (0.2 + 0.2 * i);
    QRadialGradient key(QPointF(x - 2, keysY - 2), 9);
    key.setColorAt(0, QColor(0x9a, 0xa8, 0xb8));
    key.setColorAt(1, QColor(0x4a, 0x58, 0x68));
    p.setBrush(key);
    p.drawEllipse(QPointF(x, keysY), 7.5, 7.5);
  }
  p.restore();
}

// The cable from the reader's side to the edge of the picture, as a thin
// gold line with a plug.
void DrawCable(QPainter& p, const QPointF& from, const QPointF& to) {
  p.save();
  QPainterPath path(from);
  path.cubicTo(from + QPointF(40, 0), to - QPointF(60, -40), to);
  p.setPen(QPen(QColor(kGold.red(), kGold.green(), kGold.blue(), 150), 2.5, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
  p.restore();
}

}  // namespace

QImage RenderSplashPicture() {
  QImage image(555, 354, QImage::Format_RGB888);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  QLinearGradient sky(0, 0, 0, image.height());
  sky.setColorAt(0, QColor(0x24, 0x3b, 0x55));
  sky.setColorAt(1, kInk);
  p.fillRect(image.rect(), sky);

  // Faint horizontal rules, like the ruled page of a notebook.
  p.setPen(QColor(255, 255, 255, 14));
  for (int y = 18; y < image.height(); y += 18) p.drawLine(0, y, image.width(), y);

  // A soft light behind the title.
  QRadialGradient glow(QPointF(370, 150), 220);
  glow.setColorAt(0, QColor(255, 236, 190, 55));
  glow.setColorAt(1, QColor(255, 236, 190, 0));
  p.fillRect(image.rect(), glow);

  DrawCable(p, QPointF(200, 250), QPointF(555, 320));
  DrawReader(p, QRectF(42, 40, 170, 270));

  p.setPen(kPaper);
  p.setFont(Face("Noto Serif CJK SC", 52, QFont::Bold));
  p.drawText(QRectF(232, 92, 310, 80), Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("卓卷电子书"));

  p.setPen(QPen(kGold, 1.5));
  p.drawLine(QPointF(262, 182), QPointF(512, 182));
  p.setBrush(kGold);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(387, 182), 3.5, 3.5);

  p.setPen(QColor(0xd8, 0xcf, 0xbb));
  p.setFont(Face("Noto Sans CJK SC", 17, QFont::Normal));
  p.drawText(QRectF(232, 194, 310, 30), Qt::AlignHCenter, QStringLiteral("传送 · 接收 · 预览 · 电话本"));

  // A small seal in the corner, cinnabar with the character 卷.
  const QRectF seal(488, 280, 40, 40);
  p.setBrush(kCinnabar);
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(seal, 5, 5);
  p.setPen(kPaper);
  p.setFont(Face("Noto Serif CJK SC", 26, QFont::Bold));
  p.drawText(seal, Qt::AlignCenter, QStringLiteral("卷"));

  p.setPen(QColor(0xa0, 0xae, 0xbd));
  p.setFont(Face("Noto Sans CJK SC", 13, QFont::Normal));
  p.drawText(QRectF(232, 300, 240, 20), Qt::AlignLeft, QStringLiteral("版本 6.1"));
  p.end();
  return image;
}

QImage RenderIconPicture(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  QLinearGradient shell(0, 0, 64, 64);
  shell.setColorAt(0, QColor(0x3b, 0x4a, 0x5c));
  shell.setColorAt(1, QColor(0x18, 0x22, 0x2e));
  p.setBrush(shell);
  p.setPen(QPen(QColor(0x62, 0x72, 0x85), 1.5));
  p.drawRoundedRect(QRectF(10, 3, 44, 58), 8, 8);
  p.setBrush(kPaper);
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(15, 8, 34, 38), 2, 2);
  p.setPen(kCinnabar);
  p.setFont(Face("Noto Serif CJK SC", 26, QFont::Bold));
  p.drawText(QRectF(15, 8, 34, 38), Qt::AlignCenter, QStringLiteral("卷"));
  p.setBrush(QColor(0x8a, 0x98, 0xa8));
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 3; ++i) p.drawEllipse(QPointF(22 + 10 * i, 53), 3, 3);
  p.end();
  return image;
}

}  // namespace quirel::app
