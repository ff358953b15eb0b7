// quirel: the core operations without a window. Global options may come
// before or after the command name; everything else goes to the command.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/terminal_ui.h"
#include "common/translate.h"
#include "common/pacer_loader.h"
#include "common/version.h"
#include "reader/port_factory.h"
#include "reader/virtual_reader.h"

namespace quirel::cli {

std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}

int FilesAndFont(Context& context, std::vector<std::string>& files, int& rowWidth) {
  const auto& args = context.args;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    std::string font;
    if (word == "--font") {
      if (i + 1 >= args.size()) return context.Usage(Tr("--font needs large or small"));
      font = args[++i];
    } else if (word.rfind("--font=", 0) == 0) {
      font = word.substr(7);
    } else if (word == "--") {
      files.insert(files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    } else if (word.size() > 1 && word[0] == '-') {
      return context.Usage(Tr("unknown option %s", {word}));
    } else {
      files.push_back(word);
      continue;
    }
    if (font == "large")
      rowWidth = 16;
    else if (font == "small")
      rowWidth = 20;
    else
      return context.Usage(Tr("--font needs large or small, not '%s'", {font}));
  }
  return kExitDone;
}

namespace {

constexpr const char* kGlobalOptions =
    N_("Options (before or after the command):\n"
       "  --port SPEC        the parallel port to use (environment QUIREL_PORT; default auto):\n"
       "                       auto                    ppdev when a /dev/parport* can be claimed,\n"
       "                                               else direct when permitted, else a USB adapter\n"
       "                                               that answers on /dev/ttyUSB* or /dev/ttyACM*,\n"
       "                                               else no port\n"
       "                       ppdev[:/dev/parportN]   the Linux parport driver (group lp)\n"
       "                       direct                  ioperm + inb/outb (root or CAP_SYS_RAWIO, x86)\n"
       "                       serial:DEVICE           the USB adapter on DEVICE (e.g. /dev/ttyUSB0)\n"
       "                       virtual[:DIR][,OPTION...]  the built-in virtual reader storing in DIR\n"
       "                                               (default: virtual-reader in the program directory);\n"
       "                                               options: base=0x278, off, slow=K, silent-after=N, strict\n"
       "                       bridge:unix:PATH        register accesses over a Unix socket\n"
       "                       bridge:tcp:HOST:PORT    register accesses over TCP (e.g. 127.0.0.1:7378)\n"
       "  --home DIR         program directory: config.ini, phonebook store (environment QUIREL_HOME;\n"
       "                     default $XDG_DATA_HOME/quirel)\n"
       "  --system-dir DIR   system directory: the reader's system files, work folders (environment\n"
       "                     QUIREL_SYSTEM_DIR; default $XDG_DATA_HOME/quirel/system)\n"
       "  --yes, --no        answer every question with yes or no (otherwise asked on the terminal;\n"
       "                     no when standard input is not a terminal)\n"
       "  --help             describe the program, or the command named with it\n"
       "  --version          show the program's version\n"
       "\n"
       "Messages appear on standard error exactly as the program shows them. Ctrl-C during a\n"
       "transfer presses its interrupt button; a second Ctrl-C ends the program.\n"
       "Exit status: 0 done, 1 failed, 2 interrupted or cancelled (also a question nobody could\n"
       "answer), 64 bad usage (also a malformed QUIREL_PORT, for the commands that use the port).\n");

void PrintHelp(std::ostream& out) {
  std::vector<Command> commands = Registry();
  std::sort(commands.begin(), commands.end(),
            [](const Command& a, const Command& b) { return std::string_view(a.name) < b.name; });
  std::size_t width = 0;
  for (const auto& c : commands) width = std::max(width, std::string_view(c.name).size());
  out << Tr(
      "Usage: quirel [OPTIONS] COMMAND [ARGUMENTS...]\n"
      "       quirel COMMAND --help\n\n"
      "The desktop companion of the 卓卷电子书 e-book reader on the parallel port,\n"
      "without a window.\n\n"
      "Commands:\n");
  for (const auto& c : commands)
    out << "  " << c.name << std::string(width - std::string_view(c.name).size() + 2, ' ') << Tr(c.summary) << '\n';
  out << '\n' << Tr(kGlobalOptions);
}

void PrintCommandHelp(std::ostream& out, const Command& command) {
  const std::string_view help = Tr(command.help);
  out << Tr("Usage: quirel [OPTIONS] %s ...", {command.name}) << "\n\n" << Tr(command.summary) << "\n\n" << help;
  if (help.empty() || help.back() != '\n') out << '\n';
  out << '\n' << Tr(kGlobalOptions);
}

int UsageError(const std::string& problem) {
  std::cerr << Tr("quirel: %s\nTry 'quirel --help'.\n", {problem});
  return kExitUsage;
}

std::string ProgramDir(const char* argv0) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::absolute(argv0 != nullptr ? argv0 : "", ec);
  return exe.parent_path().string();
}

