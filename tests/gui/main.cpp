// The window tests need one application object for the whole program.
#include <gtest/gtest.h>

#include <QApplication>

#include "common/translate.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  // As the window program sets itself up: its notes in Simplified Chinese.
  quirel::SetUpTranslation(QUIREL_BINARY_DIR "/app", "zh_CN");
  return RUN_ALL_TESTS();
}
