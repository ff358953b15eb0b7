// quirel probe: find the port as the program does at start-up, then open the
// link to the reader once.
#include "cli/command.h"

namespace quirel::cli {
namespace {

int RunProbe(Context& context) {
  if (!context.args.empty()) return context.Usage("takes no arguments");
  Link& link = context.link();  // runs the port detection
  return link.OpenLink() == kDone ? kExitDone : kExitFailed;
}

}  // namespace

QUIREL_CLI_COMMAND({"probe", "find the parallel port and open the link to the reader",
                    "Looks for the port at 0x378, 0x278 and 0x3BC, then sends the 21 bytes that open\n"
                    "the link. Exits 0 when the reader answered, 1 when it did not (the message\n"
                    "says why).\n",
                    &RunProbe});

}  // namespace quirel::cli
