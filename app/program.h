// The application object: the command line, the start-up checks, the help
// page, the port, the splash picture and the main dialog.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "app/qt_ui.h"
#include "common/environment.h"
#include "reader/port_factory.h"

namespace quirel {
class Clock;
class Link;
class Port;
}  // namespace quirel

namespace quirel::app {

class CMyFileDialog;
class SplashWindow;

struct StartOptions {
  bool splash = true;
  std::string port;  // empty: QUIREL_PORT, else "auto"
  std::string home;
  std::string systemDir;
  bool help = false;
  bool version = false;
};

// Makes the help page, the splash picture and the icon available (once).
void RegisterResources();

// Reads the program's arguments (the first is the program itself). False,
// with the reason in error, for an option it does not know.
bool ParseCommandLine(const QStringList& arguments, StartOptions& options, QString& error);
QString UsageText();

// BrowserAvailable: the HTML view can always be made here; QUIREL_NO_BROWSER=1
// turns it off so that the program's way without it can be tried.
bool BrowserAvailableFromEnvironment();

// Loads Qt's own Chinese texts (Yes/No, OK/Cancel, the folder picker) once
// per process; false when they are not installed.
bool InstallQtTranslations();

// Puts the help page into the system directory unless one is there.
bool InstallHelpPage(const Environment& env);

class Program {
 public:
  explicit Program(StartOptions options);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Uses the caller's port and clock instead of the one the options name.
  void UsePort(Port& port, Clock& clock);

  // Start-up up to the shown main dialog. False when the port cannot be
  // opened as named (error says why); nothing is shown then.
  bool Start(std::string& error);
  // Start, then the main dialog until it closes; the exit status.
  int Run();

  QtUserInterface& ui() { return ui_; }
  const Environment& env() const { return env_; }
  bool browserAvailable() const { return browserAvailable_; }
  CMyFileDialog* dialog() const { return dialog_.get(); }
  SplashWindow* splash() const;
  Link* link() const { return link_.get(); }
  reader::VirtualReader* virtualReader() const { return opened_.virtualReader; }

 private:
  StartOptions options_;
  QtUserInterface ui_;
  Environment env_;
  bool browserAvailable_ = true;
  reader::OpenedPort opened_;
  std::unique_ptr<reader::PortClaim> claim_;  // the port shared with other programs
  Port* port_ = nullptr;
  Clock* clock_ = nullptr;
  std::unique_ptr<Clock> ownClock_;
  std::unique_ptr<Link> link_;
  std::unique_ptr<CMyFileDialog> dialog_;
  QPointer<SplashWindow> splash_;
};

}  // namespace quirel::app
