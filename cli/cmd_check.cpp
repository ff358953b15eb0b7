// quirel check: e-book files held to what the reader needs of every byte.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/command.h"
#include "common/translate.h"
#include "common/ini.h"
#include "convert/ebook_check.h"
#include "viewer/rows.h"

namespace quirel::cli {
namespace {

constexpr std::size_t kFaultsShown = 20;

int RunCheck(Context& context) {
  int width = 0;
  std::vector<std::string> files;
  if (const int usage = FilesAndFont(context, files, width); usage != kExitDone) return usage;
  if (files.empty()) return context.Usage(Tr("needs at least one FILE"));

  int status = kExitDone;
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in && !in.eof()) {
      std::cerr << Tr("quirel check: cannot read %s", {file}) << '\n';
      status = kExitFailed;
      continue;
    }
    int rowWidth = width;
    if (rowWidth == 0) rowWidth = viewer::GuessRowWidth(bytes);
    if (rowWidth == 0) {
      int font = 2;
      try {
        font = std::stoi(ReadIniValue(context.env().HomeFile("config.ini"), "ConfigInfo", "Font", "2"));
      } catch (const std::exception&) {}
      rowWidth = viewer::RowWidthForFont(font);
    }
    const std::vector<convert::RowFault> faults = convert::CheckEbookRows(bytes, rowWidth);
    const std::size_t rows =
        (bytes.size() + static_cast<std::size_t>(rowWidth) - 1) / static_cast<std::size_t>(rowWidth);
    if (faults.empty()) {
      std::cout << file << ": " << rows << " rows of " << rowWidth << " bytes, no fault\n";
      continue;
    }
    status = kExitFailed;
    std::size_t faultyRows = 0;
    for (std::size_t k = 0; k < faults.size(); ++k) {
      faultyRows += k == 0 || faults[k].row != faults[k - 1].row;
      if (k < kFaultsShown)
        std::cout << file << ": row " << faults[k].row + 1 << ", column " << faults[k].column + 1 << ": "
                  << faults[k].what << '\n';
    }
    std::cout << file << ": " << faults.size() << " faults in " << faultyRows << " of " << rows << " rows of "
              << rowWidth << " bytes\n";
  }
  return status;
}

}  // namespace

QUIREL_CLI_COMMAND({"check", N_("check e-book files the way the reader reads them"),
                    N_("quirel check [--font large|small] FILE...\n\n"
                       "Reads each FILE as the reader's rows and names every fault, by row and\n"
                       "column (both from 1): a last row shorter than the others, a control byte,\n"
                       "a byte 0x80..0xA0 outside a character, a character whose first byte stands\n"
                       "on an odd column or in a row's last column, and a character the reader's\n"
                       "font does not hold. The first 20 faults of a file are shown, then how many\n"
                       "there are in how many rows.\n\n"
                       "  --font large   rows of 16 bytes\n"
                       "  --font small   rows of 20 bytes\n"
                       "Without --font the width is the one the file's own rows suggest, or the\n"
                       "font config.ini names when they do not tell.\n\n"
                       "Exit status: 0 no fault in any FILE, 1 a fault or an unreadable FILE,\n"
                       "64 bad usage.\n"),
                    &RunCheck});

}  // namespace quirel::cli
