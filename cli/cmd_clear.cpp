// quirel clear [--full]: wipe the reader, quickly or fully.
#include "cli/command.h"
#include "link/clear.h"

namespace quirel::cli {
namespace {

int RunClear(Context& context) {
  int mode = 0;
  for (const std::string& arg : context.args) {
    if (arg == "--full")
      mode = 1;
    else
      return context.Usage("unknown argument: " + arg);
  }
  // The option answers the mode question; the files are checked first.
  return ClearDevice(context.link(), context.env(), mode);
}

}  // namespace

QUIREL_CLI_COMMAND({"clear", "clear the reader (quick, or --full)",
                    "Usage: quirel clear [--full]\n\n"
                    "Quick clear (default): deletes the reader's e-book files.\n"
                    "--full: deletes the e-book files and the phonebook, then downloads the reader's\n"
                    "fonts chnstd1j40.bin and chnstd1f40.bin and its start-up bitmap ebbmp40.bin from\n"
                    "the system directory. All three files must be there for either mode.\n"
                    "If a full clear is interrupted the reader cannot display; wait about a minute\n"
                    "and clear again.\n",
                    &RunClear});

}  // namespace quirel::cli
