#include "convert/big5.h"

#include <unicode/translit.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "convert/convert.h"
#include "convert/encoding.h"

namespace quirel::convert {
namespace {

constexpr std::uint16_t kBlankEntry = 0xA1A1;  // 0xA1 0xA1 in memory either way
constexpr std::size_t kTableSize = static_cast<std::size_t>(kBig5TableRows) * kBig5TableColumns;

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr OpenStrict(const char* name, bool fromUnicode) {
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr c(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  if (fromUnicode)
    ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  else
    ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  return U_SUCCESS(status) ? std::move(c) : nullptr;
}

// The two bytes of one character in a converter, or false.
bool Encode(UConverter* conv, const icu::UnicodeString& text, std::uint8_t out[2]) {
  if (conv == nullptr) return false;
  char bytes[8];
  UErrorCode status = U_ZERO_ERROR;
  ucnv_reset(conv);
  const int32_t n = ucnv_fromUChars(conv, bytes, sizeof bytes, text.getBuffer(), text.length(), &status);
  if (U_FAILURE(status) || n != 2) return false;
  out[0] = static_cast<std::uint8_t>(bytes[0]);
  out[1] = static_cast<std::uint8_t>(bytes[1]);
  return true;
}

// Big5 to Unicode (windows-950), Traditional to Simplified with ICU's
// transliterator, then GB2312; a simplified character outside GB2312 takes
// its GBK form. Private-use characters and anything without a form give the
// full-width blank.
std::array<std::uint16_t, kTableSize> BuildTable() {
  std::array<std::uint16_t, kTableSize> table;
  table.fill(kBlankEntry);
  ConverterPtr big5 = OpenStrict("windows-950", false);
  ConverterPtr gb2312 = OpenStrict("GB2312", true);
  ConverterPtr gbk = OpenStrict("GBK", true);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Transliterator> simplify(
      icu::Transliterator::createInstance("Traditional-Simplified", UTRANS_FORWARD, status));
  if (U_FAILURE(status)) simplify.reset();
  if (!big5) return table;

  for (int row = 0; row < kBig5TableRows; ++row) {
    for (int column = 0; column < kBig5TableColumns; ++column) {
      const char pair[2] = {static_cast<char>(0xA1 + row), static_cast<char>(0x40 + column)};
      UChar units[4];
      status = U_ZERO_ERROR;
      ucnv_reset(big5.get());
      const int32_t n = ucnv_toUChars(big5.get(), units, 4, pair, 2, &status);
      if (U_FAILURE(status) || n < 1) continue;
      int32_t i = 0;
      UChar32 cp;
      U16_NEXT(units, i, n, cp);
      if (i != n || (cp >= 0xE000 && cp <= 0xF8FF)) continue;

      const icu::UnicodeString original(cp);
      icu::UnicodeString simplified(original);
      if (simplify) simplify->transliterate(simplified);
      std::uint8_t gb[2];
      const bool found = (Encode(gb2312.get(), simplified, gb) && GbFormShowable(gb)) ||
                         (Encode(gb2312.get(), original, gb) && GbFormShowable(gb)) ||
                         (Encode(gbk.get(), simplified, gb) && GbFormShowable(gb)) ||
                         (Encode(gbk.get(), original, gb) && GbFormShowable(gb));
      if (!found) continue;
      // Lead byte first in memory.
      const std::uint8_t bytes[2] = {gb[0], gb[1]};
      std::uint16_t entry;
      std::memcpy(&entry, bytes, 2);
      table[static_cast<std::size_t>(row) * kBig5TableColumns + static_cast<std::size_t>(column)] = entry;
    }
  }
  return table;
}

}  // namespace

const std::uint16_t* Big5ToGbTable() {
  static const std::array<std::uint16_t, kTableSize> table = BuildTable();
  return table.data();
}

void Big5PairToGb(std::uint8_t lead, std::uint8_t trail, std::uint8_t out[2]) {
  if (lead < 0xA1 || lead > 0xFE || trail < 0x40 || trail > 0xFE) {
    out[0] = out[1] = 0xA1;
    return;
  }
  const std::uint16_t entry =
      Big5ToGbTable()[static_cast<std::size_t>(lead - 0xA1) * kBig5TableColumns + (trail - 0x40)];
  std::memcpy(out, &entry, 2);
}

void RecodeBig5(const std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out) {
  const std::size_t n = in.size();
  out.resize(n);
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t a = in[i];
    const std::uint8_t next = i + 1 < n ? in[i + 1] : 0;  // a last lead byte has no trail
    if (a < 0xA1 || next < 0x40) {
      out[i] = a;
      ++i;
      continue;
    }
    // 0xFF on either side lies outside the table: a full-width blank keeps the
    // pair's two columns.
    Big5PairToGb(a, next, &out[i]);
    i += 2;
  }
}

bool CodeConverter::Load() {
  input_.clear();
  output_.clear();
  input_.shrink_to_fit();
  output_.shrink_to_fit();
  std::ifstream in(inputPath, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  in.seekg(0);
  input_.resize(static_cast<std::size_t>(size));
  if (size > 0 && !in.read(reinterpret_cast<char*>(input_.data()), size)) {
    input_.clear();
    return false;
  }
  return true;
}

void CodeConverter::Convert() { RecodeBig5(input_, output_); }

bool CodeConverter::Write() const {
  std::FILE* f = std::fopen(outputPath.c_str(), "wb");
  if (f == nullptr) return false;
  std::vector<std::uint8_t> block;
  block.reserve(std::size_t{64} * 1024);
  bool ok = true;
  for (std::size_t i = 0; i < output_.size(); i += block.capacity()) {
    const std::size_t n = std::min(block.capacity(), output_.size() - i);
    block.assign(output_.begin() + static_cast<std::ptrdiff_t>(i),
                 output_.begin() + static_cast<std::ptrdiff_t>(i + n));
    for (std::uint8_t& b : block)
      if (b == 0x00) b = 0x01;
    if (std::fwrite(block.data(), 1, n, f) != n) ok = false;
  }
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

int LooksLikeBig5(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return -1;
  std::uint8_t buffer[kBig5SampleSize] = {};
  const std::size_t count = std::fread(buffer, 1, sizeof buffer, f);
  std::fclose(f);
  return LooksLikeBig5(buffer, count);
}

int LooksLikeBig5(const std::uint8_t* data, std::size_t size) {
  const std::size_t count = std::min(size, kBig5SampleSize);
  // A pair cut by the sample's end is taken with a 0 trail byte.
  auto at = [&](std::size_t i) -> std::uint8_t { return i < count ? data[i] : 0; };
  int lowTrail = 0, highTrail = 0;
  std::size_t i = 0;
  while (i < count) {
    const std::uint8_t b = at(i);
    if (b == 0x09 || b == 0x0A || b < 0xA1 || at(i + 1) < 0x40) {
      ++i;
      continue;
    }
    if (at(i + 1) <= 0x7E)
      ++lowTrail;
    else
      ++highTrail;
    i += 2;
  }
  if (lowTrail > 0 && highTrail > 0 && static_cast<float>(lowTrail) / static_cast<float>(lowTrail + highTrail) < 0.35f)
    return 0;
  return lowTrail > 0 ? 1 : 0;
}

bool SourceIsBig5(std::string_view bytes) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::size_t count = std::min(bytes.size(), kBig5SampleSize);
  for (std::size_t i = 0; i + 1 < count; ++i) {
    if (p[i] < 0x81) continue;
    if (p[i] <= 0xA0 || (p[i + 1] >= 0x80 && p[i + 1] <= 0xA0)) return false;
    ++i;
  }
  return LooksLikeBig5(p, count) == 1;
}

TextCode CheckTextCode(Context& ctx) { return CheckTextCode(ctx, RowCoding::kAsk); }

TextCode CheckTextCode(Context& ctx, RowCoding rows) {
  if (rows == RowCoding::kGb) return TextCode::kGb;
  CodeConverter converter;
  converter.inputPath = ctx.env.WorkFile(kEbookWork);
  converter.outputPath = ctx.env.WorkFile(kRecodedWork);
  if (rows == RowCoding::kAsk && LooksLikeBig5(converter.inputPath) == 0) return TextCode::kGb;
  if (!converter.Load()) return TextCode::kFailed;
  converter.Convert();
  if (!converter.Write()) return TextCode::kFailed;
  return TextCode::kRecoded;
}

}  // namespace quirel::convert
