// The command-line front end: every command lives in its own cli/cmd_*.cpp
// and registers itself with QUIREL_CLI_COMMAND.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/environment.h"
#include "common/ui.h"
#include "link/link.h"

namespace quirel::reader {
class VirtualReader;
}

namespace quirel::cli {

// Exit statuses.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitInterrupted = 2;  // interrupted or cancelled
inline constexpr int kExitUsage = 64;

// A link operation's outcome as the exit status.
inline int ExitStatus(LinkResult result) {
  switch (result) {
    case LinkResult::kDone:
      return kExitDone;
    case LinkResult::kInterrupted:
      return kExitInterrupted;
    case LinkResult::kFailed:
      break;
  }
  return kExitFailed;
}

class Context {
 public:
  virtual ~Context() = default;
  // The words after the command name, global options removed.
  std::vector<std::string> args;
  // Global --yes / --no: the answer to every question.
  bool answerYes = false;
  bool answerNo = false;

  virtual const Environment& env() = 0;
  virtual UserInterface& ui() = 0;
  // Opens the port chosen with --port / QUIREL_PORT and runs the port
  // detection, as the program does at start-up. Opened once per run.
  virtual Link& link() = 0;
  // The in-process virtual reader when --port names one (opening the port
  // if needed), else nullptr.
  virtual reader::VirtualReader* virtualReader() = 0;
  // The storage folder of the virtual reader that --port names (or would
  // name), without opening the port.
  virtual std::string virtualReaderDir() = 0;
  // The port choice in force (--port, QUIREL_PORT or auto).
  virtual const std::string& portSpec() const = 0;
  // Writes a usage error for this command on standard error; returns kExitUsage.
  virtual int Usage(const std::string& problem) = 0;
};

// The summary and help are marked with N_ and translated where printed.
struct Command {
  const char* name;     // e.g. "send", "reader"
  const char* summary;  // one line for `quirel --help`
  const char* help;     // full text for `quirel NAME --help`
  int (*run)(Context& context);
};

std::vector<Command>& Registry();

// The words of a command that takes files and --font large|small (rows of
// 16 or 20 bytes; rowWidth stays as it was without the option). Returns
// kExitDone, or kExitUsage after the problem has been written.
int FilesAndFont(Context& context, std::vector<std::string>& files, int& rowWidth);

struct Registrar {
  explicit Registrar(Command command) { Registry().push_back(command); }
};

}  // namespace quirel::cli

#define QUIREL_CLI_CONCAT2(a, b) a##b
#define QUIREL_CLI_CONCAT(a, b) QUIREL_CLI_CONCAT2(a, b)
// QUIREL_CLI_COMMAND({"name", N_("summary"), N_("help"), &Run});
#define QUIREL_CLI_COMMAND(...)                                               \
  static const ::quirel::cli::Registrar QUIREL_CLI_CONCAT(quirelCliRegistrar, \
                                                          __LINE__)(::quirel::cli::Command __VA_ARGS__)
