// quirel receive [--all] TARGET: copy files from the reader into a folder.
#include <filesystem>
#include <optional>

#include "cli/command.h"
#include "common/translate.h"
#include "cli/terminal_ui.h"
#include "link/receive.h"

namespace quirel::cli {
namespace {

int RunReceive(Context& context) {
  std::uint8_t mode = kReceiveCursorItem;
  std::string target;
  std::optional<ReplaceChoice> replace;
  for (const std::string& arg : context.args) {
    if (arg == "--all") {
      mode = kReceiveEverything;
    } else if (arg == "--overwrite" || arg == "--no-clobber") {
      const ReplaceChoice choice = arg == "--overwrite" ? ReplaceChoice::ReplaceAll : ReplaceChoice::KeepAll;
      if (replace && *replace != choice) return context.Usage(Tr("--overwrite and --no-clobber exclude each other"));
      replace = choice;
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      return context.Usage(Tr("unknown option: %s", {arg}));
    } else if (target.empty()) {
      target = arg;
    } else {
      return context.Usage(Tr("takes one target folder"));
    }
  }
  if (target.empty()) return context.Usage(Tr("needs a target folder"));
  // On the command line a relative folder means one below the current directory.
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(target, ec);
  if (ec) return context.Usage(Tr("cannot resolve the target folder: %s", {target}));
  target = absolute.lexically_normal().string();
  if (!CheckReceiveTarget(target)) return context.Usage(Tr("the target folder must be an absolute path"));
  auto* terminal = dynamic_cast<TerminalUi*>(&context.ui());
  if (replace && terminal != nullptr) terminal->SetReplaceChoice(*replace);
  const int status = ExitStatus(ReceiveFiles(context.link(), mode, target));
  // Files kept because nobody could say whether to replace them.
  if (status == kExitDone && terminal != nullptr && terminal->FileQuestionUnanswered()) return kExitInterrupted;
  return status;
}

}  // namespace

QUIREL_CLI_COMMAND({"receive", N_("receive files from the reader into a folder"),
                    N_("Usage: quirel receive [--all] [--overwrite | --no-clobber] TARGET\n\n"
                       "Receives the item at the reader's cursor (a file, or every file below a folder),\n"
                       "or with --all everything the reader holds, into the folder TARGET (created when\n"
                       "missing). The reader's folders are re-created below TARGET; an existing folder\n"
                       "whose name differs only in letter case is reused. Names that would leave TARGET\n"
                       "(\"/\", \".\", \"..\", empty) are made safe with \"_\", and symbolic links below\n"
                       "TARGET are never followed: such a file counts as one that could not be created.\n"
                       "A local file of the same name whose content differs is replaced only when you\n"
                       "say so: asked on the terminal, replaced with --overwrite (or --yes), kept with\n"
                       "--no-clobber (or --no), and kept when nobody can answer; the report names\n"
                       "every file kept.\n"
                       "Exit status 1 also when some files could not be created, 2 also when files\n"
                       "were kept because nobody could answer.\n"),
                    &RunReceive});

}  // namespace quirel::cli
