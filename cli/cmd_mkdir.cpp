// quirel mkdir NAME: create a directory at the top of the reader's storage.
#include "cli/command.h"
#include "common/translate.h"
#include "link/commands.h"

namespace quirel::cli {
namespace {

int RunMkdir(Context& context) {
  if (context.args.size() != 1) return context.Usage(Tr("needs exactly one directory name"));
  return CreateDirectoryCommand(context.link(), context.args[0]) == LinkResult::kDone ? kExitDone : kExitFailed;
}

}  // namespace

QUIREL_CLI_COMMAND({"mkdir", N_("create a directory on the reader"),
                    N_("Usage: quirel mkdir NAME\n\n"
                       "Creates the directory NAME at the top level of the reader's storage. The name\n"
                       "travels in GBK and may take 16 bytes (8 Chinese characters); the five\n"
                       "characters 進迴槃卍脦 are sent in the reader's own codes. An empty name, a\n"
                       "longer one, or one with characters that have no GBK form, is refused.\n"),
                    &RunMkdir});

}  // namespace quirel::cli
