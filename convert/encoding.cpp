#include "convert/encoding.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <vector>

#include "convert/byte_source.h"

namespace quirel::convert {
namespace {

// GBK forms of the basic plane, asked of ICU once.
std::array<std::uint16_t, 0x10000> BuildGbkTable() {
  std::array<std::uint16_t, 0x10000> table{};
  table.fill(kFullWidthBlank);
  UErrorCode status = U_ZERO_ERROR;
  UConverter* gbk = ucnv_open("GBK", &status);
  if (U_FAILURE(status)) return table;
  ucnv_setFromUCallBack(gbk, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  for (std::uint32_t cp = 0x80; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const UChar unit = static_cast<UChar>(cp);
    char out[8];
    status = U_ZERO_ERROR;
    ucnv_reset(gbk);
    const int32_t n = ucnv_fromUChars(gbk, out, sizeof out, &unit, 1, &status);
    if (U_FAILURE(status) || n != 2) continue;
    table[cp] = static_cast<std::uint16_t>(static_cast<std::uint8_t>(out[0]) << 8 | static_cast<std::uint8_t>(out[1]));
  }
  ucnv_close(gbk);
  return table;
}

}  // namespace

std::uint16_t GbkOf(std::uint32_t codePoint) {
  static const std::array<std::uint16_t, 0x10000> table = BuildGbkTable();
  return codePoint < 0x10000 ? table[codePoint] : kFullWidthBlank;
}

void Utf8Scan::Feed(const std::uint8_t* p, std::size_t n) {
  static constexpr std::uint8_t kBom[3] = {0xEF, 0xBB, 0xBF};
  for (std::size_t k = 0; k < n && seen_ < 3; ++k, ++seen_) {
    if (p[k] != kBom[seen_])
      seen_ = 3;
    else if (seen_ == 2)
      bom_ = true;
  }
  if (!valid_) return;
  std::size_t i = 0;
  // A sequence split by the previous piece is completed first.
  while (carried_ > 0 && i < n) {
    carry_[carried_++] = p[i++];
    std::uint32_t cp;
    const int len = DecodeUtf8(carry_, carried_, cp);
    if (len < 0) {
      valid_ = false;
      return;
    }
    if (len > 0) {
      multibyte_ = true;
      carried_ = 0;
    }
  }
  while (i < n) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    std::uint32_t cp;
    const int len = DecodeUtf8(p + i, n - i, cp);
    if (len < 0) {
      valid_ = false;
      return;
    }
    if (len == 0) {
      // A cut-off sequence is at most three bytes long.
      carried_ = std::min<std::size_t>(n - i, sizeof carry_);
      for (std::size_t k = 0; k < carried_; ++k) carry_[k] = p[i + k];
      return;
    }
    multibyte_ = true;
    i += static_cast<std::size_t>(len);
  }
}

void Utf8Scan::Finish() {
  if (carried_ > 0) valid_ = false;  // the input ends inside a sequence
  carried_ = 0;
}

bool LooksLikeUtf8(std::string_view bytes) {
  Utf8Scan scan;
  scan.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  scan.Finish();
  return scan.IsUtf8();
}

bool FileLooksLikeUtf8(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<char> block(kReadBlock);
  Utf8Scan scan;
  while (in && !scan.Decided()) {
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got == 0) break;
    scan.Feed(reinterpret_cast<const std::uint8_t*>(block.data()), got);
  }
  scan.Finish();
  return scan.IsUtf8();
}

bool MetaCharsetIsUtf8(std::string_view page) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  auto matchAt = [&](std::size_t at, std::string_view word) {
    if (at + word.size() > page.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k)
      if (lower(page[at + k]) != word[k]) return false;
    return true;
  };
  for (std::size_t i = page.find('<'); i != std::string_view::npos; i = page.find('<', i + 1)) {
    if (!matchAt(i + 1, "meta")) continue;
    const std::size_t close = page.find('>', i);
    const std::size_t end = close == std::string_view::npos ? page.size() : close;
    for (std::size_t k = i + 5; k + 7 <= end; ++k) {
      if (!matchAt(k, "charset")) continue;
      std::size_t v = k + 7;
      while (v < end && (page[v] == ' ' || page[v] == '\t' || page[v] == '\r' || page[v] == '\n')) ++v;
      if (v >= end || page[v] != '=') continue;
      ++v;
      while (v < end && (page[v] == ' ' || page[v] == '\t' || page[v] == '"' || page[v] == '\'')) ++v;
      if (matchAt(v, "utf-8") || matchAt(v, "utf8")) return true;
    }
    i = end;
  }
  return false;
}

std::string TranscodeUtf8ToGbk(std::string_view utf8) {
  StringSource source(utf8);
  Utf8ToGbkSource gbk(source);
  std::string out;
  out.reserve(utf8.size());
  std::uint8_t block[4096];
  for (;;) {
    const std::size_t n = gbk.Read(block, sizeof block);
    out.append(reinterpret_cast<const char*>(block), n);
    if (n < sizeof block) break;
  }
  return out;
}

}  // namespace quirel::convert
