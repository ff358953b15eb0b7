// Where the program keeps its files: the program directory (config.ini, the
// phonebook store and its exchange files), the system directory (the
// reader's system files and the help page) and this run's own work folder
// (the conversion work files), which no other program running at the same
// time ever sees.
#pragma once

#include <memory>
#include <string>

#include "common/file_lock.h"

namespace quirel {

// A private folder below <system directory>/work, made with mkdtemp and
// locked while this program runs. It is removed when the last Environment
// holding it goes; one left by a program that was killed is removed by the
// next program to start.
class WorkSpace {
 public:
  // nullptr when no folder can be made there.
  static std::shared_ptr<WorkSpace> Make(const std::string& systemDir);
  ~WorkSpace();
  WorkSpace(const WorkSpace&) = delete;
  WorkSpace& operator=(const WorkSpace&) = delete;

  const std::string& dir() const { return dir_; }

 private:
  WorkSpace() = default;
  std::string dir_;
  FileLock lock_;
};

struct Environment {
  std::string home;          // program directory
  std::string systemDir;     // system directory
  std::string workDir = {};  // this run's work folder; empty: the system directory
  std::shared_ptr<WorkSpace> workSpace = {};

  std::string SystemFile(const std::string& name) const { return systemDir + "/" + name; }
  std::string HomeFile(const std::string& name) const { return home + "/" + name; }
  const std::string& WorkDir() const { return workDir.empty() ? systemDir : workDir; }
  std::string WorkFile(const std::string& name) const { return WorkDir() + "/" + name; }

  // Explicit values win, then QUIREL_HOME / QUIREL_SYSTEM_DIR, then
  // $XDG_DATA_HOME/quirel and $XDG_DATA_HOME/quirel/system (XDG_DATA_HOME
  // defaulting to ~/.local/share). Both directories are created, and with
  // withWorkSpace a work folder of this run's own.
  static Environment Resolve(const std::string& home = {}, const std::string& systemDir = {},
                             bool withWorkSpace = true);
};

}  // namespace quirel
