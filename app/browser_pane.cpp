#include "app/browser_pane.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUrl>

#include "app/dialog_units.h"
#include "common/text.h"
#include "convert/encoding.h"

namespace quirel::app {
namespace {

// More than this is not read into the pane: a preview, not an editor.
constexpr qint64 kMaxShownBytes = qint64{8} * 1024 * 1024;

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.' || c == ':';
}

bool IsGbFamily(const QByteArray& name) {
  return name == "gb2312" || name == "gbk" || name == "gb18030" || name == "x-gbk" || name == "cp936" ||
         name == "euc-cn" || name == "x-euc-cn" || name == "windows-936" || name == "chinese";
}

QString FromUtf8OrGbk(const QByteArray& bytes) {
  const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  if (IsValidUtf8(view)) return QString::fromUtf8(bytes);
  return QString::fromStdString(GbkToUtf8(view));
}

bool IsImageName(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == QLatin1String("png") || suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg") ||
         suffix == QLatin1String("gif") || suffix == QLatin1String("bmp");
}

}  // namespace

bool IsWebPageName(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == QLatin1String("htm") || suffix == QLatin1String("html") || suffix == QLatin1String("shtml") ||
         suffix == QLatin1String("xhtml") || suffix == QLatin1String("xht");
}

QByteArray DeclaredCharset(const QByteArray& page) {
  // The declaration sits in the head; a look at the first few kilobytes
  // finds it without walking a large page.
  const QByteArray head = page.left(4096).toLower();
  qsizetype at = 0;
  while ((at = head.indexOf("charset", at)) >= 0) {
    qsizetype i = at + 7;
    while (i < head.size() && (head[i] == ' ' || head[i] == '\t')) ++i;
    if (i < head.size() && head[i] == '=') {
      ++i;
      while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '"' || head[i] == '\'')) ++i;
      qsizetype end = i;
      while (end < head.size() && IsNameChar(head[end])) ++end;
      if (end > i) return head.mid(i, end - i);
    }
    at += 7;
  }
  return {};
}

QString DecodeDocument(const QByteArray& bytes, bool webPage) {
  if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
  if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
    QStringDecoder utf16(QStringConverter::Utf16);
    return utf16(bytes);
  }
  // UTF-16 without a mark and GB18030 by their shape, as the conversion sees them.
  const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  const convert::TextCoding coding = convert::DetectCoding(view);
  if (coding == convert::TextCoding::kUtf16Le || coding == convert::TextCoding::kUtf16Be ||
      coding == convert::TextCoding::kGb18030)
    return QString::fromStdString(convert::ToUtf8(view, coding));
  if (webPage) {
    const QByteArray charset = DeclaredCharset(bytes);
    if (charset == "utf-8" || charset == "utf8") return QString::fromUtf8(bytes);
    if (IsGbFamily(charset))
      return QString::fromStdString(
          GbkToUtf8(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
    if (!charset.isEmpty()) {
      QStringDecoder named(charset.constData());
      if (named.isValid()) return named(bytes);
    }
  }
  return FromUtf8OrGbk(bytes);
}

PageView::PageView(QWidget* parent) : QTextBrowser(parent) {
  setOpenLinks(false);
  // Tab leaves the page for the next control instead of walking its links
  // one by one; the links still answer the mouse.
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
  connect(this, &QTextBrowser::anchorClicked, this, &PageView::FollowLink);
}

void PageView::Navigate(const QString& path) {
  current_ = path;
  clear();
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) return;
  const QString folder = QFileInfo(path).absolutePath();
  setSearchPaths({folder});
  document()->setBaseUrl(QUrl::fromLocalFile(folder + QLatin1Char('/')));
  if (IsImageName(path)) {
    setHtml(QStringLiteral("<img src=\"%1\">").arg(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString()));
    return;
  }
  const QByteArray bytes = file.read(kMaxShownBytes);
  if (IsWebPageName(path)) {
    setHtml(DecodeDocument(bytes, true));
  } else {
    setPlainText(DecodeDocument(bytes, false));
  }
}

void PageView::FollowLink(const QUrl& url) {
  if (url.isRelative() && url.path().isEmpty() && url.hasFragment()) {
    scrollToAnchor(url.fragment());
    return;
  }
  const QUrl target = document()->baseUrl().resolved(url);
  if (target.isLocalFile()) {
    Navigate(target.toLocalFile());
    if (target.hasFragment()) scrollToAnchor(target.fragment());
    return;
  }
  QDesktopServices::openUrl(target);
}

BrowserPane::BrowserPane(QWidget* parent, const DialogUnits& units)
    : QWidget(parent), layout_(units.Size(339, 79), {}, {}) {
  setObjectName(QStringLiteral("browserPane"));
  resize(units.Size(339, 79));
  view_ = Place(new PageView(this), units, 1018, 0, 1, 339, 77);
  layout_.Add(view_, Follow::kGrow, Follow::kGrow);
}

void BrowserPane::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layout_.Apply(size());
}

}  // namespace quirel::app
