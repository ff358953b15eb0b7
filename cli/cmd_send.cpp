// quirel send: every path named becomes an entry of the send list, and the
// send job runs as the main window's send button runs it.
#include <filesystem>
#include <iostream>

#include "cli/command.h"
#include "common/translate.h"
#include "cli/terminal_ui.h"
#include "convert/convert.h"
#include "send/send_job.h"

namespace quirel::cli {
namespace {

int RunSend(Context& context) {
  bool keepFormat = false;
  int rowWidth = 20;
  std::vector<std::string> paths;
  bool optionsDone = false;
  const auto& args = context.args;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsDone || arg.empty() || arg[0] != '-') {
      paths.push_back(arg);
    } else if (arg == "--") {
      optionsDone = true;
    } else if (arg == "--keep-format") {
      keepFormat = true;
    } else if (arg == "--font" || arg.rfind("--font=", 0) == 0) {
      std::string value;
      if (arg == "--font") {
        if (i + 1 >= args.size()) return context.Usage(Tr("--font needs large or small"));
        value = args[++i];
      } else {
        value = arg.substr(7);
      }
      if (value == "large")
        rowWidth = 16;
      else if (value == "small")
        rowWidth = 20;
      else
        return context.Usage(Tr("--font takes large or small, not %s", {value}));
    } else {
      return context.Usage(Tr("unknown option %s", {arg}));
    }
  }
  if (paths.empty()) return context.Usage(Tr("names no file or folder to send"));

  send::SendList list;
  for (const std::string& path : paths) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec).lexically_normal();
    const std::filesystem::file_status status = std::filesystem::status(absolute, ec);
    if (std::filesystem::is_directory(status)) {
      list.AddFolder(absolute.string());
    } else if (std::filesystem::exists(status)) {
      list.AddFile(absolute.string());
    } else {
      std::cerr << Tr("quirel send: no such file or folder: %s", {path}) << '\n';
      return kExitFailed;
    }
  }

  const int format = keepFormat ? send::kKeepFormat : send::kConvertFormat;
  if (auto* terminal = dynamic_cast<TerminalUi*>(&context.ui())) terminal->SetSendFormat(format);
  convert::Context conversion{context.env(), context.ui(), rowWidth};
  send::SendJob job(context.link(), conversion);
  job.sendFormat = format;
  switch (job.Run(list)) {
    case LinkResult::kDone:
      return kExitDone;
    case LinkResult::kInterrupted:
      return kExitInterrupted;
    default:
      return kExitFailed;
  }
}

}  // namespace

QUIREL_CLI_COMMAND({"send", N_("send files and folders to the reader"),
                    N_("quirel send [--keep-format] [--font large|small] PATH...\n"
                       "\n"
                       "Sends every PATH (a file, or a folder with its subfolders down to six levels)\n"
                       "to the reader. Documents are converted to the reader's e-book format on the\n"
                       "way (text, web pages and Word documents; GB or Big5) unless --keep-format is\n"
                       "given, which sends each file's own bytes. --font chooses the rows of the\n"
                       "converted books: large (16 bytes) or small (20 bytes, the default).\n"
                       "Files named on their own and the folders named reach the reader in lower\n"
                       "case; what lies below a folder keeps its case. Exits 0 when every file went,\n"
                       "1 when some file was not sent or the link failed, 2 when interrupted.\n"),
                    &RunSend});

}  // namespace quirel::cli
