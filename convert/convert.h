// Documents to the reader's e-book rows (.ebk): text, web pages and
// word-processor documents, with the Big5 check and recoding. Results land in
// work files of the system directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/environment.h"
#include "common/ui.h"

namespace quirel::convert {

// Work file names in the system directory.
inline constexpr const char* kEbookWork = "ebkkestrom.tmp";
inline constexpr const char* kRecodedWork = "ebkkestrom1.tmp";
inline constexpr const char* kHtmlWork = "htmkestrom.tmp";
inline constexpr const char* kPreviewFile = "vantrel.txt";

struct Context {
  const Environment& env;
  UserInterface& ui;
  int rowWidth = 20;  // RowWidth: 16 (large font) or 20 (small font)
};

enum FileKind : int {
  kOther = -1,
  kText = 0,
  kWebPage = 1,
  kWordDocument = 2,
  kEbook = 3,
  // Books in formats of their own, read by their libraries.
  kEpub = 4,
  kFb2 = 5,   // also zipped (".fb2.zip")
  kMobi = 6,  // MOBI, AZW and AZW3
  kPdf = 7,
  kMarkdown = 8,  // rendered to markup, then read like a book's chapter
  // Word-processor documents read directly, without the word processor.
  kDocx = 9,
  kOdt = 10,
};

// Kind from the (lower-cased) name. A name whose extension is ".epub",
// ".fb2" (or that ends in ".fb2.zip"), ".mobi", ".azw", ".azw3", ".pdf",
// ".md", ".markdown", ".docx" or ".odt" is that book; otherwise substring
// tests decide, later tests winning: ".txt", ".md" or ".markdown" text (so
// "notes.md.bak"), ".htm"/".html"/".xhtml" web page, ".doc" (so also
// "a.docx.bak"), ".rtf", ".odt" or ".wps" Word document, ".ebk" e-book.
FileKind ClassifyName(const std::string& lowerName);
bool IsBookKind(FileKind kind);

// What the Big5 check is to make of the rows a conversion wrote: ask
// LooksLikeBig5 (GB or Big5 bytes of unknown kind), or take the answer that
// the document's coding already gave.
enum class RowCoding { kAsk, kGb, kBig5 };

// How a conversion ended; a failure has shown its message where it shows one.
enum class ConvertResult : int { kDone = 0, kFailed = 1 };
// What the Big5 check made of the rows: GB as they are (the e-book work file),
// recoded from Big5 (the recoded work file), or failed.
enum class TextCode : int { kGb = 0, kFailed = 1, kRecoded = 2 };

[[nodiscard]] ConvertResult TextToEbook(Context& ctx, const std::string& path);
// The same, saying how the rows are coded. A file that is no text in any
// coding is refused with a message.
[[nodiscard]] ConvertResult TextToEbook(Context& ctx, const std::string& path, RowCoding& rows);
[[nodiscard]] int LooksLikeBig5(const std::string& path);  // 1, 0, -1
// The same check on rows in memory: only their first kBig5SampleSize bytes
// count, as from the file. 1 or 0.
inline constexpr std::size_t kBig5SampleSize = 2047;
[[nodiscard]] int LooksLikeBig5(const std::uint8_t* data, std::size_t size);
// Whether a document of GB or Big5 bytes is Big5, from its first
// kBig5SampleSize bytes: the rows' check, unless they hold a pair that
// Big5 has no room for (a first byte 0x81..0xA0 or a second byte
// 0x80..0xA0), which makes them GB.
[[nodiscard]] bool SourceIsBig5(std::string_view bytes);
[[nodiscard]] TextCode CheckTextCode(Context& ctx);
[[nodiscard]] TextCode CheckTextCode(Context& ctx, RowCoding rows);
[[nodiscard]] int StripHtml(Context& ctx, const std::string& path);  // 1 written, 0 failed
[[nodiscard]] int StripHtml(Context& ctx, const std::string& path, RowCoding& rows);
[[nodiscard]] ConvertResult HtmlTextToEbook(Context& ctx, const std::string& path);
[[nodiscard]] ConvertResult HtmlTextToEbook(Context& ctx, const std::string& path, RowCoding& rows);

// A book (IsBookKind) to rows in the e-book work file; a failure shows a
// message when the book is damaged, protected or holds no text.
[[nodiscard]] ConvertResult BookToEbook(Context& ctx, const std::string& path, FileKind kind);
// A book's text as UTF-8, paragraphs separated by an empty line, for a
// preview that keeps the format; a failure shows its message.
[[nodiscard]] ConvertResult BookToText(Context& ctx, const std::string& path, FileKind kind, std::string& utf8);

// The document's path with the extension of its name replaced by ".txt".
std::string TextPathFor(const std::string& documentPath);
bool WordInstalled();
// The word processor's program is there to be run (without running it).
bool WordProgramFound();
// Every document's text from one run of the word processor (each saved as
// ODT and read as the books are): UTF-8, an empty line between two
// paragraphs; nullopt for a document it could not read. started is false
// when the program could not be run at all.
std::vector<std::optional<std::string>> WordTextsInOneRun(const Environment& env,
                                                          const std::vector<std::string>& documents, bool& started);
[[nodiscard]] ConvertResult WordToText(Context& ctx, const std::string& documentPath);  // failure shown

// Several documents converted by one word-processor run.
class WordInstance {
 public:
  // The private word-processor profile lives in the system directory; without
  // an environment it is resolved as at start-up.
  WordInstance();
  explicit WordInstance(const Environment& env);
  ~WordInstance();
  WordInstance(const WordInstance&) = delete;
  WordInstance& operator=(const WordInstance&) = delete;
  bool Open();
  // Writes the text file at TextPathFor(documentPath); false when none appeared.
  bool Convert(const std::string& documentPath);
  void Close();

 private:
  struct Impl;
  Impl* impl_ = nullptr;
};

// The conversion of one file in the convert format, as a send does it:
// web page -> HtmlTextToEbook, e-book -> the file itself, other books ->
// BookToEbook, anything else -> TextToEbook; then CheckTextCode where the
// rows may be Big5. When done, sendPath is
// the file whose bytes go to the reader.
[[nodiscard]] ConvertResult ConvertForSend(Context& ctx, const std::string& path, FileKind kind, std::string& sendPath);

// The conversion for the preview: leaves the result in vantrel.txt of the
// system directory (a failure possibly shows a message). The kind
// comes from the file's name (not from the folders above it); a Word
// document is converted through a copy in the system directory, so that a
// text file of the same name beside it is left alone.
[[nodiscard]] ConvertResult ConvertForPreview(Context& ctx, const std::string& path);

// A copy of a Word document in the system directory's work folder, for the
// word processor to write its text beside; empty when it cannot be made.
std::string WordWorkCopy(Context& ctx, const std::string& documentPath);
// Deletes the copy and the text made from it.
void RemoveWordWorkCopy(const std::string& copyPath);

// One document converted exactly as a send in the convert format would, the
// bytes that would be sent written to outputPath (a failure shows a
// message where the conversion shows one).
[[nodiscard]] ConvertResult ConvertDocument(Context& ctx, const std::string& inputPath, const std::string& outputPath);

}  // namespace quirel::convert
