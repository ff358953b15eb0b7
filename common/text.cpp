#include "common/text.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "common/icu_converter.h"

namespace quirel {
namespace {

std::u16string ToUtf16(std::string_view utf8) {
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr conv = OpenConverter("UTF-8");
  std::u16string out(utf8.size() + 1, u'\0');
  const int32_t n = ucnv_toUChars(conv.get(), reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                                  utf8.data(), static_cast<int32_t>(utf8.size()), &status);
  out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(n) : 0);
  return out;
}

// Converts UTF-16 to GBK one code point at a time so that unmappable
// characters can be reported and replaced.
bool FromUtf16ToGbk(const std::u16string& text, std::string& out, std::string_view* replacement) {
  ConverterPtr gbk = OpenConverter("GBK");
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(gbk.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  bool ok = true;
  out.clear();
  out.reserve(text.size() * 2);
  char buffer[8];
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = 1;
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
      len = 2;
    if (len == 1 && text[i] < 0x80) {
      out.push_back(static_cast<char>(text[i]));
      ++i;
      continue;
    }
    status = U_ZERO_ERROR;
    ucnv_reset(gbk.get());
    const int32_t n = ucnv_fromUChars(gbk.get(), buffer, sizeof buffer, reinterpret_cast<const UChar*>(text.data() + i),
                                      static_cast<int32_t>(len), &status);
    if (U_FAILURE(status) || n <= 0) {
      ok = false;
      if (replacement != nullptr) out.append(*replacement);
    } else {
      out.append(buffer, static_cast<std::size_t>(n));
    }
    i += len;
  }
  return ok;
}

}  // namespace

bool Utf8ToGbk(std::string_view utf8, std::string& gbk) { return FromUtf16ToGbk(ToUtf16(utf8), gbk, nullptr); }

std::string Utf8ToGbkLossy(std::string_view utf8, std::string_view replacement) {
  std::string out;
  FromUtf16ToGbk(ToUtf16(utf8), out, &replacement);
  return out;
}

std::string GbkToUtf8(std::string_view gbk) {
  if (std::all_of(gbk.begin(), gbk.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(gbk);
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr conv = OpenConverter("GBK");
  std::u16string wide(gbk.size() + 1, u'\0');
  const int32_t n = ucnv_toUChars(conv.get(), reinterpret_cast<UChar*>(wide.data()), static_cast<int32_t>(wide.size()),
                                  gbk.data(), static_cast<int32_t>(gbk.size()), &status);
  if (U_FAILURE(status)) return {};
  wide.resize(static_cast<std::size_t>(n));
  ConverterPtr utf8 = OpenConverter("UTF-8");
  std::string out(wide.size() * 3 + 1, '\0');
  status = U_ZERO_ERROR;
  const int32_t m =
      ucnv_fromUChars(utf8.get(), out.data(), static_cast<int32_t>(out.size()),
                      reinterpret_cast<const UChar*>(wide.data()), static_cast<int32_t>(wide.size()), &status);
  out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(m) : 0);
  return out;
}

int DecodeUtf8(const std::uint8_t* p, std::size_t n, std::uint32_t& cp) {
  const std::uint8_t c = p[0];
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  int len;
  std::uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    cp = c & 0x0F;
    if (c == 0xE0) low = 0xA0;   // overlong
    if (c == 0xED) high = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    cp = c & 0x07;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return -1;
  }
  for (int k = 1; k < len; ++k) {
    if (static_cast<std::size_t>(k) >= n) return 0;
    const std::uint8_t d = p[k];
    if (k == 1 ? (d < low || d > high) : (d & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (d & 0x3F);
  }
  return len;
}

bool IsValidUtf8(std::string_view s) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
  std::uint32_t cp = 0;
  for (std::size_t i = 0; i < s.size();) {
    const int len = DecodeUtf8(p + i, s.size() - i, cp);
    if (len <= 0) return false;
    i += static_cast<std::size_t>(len);
  }
  return true;
}

std::string LowerMultibyte(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 0x81 && c <= 0xFE) {
      ++i;  // the trail byte stays as it is
    } else if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c + 32);
    }
  }
  return out;
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& ch : out)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
  return out;
}

namespace {
char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
}  // namespace

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (Fold(text[i]) != Fold(prefix[i])) return false;
  return true;
}

bool LessNoCase(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(Fold(a[i]));
    const unsigned char y = static_cast<unsigned char>(Fold(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

std::string CutGbk(std::string_view gbk, std::size_t limit) {
  std::size_t end = 0;
  while (end < gbk.size()) {
    const std::size_t length = static_cast<unsigned char>(gbk[end]) > 0x80 ? 2 : 1;
    if (end + length > limit) break;
    end += length;
  }
  return std::string(gbk.substr(0, std::min(end, gbk.size())));
}

}  // namespace quirel
