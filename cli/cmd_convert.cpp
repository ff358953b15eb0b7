// quirel convert: one document to the bytes a send in the convert format
// would put on the cable.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "cli/command.h"
#include "convert/convert.h"

namespace quirel::cli {
namespace {

int RunConvert(Context& context) {
  int rowWidth = 20;
  std::vector<std::string> files;
  const auto& args = context.args;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    std::string font;
    if (word == "--font") {
      if (i + 1 >= args.size()) return context.Usage("--font needs large or small");
      font = args[++i];
    } else if (word.rfind("--font=", 0) == 0) {
      font = word.substr(7);
    } else if (word == "--") {
      files.insert(files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    } else if (word.size() > 1 && word[0] == '-') {
      return context.Usage("unknown option " + word);
    } else {
      files.push_back(word);
      continue;
    }
    if (font == "large")
      rowWidth = 16;
    else if (font == "small")
      rowWidth = 20;
    else
      return context.Usage("--font needs large or small, not '" + font + "'");
  }
  if (files.size() != 2) return context.Usage("needs INPUT and OUTPUT");
  const std::string& input = files[0];
  const std::string& output = files[1];

  std::error_code ec;
  if (!std::filesystem::is_regular_file(input, ec) || !std::ifstream(input, std::ios::binary)) {
    std::cerr << "quirel convert: cannot read " << input << '\n';
    return kExitFailed;
  }
  convert::Context ctx{context.env(), context.ui(), rowWidth};
  if (convert::ConvertDocument(ctx, input, output) != 0) {
    std::cerr << "quirel convert: " << input << " was not converted\n";
    return kExitFailed;
  }
  return kExitDone;
}

}  // namespace

QUIREL_CLI_COMMAND({"convert", "convert one document to the reader's e-book rows",
                    "quirel convert [--font large|small] INPUT OUTPUT\n\n"
                    "Converts INPUT exactly as a send in the convert format would and writes the\n"
                    "bytes that would go to the reader to OUTPUT. The kind comes from the name:\n"
                    ".txt text, .htm/.html web page, .doc/.docx/.rtf/.odt word-processor document\n"
                    "(through LibreOffice; without it the document is taken as plain text), .ebk\n"
                    "e-book (copied as it is); anything else is taken as text. UTF-8 text and\n"
                    "pages are recoded to GBK, Big5 rows to GB.\n\n"
                    "  --font large   rows of 16 bytes\n"
                    "  --font small   rows of 20 bytes (the default)\n\n"
                    "The work files stay in the system directory. Exit status: 0 done, 1 failed,\n"
                    "64 bad usage.\n",
                    &RunConvert});

}  // namespace quirel::cli