class MainContext final : public Context {
 public:
  MainContext(std::string commandName, std::string portSpec, std::string portError, std::string home,
              std::string systemDir, TerminalUi& ui)
      : commandName_(std::move(commandName)),
        portSpec_(std::move(portSpec)),
        portError_(std::move(portError)),
        home_(std::move(home)),
        systemDir_(std::move(systemDir)),
        ui_(ui) {}

  const Environment& env() override {
    if (!env_) env_ = Environment::Resolve(home_, systemDir_);
    return *env_;
  }

  UserInterface& ui() override { return ui_; }

  Link& link() override {
    if (!link_) {
      OpenPortOnce();
      // The virtual reader answers at once; its time-outs need not take real time.
      Clock& clock = opened_.virtualReader != nullptr ? static_cast<Clock&>(virtualClock_) : systemClock_;
      link_ = std::make_unique<Link>(*opened_.port, clock, ui_);
      link_->portProblem = opened_.note;  // shown with the detection error
      // Held until the program ends: it runs one command, which another
      // program holding the reader leaves nothing to do.
      claim_ =
          std::make_unique<reader::PortClaim>(reader::PortLockPath(portSpec_, env()), "quirel " + commandName_, ui_);
      if (!claim_->Take()) {
        env_.reset();  // its work folder goes now
        std::exit(kExitFailed);
      }
      link_->claimPort = [this] { return claim_->Take(); };
      link_->DetectParallelPort();
    }
    return *link_;
  }

  reader::VirtualReader* virtualReader() override {
    CheckPortChoice();
    if (!reader::IsVirtualSpec(portSpec_)) return nullptr;
    OpenPortOnce();
    return opened_.virtualReader;
  }

  std::string virtualReaderDir() override {
    CheckPortChoice();
    return reader::VirtualReaderDir(portSpec_, env());
  }

  const std::string& portSpec() const override { return portSpec_; }

  // A strict virtual reader tells what handshakes the program broke.
  void ReportViolations() const {
    const reader::VirtualReader* device = opened_.virtualReader;
    if (device != nullptr && device->Violations() > 0)
      std::cerr << Tr("quirel: virtual reader: %s", {device->ViolationReport()}) << '\n';
  }

  int Usage(const std::string& problem) override {
    std::cerr << Tr("quirel %1$s: %2$s\nTry 'quirel %1$s --help'.\n", {commandName_, problem});
    return kExitUsage;
  }

 private:
  void CheckPortChoice() {
    if (portError_.empty()) return;
    std::cerr << "quirel: " << portError_ << '\n';
    std::exit(kExitUsage);
  }

  void OpenPortOnce() {
    if (opened_.port) return;
    CheckPortChoice();
    std::string error;
    opened_ = reader::OpenPort(portSpec_, env(), error);
    if (!opened_.port) {
      // The --port value was checked before the command ran; a safety net.
      std::cerr << "quirel: " << error << '\n';
      std::exit(kExitUsage);
    }
  }

