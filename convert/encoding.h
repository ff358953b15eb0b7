// Recognising how a document is coded, and turning Unicode text into the GB
// characters that the row layout and the reader expect. GB and Big5 documents
// keep their own bytes: the row layout and the Big5 check handle them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/text.h"  // DecodeUtf8

namespace quirel::convert {

inline constexpr std::uint16_t kFullWidthBlank = 0xA1A1;  // lead byte in the high half

// How a document's bytes are to be read.
enum class TextCoding {
  kLegacy,   // GB or Big5 bytes, taken as they are
  kUtf8,     // well-formed UTF-8 holding a multi-byte character, or a UTF-8 byte-order mark
  kUtf16Le,  // by its byte-order mark, or by the shape of its code units
  kUtf16Be,
  kGb18030,  // GB bytes holding four-byte sequences (characters outside GBK)
  kBinary,   // no text at all: refused
};

// The coding of a whole document held in memory.
TextCoding DetectCoding(std::string_view bytes);
// The same for a file, read in blocks; kLegacy when it cannot be read (the
// caller's open then fails as before).
TextCoding DetectFileCoding(const std::string& path);

// The GBK form of a code point as lead * 256 + trail, or kFullWidthBlank when
// it has none. Code points below 0x80 are not asked for. A single-byte form
// above 0x7F (the euro sign's 0x80) counts as none: the row layout would take
// it for the first byte of a character and swallow the byte after it.
std::uint16_t GbkOf(std::uint32_t codePoint);

// The character the reader shows for a code point, as lead * 256 + trail, or
// kFullWidthBlank. Traditional text is simplified the way the Big5 table does
// it, so that the same text gives the same rows from Big5 and from Unicode;
// in simplified text a character of GB2312 is kept as it is (the
// transliteration would turn a few of them, such as 著 and 俱, into others).
std::uint16_t ReaderFormOf(std::uint32_t codePoint, bool traditional);

// A GB form that the reader's font can show: lead byte 0xA1 or above, outside
// the user-defined areas of GBK.
bool GbFormShowable(const std::uint8_t gb[2]);

// ReaderFormOf for the whole basic plane: 0x10000 entries.
const std::uint16_t* ReaderForms(bool traditional);

// Unicode text in the given coding as UTF-8 (a byte-order mark dropped,
// malformed bytes as U+FFFD). kLegacy reads as GBK.
std::string ToUtf8(std::string_view bytes, TextCoding coding);

// Counts the characters that only Traditional (Big5) or only Simplified
// (GB2312) text uses, to tell which kind a text is.
class ScriptCount {
 public:
  void Add(std::uint32_t codePoint);
  bool Traditional() const { return traditional_ > simplified_; }

 private:
  std::size_t traditional_ = 0;
  std::size_t simplified_ = 0;
};

// Whether the Unicode text at the start of a document (in the given coding)
// is Traditional.
bool SampleIsTraditional(std::string_view bytes, TextCoding coding);

// Walks a byte stream in pieces and says whether it was well-formed UTF-8
// holding at least one multi-byte sequence, or started with a byte-order mark.
class Utf8Scan {
 public:
  void Feed(const std::uint8_t* p, std::size_t n);
  // After the last piece.
  void Finish();
  bool valid() const { return valid_; }
  bool multibyte() const { return multibyte_; }
  bool bom() const { return bom_; }
  // The verdict: read the bytes as UTF-8.
  bool IsUtf8() const { return bom_ || (valid_ && multibyte_); }
  // Nothing more can change the verdict.
  bool Decided() const { return bom_ || (!valid_ && seen_ >= 3); }

 private:
  std::uint8_t carry_[4] = {};
  std::size_t carried_ = 0;
  std::size_t seen_ = 0;
  bool valid_ = true;
  bool multibyte_ = false;
  bool bom_ = false;
};

bool LooksLikeUtf8(std::string_view bytes);

// The charset a web page declares in a <meta> (charset=..., in any letter
// case, quoted or not), lower-cased; empty when it declares none.
std::string MetaCharset(std::string_view page);
bool MetaCharsetIsUtf8(std::string_view page);

// Unicode text in the given coding to the reader's GB characters, as
// UnicodeToGbSource does it (a leading byte-order mark dropped).
std::string TranscodeToGb(std::string_view bytes, TextCoding coding, bool traditional);
// UTF-8 to GB, Traditional or not as the text itself says.
std::string TranscodeUtf8ToGbk(std::string_view utf8);

}  // namespace quirel::convert
