// Where the program keeps its files: the program directory (config.ini, the
// phonebook store and its exchange files) and the system directory (the
// reader's system files, the help page and the conversion work files).
#pragma once

#include <string>

namespace quirel {

struct Environment {
  std::string home;       // program directory
  std::string systemDir;  // system directory

  std::string SystemFile(const std::string& name) const { return systemDir + "/" + name; }
  std::string HomeFile(const std::string& name) const { return home + "/" + name; }

  // Explicit values win, then QUIREL_HOME / QUIREL_SYSTEM_DIR, then
  // $XDG_DATA_HOME/quirel and $XDG_DATA_HOME/quirel/system (XDG_DATA_HOME
  // defaulting to ~/.local/share). Both directories are created.
  static Environment Resolve(const std::string& home = {}, const std::string& systemDir = {});
};

}  // namespace quirel
