// quirel clear [--full]: wipe the reader, quickly or fully.
#include <iostream>

#include "cli/command.h"
#include "common/translate.h"
#include "link/clear.h"
#include "resources/messages.h"

namespace quirel::cli {
namespace {

int RunClear(Context& context) {
  int mode = 0;
  for (const std::string& arg : context.args) {
    if (arg == "--full")
      mode = 1;
    else
      return context.Usage(Tr("unknown argument: %s", {arg}));
  }
  // The files are checked before the question and before the port is
  // opened: nothing is sent without all three.
  if (const auto missing = FindMissingSystemFile(context.env())) {
    context.ui().ShowMessage(missing->message, msg::kCaption, Icon::Error);
    std::cerr << Tr("quirel clear: %s is missing from %s (or cannot be read); copy the reader's system files "
                    "chnstd1j40.bin, chnstd1f40.bin and ebbmp40.bin there",
                    {missing->name, context.env().systemDir})
              << '\n';
    return kExitFailed;
  }
  // The window asks with its mode dialog; here the option chose the mode,
  // and wiping the reader still takes a yes.
  const char* question = mode == 0 ? Tr("quirel clear: delete every e-book file on the reader?")
                                   : Tr("quirel clear --full: delete every e-book file and the phonebook on the "
                                        "reader, then download its fonts and start-up picture again?");
  if (context.ui().ShowMessage(question, msg::kCaption, Icon::Question, Buttons::YesNo) != Answer::Yes)
    return kExitInterrupted;
  return ExitStatus(ClearDevice(context.link(), context.env(), mode));
}

}  // namespace

QUIREL_CLI_COMMAND({"clear", N_("clear the reader (quick, or --full)"),
                    N_("Usage: quirel clear [--full]\n\n"
                       "Quick clear (default): deletes the reader's e-book files.\n"
                       "--full: deletes the e-book files and the phonebook, then downloads the reader's\n"
                       "fonts chnstd1j40.bin and chnstd1f40.bin and its start-up bitmap ebbmp40.bin from\n"
                       "the system directory. All three files must be there for either mode.\n"
                       "Asks before it starts: answer on the terminal, or with --yes beforehand\n"
                       "(without a terminal and without --yes nothing is cleared; exit status 2).\n"
                       "If a full clear is interrupted the reader cannot display; wait about a minute\n"
                       "and clear again.\n"),
                    &RunClear});

}  // namespace quirel::cli
