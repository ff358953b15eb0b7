// quirel convert: one document to the bytes a send in the convert format
// would put on the cable.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "cli/command.h"
#include "common/translate.h"
#include "common/text.h"
#include "convert/convert.h"
#include "resources/messages.h"

namespace quirel::cli {
namespace {

int RunConvert(Context& context) {
  int rowWidth = 20;
  std::vector<std::string> files;
  if (const int usage = FilesAndFont(context, files, rowWidth); usage != kExitDone) return usage;
  if (files.size() != 2) return context.Usage(Tr("needs INPUT and OUTPUT"));
  const std::string& input = files[0];
  const std::string& output = files[1];

  std::error_code ec;
  if (!std::filesystem::is_regular_file(input, ec) || !std::ifstream(input, std::ios::binary)) {
    std::cerr << Tr("quirel convert: cannot read %s", {input}) << '\n';
    return kExitFailed;
  }
  // Any name of INPUT itself (a link, another path): writing it would lose it.
  if (output != "-" && std::filesystem::equivalent(input, output, ec)) {
    std::cerr << Tr("quirel convert: %s is %s itself; name another OUTPUT", {output, input}) << '\n';
    return kExitFailed;
  }
  // A send would take such a document as plain text; asked for a conversion,
  // rows of its binary bytes would be a wrong result.
  const std::string name = std::filesystem::path(input).filename().string();
  if (convert::ClassifyName(LowerAscii(name)) == convert::kWordDocument && !convert::WordProgramFound()) {
    context.ui().ShowMessage(msg::kNoWordConvert, msg::kCaption, Icon::Information);
    std::cerr << Tr("quirel convert: %s is a word-processor document and LibreOffice was not found (soffice, or "
                    "the program QUIREL_SOFFICE names)",
                    {name})
              << '\n';
    return kExitFailed;
  }

  // Converted into a work file first, so that a failed conversion leaves
  // OUTPUT as it was and "-" can stand for standard output.
  const std::string work = context.env().WorkFile("quirel-convert-" + std::to_string(::getpid()) + ".ebk");
  convert::Context ctx{context.env(), context.ui(), rowWidth};
  const convert::ConvertResult converted = convert::ConvertDocument(ctx, input, work);
  std::string bytes;
  if (converted == convert::ConvertResult::kDone) {
    std::ifstream in(work, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::filesystem::remove(work, ec);
  if (converted != convert::ConvertResult::kDone) {
    std::cerr << Tr("quirel convert: %s was not converted", {input}) << '\n';
    return kExitFailed;
  }

  if (output == "-") {
    std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::cout.flush();
    if (!std::cout) {
      std::cerr << Tr("quirel convert: cannot write to standard output") << '\n';
      return kExitFailed;
    }
    return kExitDone;
  }
  errno = 0;
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (out) out.flush();
  if (!out) {
    const int error = errno;
    if (error != 0)
      std::cerr << Tr("quirel convert: cannot write %s: %s", {output, std::strerror(error)}) << '\n';
    else
      std::cerr << Tr("quirel convert: cannot write %s", {output}) << '\n';
    return kExitFailed;
  }
  return kExitDone;
}

}  // namespace

QUIREL_CLI_COMMAND({"convert", N_("convert one document to the reader's e-book rows"),
                    N_("quirel convert [--font large|small] INPUT OUTPUT\n\n"
                       "Converts INPUT exactly as a send in the convert format would and writes the\n"
                       "bytes that would go to the reader to OUTPUT (\"-\": standard output). The kind\n"
                       "comes from the name:\n"
                       "  .txt                      text\n"
                       "  .htm .html .xhtml         web page\n"
                       "  .docx .odt                word-processor document, read directly (notes after\n"
                       "                            their paragraph, deleted text and comments left out)\n"
                       "  .doc .rtf .wps            word-processor document (through LibreOffice, which\n"
                       "                            must be installed)\n"
                       "  .epub                     EPUB 2 or 3 book, chapters in reading order\n"
                       "  .fb2 .fb2.zip             FictionBook\n"
                       "  .mobi .azw .azw3          Kindle book without DRM\n"
                       "  .pdf                      PDF with text (not a scanned one)\n"
                       "  .md .markdown             Markdown, its text without the markup (front\n"
                       "                            matter, tags and footnote markers left out)\n"
                       "  .ebk                      e-book (copied as it is)\n"
                       "Anything else is taken as text. Text and pages may be GB, Big5, UTF-8,\n"
                       "UTF-16 or GB18030; Unicode and Big5 text in Traditional characters comes out\n"
                       "in simplified ones. A file that is no text (a picture, an archive, a program)\n"
                       "is refused, and so are damaged and DRM-protected books.\n\n"
                       "  --font large   rows of 16 bytes\n"
                       "  --font small   rows of 20 bytes (the default)\n\n"
                       "The work files go in a folder of this run's own, removed at the end. Exit\n"
                       "status: 0 done, 1 failed (the reason is printed: an unreadable INPUT, a file\n"
                       "that is no text, a damaged or protected book, a word-processor document\n"
                       "without LibreOffice, an OUTPUT that is INPUT itself or cannot be written),\n"
                       "64 bad usage.\n"),
                    &RunConvert});

}  // namespace quirel::cli
