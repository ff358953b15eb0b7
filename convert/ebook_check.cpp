#include "convert/ebook_check.h"

#include <unicode/ucnv.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "common/icu_converter.h"
#include "convert/encoding.h"

namespace quirel::convert {
namespace {

// One bit per pair: a GBK character the font holds.
using PairSet = std::array<std::uint64_t, 0x10000 / 64>;

PairSet BuildShown() {
  PairSet set{};
  ConverterPtr gbk = OpenConverter("GBK");
  UErrorCode status = U_ZERO_ERROR;
  if (gbk) ucnv_setToUCallBack(gbk.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  for (unsigned lead = 0xA1; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      const std::uint8_t gb[2] = {static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)};
      if (!GbFormShowable(gb) || !gbk) continue;
      UChar units[4];
      status = U_ZERO_ERROR;
      ucnv_reset(gbk.get());
      const int32_t n = ucnv_toUChars(gbk.get(), units, 4, reinterpret_cast<const char*>(gb), 2, &status);
      if (U_FAILURE(status) || n != 1 || units[0] == 0xFFFD || units[0] == 0x1A) continue;
      const unsigned index = lead << 8 | trail;
      set[index / 64] |= std::uint64_t{1} << (index % 64);
    }
  }
  return set;
}

std::string Hex(std::uint8_t b) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", b);
  return text;
}

}  // namespace

bool ReaderShowsPair(std::uint8_t lead, std::uint8_t trail) {
  if (lead == 0xA9 && trail >= 0xFA && trail <= 0xFE) return true;
  static const PairSet shown = BuildShown();
  const unsigned index = static_cast<unsigned>(lead) << 8 | trail;
  return (shown[index / 64] >> (index % 64) & 1) != 0;
}

std::vector<RowFault> CheckEbookRows(std::string_view rows, int width, std::size_t limit) {
  std::vector<RowFault> faults;
  if (width <= 0 || limit == 0) return faults;
  const auto w = static_cast<std::size_t>(width);
  auto add = [&](std::size_t row, std::size_t column, std::string what) {
    faults.push_back({row, static_cast<int>(column), std::move(what)});
    return faults.size() < limit;
  };
  for (std::size_t start = 0; start < rows.size(); start += w) {
    const std::size_t row = start / w;
    if (rows.size() - start < w && !add(row, rows.size() - start, "the last row is cut short")) return faults;
    const std::size_t end = std::min(rows.size(), start + w);
    for (std::size_t i = start; i < end; ++i) {
      const auto b = static_cast<std::uint8_t>(rows[i]);
      const std::size_t column = i - start;
      if (b >= 0x20 && b < 0x7F) continue;
      if (b < 0x20 || b == 0x7F) {
        if (!add(row, column, "control byte " + Hex(b))) return faults;
      } else if (b <= 0xA0) {
        if (!add(row, column, "byte " + Hex(b) + " outside a pair")) return faults;
      } else if (column % 2 != 0) {
        if (!add(row, column, "lead byte " + Hex(b) + " on an odd column")) return faults;
      } else if (i + 1 >= end) {
        if (!add(row, column, "lead byte " + Hex(b) + " without its trail byte")) return faults;
      } else {
        const auto t = static_cast<std::uint8_t>(rows[i + 1]);
        if (!ReaderShowsPair(b, t) &&
            !add(row, column, "pair " + Hex(b) + " " + Hex(t) + " is no character the reader shows"))
          return faults;
        ++i;
      }
    }
  }
  return faults;
}

bool CheckEbookFile(const std::string& path, int width, std::vector<RowFault>& faults, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string rows{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return false;
  faults = CheckEbookRows(rows, width, limit);
  return true;
}

}  // namespace quirel::convert
