// The strict check of .ebk rows: what the reader needs of every byte, found
// by column, not by walking the bytes the way the layout writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quirel::convert {

// A pair the reader's font shows: a GBK character outside the user-defined
// areas with a lead byte of 0xA1 or above, or one of its five own codes
// 0xA9 0xFA..0xFE.
bool ReaderShowsPair(std::uint8_t lead, std::uint8_t trail);

struct RowFault {
  std::size_t row;  // from 0
  int column;       // from 0
  std::string what;
};

// Every fault of the rows at the width: a last row shorter than the width,
// control bytes, bytes 0x80..0xA0 outside a pair, a lead byte on an odd
// column (also one in a row's last column), and pairs the reader does not
// show. At most limit faults are listed.
std::vector<RowFault> CheckEbookRows(std::string_view rows, int width, std::size_t limit = SIZE_MAX);

// The same for a file; false when it cannot be read.
bool CheckEbookFile(const std::string& path, int width, std::vector<RowFault>& faults, std::size_t limit = SIZE_MAX);

}  // namespace quirel::convert
