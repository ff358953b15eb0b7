// quirel-viewer: shows a converted e-book as the reader's screen would. With
// no argument it shows vantrel.txt of the system directory at the font size
// that config.ini in the program directory names; a file given on the
// command line is shown instead.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QWidget>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/environment.h"
#include "common/ini.h"
#include "viewer/rows.h"

namespace {

class ScreenView final : public QWidget {
 public:
  ScreenView(std::vector<std::string> rows, int width, QString title) : width_(width), title_(std::move(title)) {
    for (const auto& r : rows) rows_.push_back(QString::fromUtf8(r.c_str(), static_cast<int>(r.size())));
    QFont font(QStringLiteral("Noto Sans Mono CJK SC"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(width == 16 ? 30 : 24);
    setFont(font);
    const QFontMetrics fm(font);
    cell_ = fm.horizontalAdvance(QLatin1Char('M'));
    if (cell_ * 2 < fm.horizontalAdvance(QChar(0x4E2D))) cell_ = (fm.horizontalAdvance(QChar(0x4E2D)) + 1) / 2;
    line_ = fm.height() + 6;
    rowsPerPage_ = width == 16 ? 10 : 12;
    setMinimumSize(cell_ * width_ + 2 * kMargin, line_ * rowsPerPage_ + 2 * kMargin + kStatus);
    resize(minimumSize());
    setFocusPolicy(Qt::StrongFocus);
    UpdateTitle();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x3a, 0x3f, 0x38));
    const QRect screen(kMargin - 6, kMargin - 6, cell_ * width_ + 12, line_ * rowsPerPage_ + 12);
    p.fillRect(screen, QColor(0xc8, 0xd3, 0xb8));
    p.setPen(QColor(0x1d, 0x24, 0x1a));
    const QFontMetrics fm(font());
    for (int i = 0; i < rowsPerPage_; ++i) {
      const int index = top_ + i;
      if (index >= static_cast<int>(rows_.size())) break;
      int col = 0;
      const int baseline = kMargin + i * line_ + fm.ascent() + 3;
      for (const QChar ch : rows_[index]) {
        if (ch.isLowSurrogate()) continue;
        const int cells = ch.unicode() < 0x80 ? 1 : 2;
        p.drawText(kMargin + col * cell_, baseline, QString(ch));
        col += cells;
      }
    }
    p.setPen(QColor(0xe6, 0xe6, 0xe6));
    QFont small = font();
    small.setPixelSize(14);
    p.setFont(small);
    const int pages = std::max(1, (static_cast<int>(rows_.size()) + rowsPerPage_ - 1) / rowsPerPage_);
    const int page = top_ / rowsPerPage_ + 1;
    p.drawText(QRect(0, height() - kStatus, width(), kStatus), Qt::AlignCenter,
               QStringLiteral("第 %1 / %2 页    PgUp / PgDn 翻页").arg(page).arg(pages));
  }

  void keyPressEvent(QKeyEvent* e) override {
    switch (e->key()) {
      case Qt::Key_PageDown:
      case Qt::Key_Space:
      case Qt::Key_Right:
        Move(rowsPerPage_);
        break;
      case Qt::Key_PageUp:
      case Qt::Key_Left:
        Move(-rowsPerPage_);
        break;
      case Qt::Key_Down:
        Move(1);
        break;
      case Qt::Key_Up:
        Move(-1);
        break;
      case Qt::Key_Home:
        Move(-top_);
        break;
      case Qt::Key_End:
        Move(static_cast<int>(rows_.size()));
        break;
      case Qt::Key_Escape:
        close();
        break;
      default:
        QWidget::keyPressEvent(e);
    }
  }

  void wheelEvent(QWheelEvent* e) override { Move(e->angleDelta().y() < 0 ? 3 : -3); }

 private:
  void Move(int delta) {
    const int last = std::max(0, static_cast<int>(rows_.size()) - rowsPerPage_);
    top_ = std::clamp(top_ + delta, 0, last);
    update();
  }
  void UpdateTitle() { setWindowTitle(title_); }

  static constexpr int kMargin = 24;
  static constexpr int kStatus = 28;
  std::vector<QString> rows_;
  int width_;
  QString title_;
  int cell_ = 12;
  int line_ = 24;
  int rowsPerPage_ = 12;
  int top_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const quirel::Environment env = quirel::Environment::Resolve();
  const QStringList args = app.arguments();
  QString path;
  int font = 2;
  try {
    font = std::stoi(quirel::ReadIniValue(env.HomeFile("config.ini"), "ConfigInfo", "Font", "2"));
  } catch (...) {
    font = 2;
  }
  if (args.size() > 1) {
    path = args.at(1);
  } else {
    path = QString::fromStdString(env.SystemFile("vantrel.txt"));
  }
  QFile file(path);
  QByteArray bytes;
  if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
  const int width = quirel::viewer::RowWidthForFont(font);
  auto rows =
      quirel::viewer::RenderRows(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), width);
  if (!file.exists()) rows = {"(文件不存在)"};
  ScreenView view(std::move(rows), width, QStringLiteral("卓卷电子书 - ") + QFileInfo(path).fileName());
  view.show();
  return app.exec();
}