  std::string commandName_;
  std::string portSpec_;
  std::string portError_;  // why the port choice of the environment is unusable
  std::string home_;
  std::string systemDir_;
  TerminalUi& ui_;
  std::optional<Environment> env_;
  reader::OpenedPort opened_;
  std::unique_ptr<reader::PortClaim> claim_;
  SystemClock systemClock_;
  VirtualClock virtualClock_;
  std::unique_ptr<Link> link_;
};

}  // namespace

int Main(int argc, char** argv) {
  const std::string programDir = ProgramDir(argc > 0 ? argv[0] : nullptr);
  SetUpTranslation(programDir);
  std::string commandName, portSpec, home, systemDir;
  std::vector<std::string> args;
  bool help = false, version = false, yes = false, no = false, optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (optionsEnded) {
      if (commandName.empty())
        commandName = word;
      else
        args.push_back(word);
      continue;
    }
    if (word == "--") {
      // The rest belongs to the command, which sees the "--" as well.
      optionsEnded = true;
      if (!commandName.empty()) args.push_back(word);
      continue;
    }
    auto value = [&](const std::string& name, std::string& target) -> int {
      if (word == name) {
        if (i + 1 >= argc) return -1;
        target = argv[++i];
        return 1;
      }
      if (word.rfind(name + "=", 0) == 0) {
        target = word.substr(name.size() + 1);
        return 1;
      }
      return 0;
    };
    int taken = 0;
    for (auto [name, target] :
         {std::pair<const char*, std::string*>{"--port", &portSpec}, {"--home", &home}, {"--system-dir", &systemDir}}) {
      taken = value(name, *target);
      if (taken < 0) return UsageError(Tr("%s needs a value", {name}));
      if (taken > 0) {
        if (target->empty()) return UsageError(Tr("%s needs a value", {name}));
        break;
      }
    }
    if (taken > 0) continue;
    if (word == "--yes")
      yes = true;
    else if (word == "--no")
      no = true;
    else if (word == "--help" || word == "-h")
      help = true;
    else if (word == "--version")
      version = true;
    else if (commandName.empty()) {
      if (word.size() > 1 && word[0] == '-') return UsageError(Tr("unknown option %s", {word}));
      commandName = word;
    } else {
      args.push_back(word);  // the command's own words and options
    }
  }
  if (version && !help) {
    std::cout << "quirel " << kVersion << '\n';
    return kExitDone;
  }
  if (yes && no) return UsageError(Tr("--yes and --no exclude each other"));

  if (commandName.empty()) {
    if (help) {
      PrintHelp(std::cout);
      return kExitDone;
    }
    return UsageError(Tr("no command given"));
  }
  const auto& commands = Registry();
  const auto found =
      std::find_if(commands.begin(), commands.end(), [&](const Command& c) { return commandName == c.name; });
  if (found == commands.end()) return UsageError(Tr("unknown command '%s'", {commandName}));
  if (help) {
    PrintCommandHelp(std::cout, *found);
    return kExitDone;
  }

  // A bad --port is a usage error at once. A bad QUIREL_PORT only matters to
  // the commands that use the port, and the message says where it came from.
  const bool portFromEnvironment = portSpec.empty();
  portSpec = reader::ChosenPortSpec(portSpec);
  std::string portError;
  if (!reader::ValidPortSpec(portSpec, portError)) {
    if (!portFromEnvironment) return UsageError(portError);
    portError = Tr("the environment variable QUIREL_PORT=%s names no port: %s", {portSpec, portError});
  } else {
    portError.clear();
  }

  // Bound at start-up as the window program does; nothing depends on it.
  LoadPacer(programDir);

  auto ui = TerminalUi::ForProcess();
  if (yes) ui->SetQuestionAnswer(Answer::Yes);
  if (no) ui->SetQuestionAnswer(Answer::No);
  TerminalUi::InstallInterruptHandler();

  MainContext context(commandName, portSpec, portError, home, systemDir, *ui);
  context.args = std::move(args);
  context.answerYes = yes;
  context.answerNo = no;
  const int status = found->run(context);
  context.ReportViolations();
  return status;
}

}  // namespace quirel::cli

int main(int argc, char** argv) { return quirel::cli::Main(argc, argv); }
