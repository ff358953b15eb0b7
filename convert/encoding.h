// Recognising UTF-8 documents and turning them into the GBK that the row
// layout and the reader expect. GB and Big5 documents never pass here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/text.h"  // DecodeUtf8

namespace quirel::convert {

inline constexpr std::uint16_t kFullWidthBlank = 0xA1A1;  // lead byte in the high half

// The GBK form of a code point as lead * 256 + trail, or kFullWidthBlank when
// it has none. Code points below 0x80 are not asked for. A single-byte form
// above 0x7F (the euro sign's 0x80) counts as none: the row layout would take
// it for the first byte of a character and swallow the byte after it.
std::uint16_t GbkOf(std::uint32_t codePoint);

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
// The same for a file, read in blocks; false when it cannot be read.
bool FileLooksLikeUtf8(const std::string& path);

// A web page whose <meta> declares the UTF-8 charset (charset=utf-8 or utf8,
// in any letter case, quoted or not).
bool MetaCharsetIsUtf8(std::string_view page);

// UTF-8 to GBK as Utf8ToGbkSource does it.
std::string TranscodeUtf8ToGbk(std::string_view utf8);

}  // namespace quirel::convert
