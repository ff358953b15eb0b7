// GBK, Big5 and UTF-8 conversions, and the byte-string helpers that treat
// text the way the reader does: as bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quirel {

// UTF-8 to GBK. Returns false (and leaves out what cannot be converted) when
// some character has no GBK form.
bool Utf8ToGbk(std::string_view utf8, std::string& gbk);
// The same, replacing every character without a GBK form by `replacement`.
std::string Utf8ToGbkLossy(std::string_view utf8, std::string_view replacement);
// GBK to UTF-8; undecodable bytes become U+FFFD.
std::string GbkToUtf8(std::string_view gbk);

// The first bytes of GBK text that fit limit bytes without splitting a
// double-byte character.
std::string CutGbk(std::string_view gbk, std::size_t limit);

// Decodes one UTF-8 sequence at p (n bytes available): its length, 0 when
// the sequence is cut off by the end, -1 when it is malformed (overlong forms
// and surrogates included).
int DecodeUtf8(const std::uint8_t* p, std::size_t n, std::uint32_t& cp);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// Lower-cases ASCII capitals only, stepping over both bytes of a double-byte
// character (a byte 0x81-0xFE and the byte after it).
std::string LowerMultibyte(std::string_view text);
// Lower-cases ASCII capitals of UTF-8 text (names and paths).
std::string LowerAscii(std::string_view text);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// Case-insensitive (ASCII) ordering of list boxes.
bool LessNoCase(std::string_view a, std::string_view b);

}  // namespace quirel
