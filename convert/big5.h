// Big5 documents: the check on the first bytes of the rows and the recoding
// of Big5 rows to GB.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quirel::convert {

inline constexpr int kBig5TableRows = 94;      // lead bytes 0xA1..0xFE
inline constexpr int kBig5TableColumns = 191;  // trail bytes 0x40..0xFE

// 94 x 191 entries; entry [row * 191 + column] serves the Big5 pair
// (0xA1 + row, 0x40 + column) and holds the two GB bytes in text order
// (lead byte first in memory: the low byte of the little-endian value).
// Unassigned positions hold 0xA1 0xA1. Derived from ICU at first use.
const std::uint16_t* Big5ToGbTable();

// The GB pair for a Big5 pair; positions outside the table give the
// full-width blank.
void Big5PairToGb(std::uint8_t lead, std::uint8_t trail, std::uint8_t out[2]);

// Recodes Big5 rows to GB in place of out (same length as in).
void RecodeBig5(const std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out);

// The object that recodes the rows of the work file.
class CodeConverter {
 public:
  std::string inputPath;
  std::string outputPath;

  // Loads the input file whole; false when it cannot be read.
  bool Load();
  void Convert();
  // Writes the converted bytes, a 0x00 written as 0x01; false when the file
  // cannot be written.
  bool Write() const;

  std::size_t loaded() const { return input_.size(); }
  const std::vector<std::uint8_t>& output() const { return output_; }

 private:
  std::vector<std::uint8_t> input_;
  std::vector<std::uint8_t> output_;
};

}  // namespace quirel::convert
