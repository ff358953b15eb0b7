// quirel-viewer: shows a converted e-book as the reader's screen would. With
// no argument it shows vantrel.txt of the system directory at the font size
// that config.ini in the program directory names; a file given on the
// command line is shown instead, at the row width --font names or, without
// it, the width its bytes suggest. F switches between 16 and 20 bytes.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "common/environment.h"
#include "common/ini.h"
#include "common/version.h"
#include "viewer/rows.h"

namespace {

class ScreenView final : public QWidget {
 public:
  // note replaces the rendering of bytes (a line instead of a file).
  ScreenView(QByteArray bytes, int width, QString title, std::vector<std::string> note = {})
      : bytes_(std::move(bytes)), note_(std::move(note)), title_(std::move(title)) {
    setFocusPolicy(Qt::StrongFocus);
    SetWidth(width);
  }

  // Lays the bytes out in rows of 16 or 20 bytes, in the font size the
  // reader uses for that width.
  void SetWidth(int width) {
    width_ = width;
    const auto rows = note_.empty()
                          ? quirel::viewer::RenderRows(
                                std::string_view(bytes_.constData(), static_cast<std::size_t>(bytes_.size())), width)
                          : note_;
    rows_.clear();
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
    top_ = 0;
    setMinimumSize(cell_ * width_ + 2 * kMargin, line_ * rowsPerPage_ + 2 * kMargin + kStatus);
    resize(minimumSize());
    UpdateTitle();
    update();
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
    // Two lines, so that both fit the narrow large-font window.
    p.drawText(QRect(0, height() - kStatus, width(), kStatus), Qt::AlignCenter,
               QStringLiteral("第 %1 / %2 页    PgUp / PgDn 翻页\n每行%3字节    F 切换16/20字节")
                   .arg(page)
                   .arg(pages)
                   .arg(width_));
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
      case Qt::Key_F:
        SetWidth(width_ == 16 ? 20 : 16);
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
  void UpdateTitle() { setWindowTitle(title_ + QStringLiteral(" (每行%1字节)").arg(width_)); }

  static constexpr int kMargin = 24;
  static constexpr int kStatus = 46;
  QByteArray bytes_;
  std::vector<std::string> note_;
  std::vector<QString> rows_;
  int width_ = 20;
  QString title_;
  int cell_ = 12;
  int line_ = 24;
  int rowsPerPage_ = 12;
  int top_ = 0;
};

constexpr int kExitUsage = 64;

constexpr const char* kUsage =
    "Usage: quirel-viewer [--font large|small] [FILE]\n"
    "\n"
    "Shows an e-book as the reader's screen would: rows of 16 bytes (large font)\n"
    "or 20 bytes (small font), GBK. Without FILE it shows the last preview\n"
    "(vantrel.txt of the system directory) at the font config.ini names. A FILE\n"
    "is shown at the width --font names or, without it, the width its rows\n"
    "suggest. In the window, F switches between 16 and 20 bytes a row.\n"
    "\n"
    "  --font large|small  the row width: large 16 bytes, small 20 bytes\n"
    "  --help              this text\n"
    "  --version           the program's version\n"
    "\n"
    "Environment: QUIREL_HOME (config.ini), QUIREL_SYSTEM_DIR (vantrel.txt).\n";

int UsageError(const std::string& problem) {
  std::cerr << "quirel-viewer: " << problem << "\nTry 'quirel-viewer --help'.\n";
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  // The words are read before any window exists, so that --help, --version
  // and mistakes need no display.
  std::string fileArg;
  int width = 0;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (!optionsEnded && word == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && (word == "--help" || word == "-h")) {
      std::cout << kUsage;
      return 0;
    } else if (!optionsEnded && word == "--version") {
      std::cout << "quirel-viewer " << quirel::kVersion << '\n';
      return 0;
    } else if (!optionsEnded && (word == "--font" || word.rfind("--font=", 0) == 0)) {
      std::string value;
      if (word == "--font") {
        if (i + 1 >= argc) return UsageError("--font needs large or small");
        value = argv[++i];
      } else {
        value = word.substr(7);
      }
      if (value == "large")
        width = 16;
      else if (value == "small")
        width = 20;
      else
        return UsageError("--font takes large or small, not " + value);
    } else if (!optionsEnded && word.size() > 1 && word[0] == '-') {
      return UsageError("unknown option " + word);
    } else if (fileArg.empty()) {
      fileArg = word;
    } else {
      return UsageError("shows one file at a time");
    }
  }
  if (!fileArg.empty()) {
    std::error_code ec;
    const auto status = std::filesystem::status(fileArg, ec);
    if (!std::filesystem::exists(status)) {
      std::cerr << "quirel-viewer: no such file: " << fileArg << '\n';
      return 1;
    }
    if (std::filesystem::is_directory(status)) {
      std::cerr << "quirel-viewer: a folder, not a file: " << fileArg << '\n';
      return 1;
    }
  }

  QApplication app(argc, argv);
  const quirel::Environment env = quirel::Environment::Resolve({}, {}, false);
  const QString path =
      fileArg.empty() ? QString::fromStdString(env.SystemFile("vantrel.txt")) : QString::fromLocal8Bit(fileArg.c_str());
  QFile file(path);
  QByteArray bytes;
  if (file.open(QIODevice::ReadOnly)) {
    bytes = file.readAll();
  } else if (!fileArg.empty()) {
    std::cerr << "quirel-viewer: cannot read " << fileArg << ": " << file.errorString().toStdString() << '\n';
    return 1;
  }
  if (width == 0 && !fileArg.empty())
    width = quirel::viewer::GuessRowWidth(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  if (width == 0) {
    int font = 2;
    try {
      font = std::stoi(quirel::ReadIniValue(env.HomeFile("config.ini"), "ConfigInfo", "Font", "2"));
    } catch (...) {
      font = 2;
    }
    width = quirel::viewer::RowWidthForFont(font);
  }
  // The preview the program left is missing: say so in the window it opens.
  std::vector<std::string> note;
  if (!file.exists()) note = {"(文件不存在)"};
  ScreenView view(bytes, width, QStringLiteral("卓卷电子书 - ") + QFileInfo(path).fileName(), note);
  view.show();
  return app.exec();
}
