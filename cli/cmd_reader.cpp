// quirel reader ls | cursor [PATH]: look into the virtual reader's storage
// without opening the port.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <vector>

#include "cli/command.h"
#include "common/translate.h"
#include "reader/firmware.h"
#include "reader/port_factory.h"
#include "reader/storage.h"

namespace fs = std::filesystem;

namespace quirel::cli {
namespace {

// Returns the number of entries listed.
std::size_t List(const fs::path& books, const fs::path& dir, std::ostream& out) {
  std::vector<fs::path> entries;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
    entries.push_back(it->path());
  std::sort(entries.begin(), entries.end());
  std::size_t listed = 0;
  for (const fs::path& entry : entries) {
    const fs::file_status status = fs::symlink_status(entry, ec);
    const std::string relative = entry.lexically_relative(books).generic_string();
    if (fs::is_directory(status)) {
      out << relative << "/\n";
      listed += 1 + List(books, entry, out);
    } else if (fs::is_regular_file(status)) {
      out << relative << '\t' << fs::file_size(entry, ec) << '\n';
      ++listed;
    }
  }
  return listed;
}

int RunReader(Context& context) {
  const std::vector<std::string>& args = context.args;
  if (args.empty()) return context.Usage(Tr("needs a subcommand: ls or cursor"));
  const std::string dir = context.virtualReaderDir();  // a bad port choice stops here
  if (!reader::IsVirtualSpec(context.portSpec())) {
    // Only the virtual reader's storage can be looked into from here.
    std::cerr << Tr("quirel reader: the port %s is not the virtual reader; name it with --port virtual[:DIR]",
                    {context.portSpec()})
              << '\n';
    return kExitFailed;
  }
  reader::Firmware storage(dir);
  if (args[0] == "ls") {
    if (args.size() != 1) return context.Usage(Tr("ls takes no arguments"));
    if (List(storage.Books(), storage.Books(), std::cout) == 0)
      std::cerr << Tr("quirel reader: the virtual reader in %s holds no files",
                      {storage.Books().parent_path().string()})
                << '\n';
    return kExitDone;
  }
  if (args[0] == "cursor") {
    if (args.size() == 1) {
      if (std::optional<fs::path> cursor = reader::ReadCursor(storage)) std::cout << cursor->generic_string() << '\n';
      return kExitDone;
    }
    if (args.size() != 2) return context.Usage(Tr("cursor takes one path below books/"));
    const fs::path relative = fs::path(args[1]).lexically_normal();
    std::error_code ec;
    if (!reader::IsInsideRelative(relative) || !fs::exists(fs::symlink_status(storage.Books() / relative, ec))) {
      std::cerr << Tr("quirel reader: no such item in the reader: %s", {args[1]}) << '\n';
      return kExitFailed;
    }
    return reader::WriteCursor(storage, relative.generic_string()) ? kExitDone : kExitFailed;
  }
  return context.Usage(Tr("unknown subcommand: %s", {args[0]}));
}

}  // namespace

QUIREL_CLI_COMMAND({"reader", N_("look into the virtual reader's storage"),
                    N_("Usage: quirel reader ls\n"
                       "       quirel reader cursor [PATH]\n\n"
                       "Works on the storage folder of the virtual reader that --port names (or would\n"
                       "name), without opening the port; any other port is refused (exit status 1).\n"
                       "  ls            lists the reader's files and folders (books/), folders ending in\n"
                       "                \"/\", files followed by their size in bytes\n"
                       "  cursor        shows the item at the reader's cursor\n"
                       "  cursor PATH   puts the cursor on PATH, a file or folder relative to books/;\n"
                       "                `quirel receive` without --all takes that item\n"),
                    &RunReader});

}  // namespace quirel::cli
