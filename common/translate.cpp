#include "common/translate.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace quirel {

namespace {

// The locale the environment names for messages, as setlocale reads it.
const char* WantedMessageLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
    if (const char* value = std::getenv(name); value != nullptr && *value != '\0') return value;
  return nullptr;
}

}  // namespace

void SetUpTranslation(const std::string& programDir, const char* language) {
  if (language != nullptr) {
    // gettext looks at LANGUAGE under any message locale but plain C.
    const char* messages = std::setlocale(LC_MESSAGES, "");
    if (messages == nullptr || std::string_view(messages) == "C" || std::string_view(messages) == "POSIX")
      std::setlocale(LC_MESSAGES, "C.UTF-8");
    ::setenv("LANGUAGE", language, 1);
  } else if (std::setlocale(LC_ALL, "") == nullptr) {
    // A locale asked for is missing on this machine (a fresh Debian holds
    // only C and C.UTF-8), which leaves every category at C. The character
    // set becomes UTF-8, that of everything the program writes, so that
    // the C library's own messages are not turned into question marks.
    if (std::setlocale(LC_CTYPE, "") == nullptr) std::setlocale(LC_CTYPE, "C.UTF-8");
    // gettext takes the language from LANGUAGE under any locale but plain
    // C: C.UTF-8 with the name asked for in LANGUAGE (unless the user chose
    // languages there) still finds the catalogue.
    const char* wanted = WantedMessageLocale();
    const char* languages = std::getenv("LANGUAGE");
    if (std::setlocale(LC_MESSAGES, "") == nullptr && wanted != nullptr &&
        std::setlocale(LC_MESSAGES, "C.UTF-8") != nullptr && (languages == nullptr || *languages == '\0'))
      ::setenv("LANGUAGE", wanted, 1);
  }
  // Numbers are read and written the one way the files and the reader use.
  std::setlocale(LC_NUMERIC, "C");
  // The catalogues lie beside the program: below share/ once installed,
  // in the build folder while built.
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path dir = fs::path(programDir) / QUIREL_LOCALEDIR_FROM_BIN;
  if (!fs::is_directory(dir, ec)) dir = fs::path(programDir) / QUIREL_BUILD_LOCALEDIR_FROM_BIN;
  ::bindtextdomain(kTextDomain, dir.lexically_normal().c_str());
  // Everything the program writes is UTF-8, its fixed messages too,
  // whatever character set the locale has.
  ::bind_textdomain_codeset(kTextDomain, "UTF-8");
}

}  // namespace quirel
