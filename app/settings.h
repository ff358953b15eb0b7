// The run-time settings: they start from fixed values at every start and are
// never read back from disk. The preview-format dialog changes the font
// choice (and with it the row width); the conversions read them.
#pragma once

#include <string>

#include "common/environment.h"

namespace quirel::app {

struct RunSettings {
  int fontChoice = 2;     // FontChoice: 1 large font, 2 small font
  int rowWidth = 20;      // RowWidth: bytes per e-book row, 16 or 20
  int previewFormat = 1;  // PreviewFormat: 1 keep the file's format, 2 convert
  int languageCode = 0;   // LanguageCode: nothing changes it

  // Confirms a font choice: the row width follows it.
  void SetFontChoice(int choice) {
    fontChoice = choice;
    rowWidth = choice == 1 ? 16 : 20;
  }
};

// The file in which the external viewer finds its settings: config.ini in
// the program directory.
std::string ViewerConfigPath(const Environment& env);

// Writes "Font" and then "Language" into section "ConfigInfo" of config.ini,
// keeping the file's other content. False when the file cannot be written.
bool WriteViewerConfig(const Environment& env, const RunSettings& settings);

}  // namespace quirel::app
