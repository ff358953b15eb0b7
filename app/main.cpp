// quirel40: the window program.
#include <QApplication>
#include <cstdio>

#include "app/program.h"
#include "common/translate.h"
#include "common/version.h"

namespace {

// --help and --version answer without a display; anything else the first
// reading does not know may still be one of Qt's own options.
bool Answered(const QStringList& arguments, int& status) {
  quirel::app::StartOptions options;
  QString error;
  if (!quirel::app::ParseCommandLine(arguments, options, error)) return false;
  if (options.help) {
    std::fputs(qPrintable(quirel::app::UsageText()), stdout);
  } else if (options.version) {
    std::printf("quirel40 %s\n", quirel::kVersion);
  } else {
    return false;
  }
  status = 0;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QStringList early;
  for (int i = 0; i < argc; ++i) early << QString::fromLocal8Bit(argv[i]);
  if (int status = 0; Answered(early, status)) return status;

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quirel40"));
  quirel::app::InstallQtTranslations();
  // The window speaks Simplified Chinese whatever the locale, the notes the
  // core adds to its messages too.
  quirel::SetUpTranslation(QCoreApplication::applicationDirPath().toStdString(), "zh_CN");
  QApplication::setApplicationVersion(QString::fromLatin1(quirel::kVersion));
  // Matches the installed desktop entry, so the desktop shows its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.quirel.Quirel"));
  quirel::app::StartOptions options;
  QString error;
  if (!quirel::app::ParseCommandLine(QApplication::arguments(), options, error)) {
    std::fprintf(stderr, "quirel40: %s\n%s", qPrintable(error), qPrintable(quirel::app::UsageText()));
    return 64;
  }
  if (int status = 0; Answered(QApplication::arguments(), status)) return status;
  quirel::app::Program program(options);
  return program.Run();
}
