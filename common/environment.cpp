#include "common/environment.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quirel {

Environment Environment::Resolve(const std::string& home, const std::string& systemDir) {
  auto env = [](const char* name) -> std::string {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
  };
  std::string dataHome = env("XDG_DATA_HOME");
  if (dataHome.empty()) {
    const std::string userHome = env("HOME");
    dataHome = (userHome.empty() ? std::string(".") : userHome) + "/.local/share";
  }
  Environment e;
  e.home = !home.empty() ? home : !env("QUIREL_HOME").empty() ? env("QUIREL_HOME") : dataHome + "/quirel";
  e.systemDir = !systemDir.empty()                  ? systemDir
                : !env("QUIREL_SYSTEM_DIR").empty() ? env("QUIREL_SYSTEM_DIR")
                                                    : dataHome + "/quirel/system";
  std::error_code ec;
  std::filesystem::create_directories(e.home, ec);
  std::filesystem::create_directories(e.systemDir, ec);
  return e;
}

}  // namespace quirel
