// Books in formats of their own (EPUB, FB2, MOBI/AZW3, PDF, Markdown) and
// word-processor documents read directly (DOCX, ODT), read by their libraries
// into paragraphs of UTF-8 text, which then become rows like any text: a
// paragraph opens a row with the two-column indent, a heading or a line break
// of the book ends one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/convert.h"

struct _xmlNode;  // NOLINT(bugprone-reserved-identifier): libxml2's own name for xmlNode

namespace quirel::convert {

enum class BookStatus { kOk, kBroken, kProtected, kNoText };

// The most text (UTF-8 bytes of its paragraphs) a book may give: twice what
// the largest file the reader takes could hold. A book that would give more
// is refused as damaged; one made to fill the memory (a chapter named again
// and again, a small archive of huge members) never gets the chance.
inline constexpr std::size_t kMaxBookText = 32u << 20;

using Paragraphs = std::vector<std::string>;

// Each reader takes the whole file's bytes and appends the book's paragraphs
// in reading order. None of them trusts the bytes: they are fuzzing entry
// points as they are.
BookStatus ReadEpub(std::string_view bytes, Paragraphs& out);
BookStatus ReadFb2(std::string_view bytes, Paragraphs& out);  // plain or zipped
BookStatus ReadMobi(std::string_view bytes, Paragraphs& out);
BookStatus ReadPdf(std::string_view bytes, Paragraphs& out);
BookStatus ReadMarkdown(std::string_view bytes, Paragraphs& out);  // UTF-8, UTF-16, GB18030 or Big5
BookStatus ReadDocx(std::string_view bytes, Paragraphs& out);
BookStatus ReadOdt(std::string_view bytes, Paragraphs& out);
BookStatus ReadBook(FileKind kind, std::string_view bytes, Paragraphs& out);

// The text of HTML or XHTML markup (libxml2's HTML parser): block elements
// and line breaks end paragraphs; head, scripts, styles and images give
// nothing. encoding: the markup's charset, or nullptr to let the parser find it.
// False when the parser gave up part way (elements nested too deep): out then
// holds the text only up to there.
bool MarkupParagraphs(std::string_view markup, const char* encoding, Paragraphs& out);
// The same of markup parsed already (XHTML read as XML), from its root element.
void MarkupParagraphs(const _xmlNode* root, Paragraphs& out);

// Adds a paragraph with its white space folded to single blanks and trimmed;
// empty ones are left out.
void AddParagraph(Paragraphs& out, std::string_view text);

// Lines of one block as one paragraph: a blank between them, except between
// two Han or full-width characters.
std::string JoinLines(const std::vector<std::string>& lines);
// Whether a line end between the two texts goes without a blank: the last
// character before it and the first after it are Han or full-width ones.
bool JoinsWithoutBlank(std::string_view before, std::string_view after);

// The reader's GB text of the paragraphs, an empty line between two, with
// Traditional text simplified as the whole book says.
std::string ParagraphsToGb(const Paragraphs& paragraphs);
// The rows of the paragraphs.
std::string LayoutParagraphs(const Paragraphs& paragraphs, int width);

// "文件" + path + reason, as an error box.
void ShowDocumentMessage(Context& ctx, const std::string& path, std::string_view reason);

}  // namespace quirel::convert
