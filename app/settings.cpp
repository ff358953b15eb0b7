#include "app/settings.h"

#include "common/ini.h"

namespace quirel::app {

std::string ViewerConfigPath(const Environment& env) { return env.HomeFile("config.ini"); }

bool WriteViewerConfig(const Environment& env, const RunSettings& settings) {
  const std::string path = ViewerConfigPath(env);
  const bool font = WriteIniValue(path, "ConfigInfo", "Font", std::to_string(settings.fontChoice));
  const bool language = WriteIniValue(path, "ConfigInfo", "Language", std::to_string(settings.languageCode));
  return font && language;
}

}  // namespace quirel::app
