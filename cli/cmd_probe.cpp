// quirel probe: find the port as the program does at start-up, then open the
// link to the reader once.
#include <cstdio>
#include <iostream>

#include "cli/command.h"
#include "common/translate.h"

namespace quirel::cli {
namespace {

int RunProbe(Context& context) {
  if (!context.args.empty()) return context.Usage(Tr("takes no arguments"));
  Link& link = context.link();  // runs the port detection
  if (link.OpenLink() != LinkResult::kDone) return kExitFailed;
  char base[8];
  std::snprintf(base, sizeof base, "0x%X", static_cast<unsigned>(link.ports.data));
  std::cout << "the reader answered on the port at " << base << " (" << context.portSpec() << ")\n";
  return kExitDone;
}

}  // namespace

QUIREL_CLI_COMMAND({"probe", N_("find the parallel port and open the link to the reader"),
                    N_("Looks for the port at 0x378, 0x278 and 0x3BC, then sends the 21 bytes that open\n"
                       "the link. When the reader answered, prints one line naming the port and exits\n"
                       "0; otherwise exits 1 (the message says why).\n"),
                    &RunProbe});

}  // namespace quirel::cli
