// Renders the splash picture and the window icon into the folder given on
// the command line.
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "app/splash_art.h"

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: quirel_artgen FOLDER\n");
    return 64;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const bool splash = quirel::app::RenderSplashPicture().save(folder + QStringLiteral("/splash.png"));
  const bool icon = quirel::app::RenderIconPicture(64).save(folder + QStringLiteral("/quirel.png"));
  return splash && icon ? 0 : 1;
}
