// How the reader's screen shows an e-book: fixed rows of 16 or 20 bytes,
// GBK, with the five characters the reader keeps at its own codes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quirel::viewer {

// The row width for the "Font" value of config.ini: 1 (large) gives 16,
// anything else 20.
int RowWidthForFont(int font);

// The row width an e-book was most likely laid out with, 16 or 20, from
// its own bytes: its length (a whole number of rows) and where its
// paragraph indents fall. 0 when the bytes do not tell.
int GuessRowWidth(std::string_view bytes);

// Splits the bytes into rows of width bytes (the last row may be short) and
// decodes each to UTF-8: GBK, the device codes 0xA9 0xFA..0xFE as
// 進 迴 槃 卍 脦, control bytes as blanks.
std::vector<std::string> RenderRows(std::string_view bytes, int width);

}  // namespace quirel::viewer
