// quirel40: the window program.
#include <QApplication>
#include <cstdio>

#include "app/program.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quirel40"));
  quirel::app::InstallQtTranslations();
  quirel::app::StartOptions options;
  QString error;
  if (!quirel::app::ParseCommandLine(QApplication::arguments(), options, error)) {
    std::fprintf(stderr, "quirel40: %s\n%s", qPrintable(error), qPrintable(quirel::app::UsageText()));
    return 64;
  }
  if (options.help) {
    std::fputs(qPrintable(quirel::app::UsageText()), stdout);
    return 0;
  }
  quirel::app::Program program(options);
  return program.Run();
}
