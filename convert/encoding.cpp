#include "convert/encoding.h"

#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/uniset.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "common/icu_converter.h"
#include "convert/byte_source.h"

namespace quirel::convert {
namespace {

using FormTable = std::array<std::uint16_t, 0x10000>;

ConverterPtr OpenFromUnicode(const char* name) { return OpenConverter(name, true); }

// The two-byte form of one code point in a converter, lead * 256 + trail, or 0.
std::uint16_t TwoByteForm(UConverter* conv, UChar32 cp) {
  if (conv == nullptr || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  UChar units[2];
  int32_t length = 0;
  UBool error = false;
  U16_APPEND(units, length, 2, cp, error);
  if (error) return 0;
  char out[8];
  UErrorCode status = U_ZERO_ERROR;
  ucnv_reset(conv);
  const int32_t n = ucnv_fromUChars(conv, out, sizeof out, units, length, &status);
  if (U_FAILURE(status) || n != 2) return 0;
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(out[0]) << 8 | static_cast<std::uint8_t>(out[1]));
}

// Forms the row layout passes to the reader as they are, plus the two that
// it turns into the reader's own codes (槃 and 卍). 0xA9 0x64 and 0xA9 0x84
// would be turned into those codes too, so they count as no form.
bool LayoutKeeps(std::uint16_t form) {
  if (form == 0x9884 || form == 0x8564) return true;
  if (form == 0xA964 || form == 0xA984) return false;
  const std::uint8_t gb[2] = {static_cast<std::uint8_t>(form >> 8), static_cast<std::uint8_t>(form & 0xFF)};
  return GbFormShowable(gb);
}

// The five characters the layout turns into the reader's own codes, found
// by their GBK forms.
std::array<UChar32, 5> DeviceCharacters() {
  std::array<UChar32, 5> found{};
  const ConverterPtr gbk = OpenConverter("GBK");
  const char forms[5][2] = {{'\xDF', '\x4D'}, {'\xDE', '\x92'}, {'\x98', '\x84'}, {'\x85', '\x64'}, {'\xC3', '\x8E'}};
  for (std::size_t k = 0; k < found.size() && gbk; ++k) {
    UChar unit[2];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(gbk.get());
    if (ucnv_toUChars(gbk.get(), unit, 2, forms[k], 2, &status) == 1 && U_SUCCESS(status)) found[k] = unit[0];
  }
  return found;
}

struct Simplifier {
  std::unique_ptr<icu::Transliterator> transliterator;
  icu::UnicodeSet changes;  // the characters it may change

  Simplifier() {
    UErrorCode status = U_ZERO_ERROR;
    transliterator.reset(icu::Transliterator::createInstance("Traditional-Simplified", UTRANS_FORWARD, status));
    if (U_FAILURE(status)) transliterator.reset();
    if (transliterator) transliterator->getSourceSet(changes);
  }
  UChar32 Simplify(UChar32 cp) const {
    if (!transliterator || !changes.contains(cp)) return cp;
    icu::UnicodeString text(cp);
    transliterator->transliterate(text);
    // A character that became several is left alone.
    return text.countChar32() == 1 ? text.char32At(0) : cp;
  }
};

FormTable BuildReaderTable(bool traditional) {
  FormTable table;
  table.fill(kFullWidthBlank);
  const ConverterPtr gb2312 = OpenFromUnicode("GB2312");
  const ConverterPtr gbk = OpenFromUnicode("GBK");
  const Simplifier simplifier;
  const std::array<UChar32, 5> devices = DeviceCharacters();
  for (UChar32 cp = 0x80; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const UChar32 simple = simplifier.Simplify(cp);
    // Traditional text takes the simplified character first, as the Big5
    // table does; simplified text keeps its own GB2312 characters, and the
    // five the reader holds at its own codes (進 迴 槃 卍 脦).
    const UChar32 first = traditional ? simple : cp;
    const UChar32 second = traditional ? cp : simple;
    if (!traditional && std::find(devices.begin(), devices.end(), cp) != devices.end()) {
      table[static_cast<std::size_t>(cp)] = TwoByteForm(gbk.get(), cp);
      continue;
    }
    for (const auto& [conv, c] : {std::pair{gb2312.get(), first}, std::pair{gb2312.get(), second},
                                  std::pair{gbk.get(), simple}, std::pair{gbk.get(), cp}}) {
      const std::uint16_t form = TwoByteForm(conv, c);
      if (form != 0 && LayoutKeeps(form)) {
        table[static_cast<std::size_t>(cp)] = form;
        break;
      }
    }
  }
  return table;
}

const FormTable& ReaderTable(bool traditional) {
  static const FormTable simplified = BuildReaderTable(false);
  if (!traditional) return simplified;
  static const FormTable traditionalTable = BuildReaderTable(true);
  return traditionalTable;
}

// For the Han characters: bit 0 = in GB2312, bit 1 = in Big5.
constexpr std::uint8_t kInGb2312 = 1;
constexpr std::uint8_t kInBig5 = 2;

bool IsHan(std::uint32_t cp) { return (cp >= 0x3400 && cp <= 0x9FFF) || (cp >= 0xF900 && cp <= 0xFAFF); }

const std::vector<std::uint8_t>& HanSets() {
  static const std::vector<std::uint8_t> sets = [] {
    std::vector<std::uint8_t> s(0x10000, 0);
    const ConverterPtr gb2312 = OpenFromUnicode("GB2312");
    const ConverterPtr big5 = OpenFromUnicode("windows-950");
    for (UChar32 cp = 0x3400; cp < 0x10000; ++cp) {
      if (!IsHan(static_cast<std::uint32_t>(cp))) continue;
      std::uint8_t bits = 0;
      if (TwoByteForm(gb2312.get(), cp) != 0) bits |= kInGb2312;
      if (TwoByteForm(big5.get(), cp) != 0) bits |= kInBig5;
      s[static_cast<std::size_t>(cp)] = bits;
    }
    return s;
  }();
  return sets;
}

// A code unit that can stand in UTF-16 text: no NUL or other control codes
// (tab, line ends and form feed aside), no private use, nothing unassigned.
// Surrogates are checked by the caller.
bool PlausibleUnit(std::uint16_t u, std::size_t& ascii) {
  if (u < 0x80) {
    if (u == 0x09 || u == 0x0A || u == 0x0C || u == 0x0D || (u >= 0x20 && u < 0x7F)) {
      ++ascii;
      return true;
    }
    return false;
  }
  if (u < 0xA0) return false;
  if (u >= 0xE000 && u <= 0xF8FF) return false;
  return u_isdefined(u) != 0;
}

// Whether the bytes read as UTF-16 in one byte order hold nothing but text.
// NUL units at the very end are padding. Latin text with a stray zero byte
// reads as Han characters too, but then nearly every unit is two Latin bytes.
bool PlausibleUtf16(const std::uint8_t* p, std::size_t n, bool bigEndian, std::size_t& ascii) {
  ascii = 0;
  std::size_t wide = 0, latinPairs = 0;
  auto latin = [](std::uint8_t b) { return b >= 0x09 && b <= 0x7E; };
  n &= ~static_cast<std::size_t>(1);
  while (n >= 2 && p[n - 1] == 0 && p[n - 2] == 0) n -= 2;
  auto unit = [&](std::size_t i) {
    return static_cast<std::uint16_t>(bigEndian ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i]));
  };
  for (std::size_t i = 0; i < n; i += 2) {
    const std::uint16_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 2 >= n) break;  // the sample ends inside the pair
      const std::uint16_t low = unit(i + 2);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      i += 2;
      continue;
    }
    if (u >= 0xDC00 && u <= 0xDFFF) return false;
    if (!PlausibleUnit(u, ascii)) return false;
    if (u >= 0x80) {
      ++wide;
      latinPairs += latin(p[i]) && latin(p[i + 1]);
    }
  }
  return n > 0 && latinPairs * 2 <= wide;
}

// Control bytes that no text in our codings holds (tab, line ends, form
// feed, the end-of-file mark 0x1A and escape aside).
bool Suspicious(std::uint8_t b) { return b < 0x09 || (b >= 0x0E && b <= 0x19) || (b >= 0x1C && b <= 0x1F); }

// What the first bytes of a document say by themselves: a byte-order mark,
// the shape of UTF-16, or no text at all. kLegacy: the whole needs a look.
TextCoding DetectFromStart(const std::uint8_t* p, std::size_t n) {
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return TextCoding::kUtf8;
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) return TextCoding::kUtf16Le;
  if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) return TextCoding::kUtf16Be;
  std::size_t nul = 0, suspicious = 0;
  for (std::size_t i = 0; i < n; ++i) {
    nul += p[i] == 0;
    suspicious += Suspicious(p[i]);
  }
  // Text in UTF-16 without a mark: every Latin letter, digit, blank or line
  // end has a zero byte, and one byte order reads as nothing but text. (The
  // charset detectors guess the wrong order for Chinese text here.)
  if (nul > 0) {
    std::size_t asciiLe = 0, asciiBe = 0;
    const bool le = PlausibleUtf16(p, n, false, asciiLe);
    const bool be = PlausibleUtf16(p, n, true, asciiBe);
    if (le && (!be || asciiLe >= asciiBe)) return TextCoding::kUtf16Le;
    if (be) return TextCoding::kUtf16Be;
  }
  if (n >= 5 && std::memcmp(p, "%PDF-", 5) == 0) return TextCoding::kBinary;
  if (suspicious * 100 > n) return TextCoding::kBinary;
  return TextCoding::kLegacy;
}

// Walks GB bytes in pieces, counting four-byte sequences and bytes that fit
// no GB18030 sequence.
class Gb18030Scan {
 public:
  void Feed(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    if (carried_ > 0) {
      // The sequences that began in the previous piece, joined with the
      // first bytes of this one (a sequence is at most four bytes long).
      std::uint8_t joined[8];
      std::memcpy(joined, carry_, carried_);
      const std::size_t take = std::min<std::size_t>(n, sizeof joined - carried_);
      std::memcpy(joined + carried_, p, take);
      const std::size_t total = carried_ + take;
      std::size_t j = 0;
      while (j < carried_) {
        const std::size_t used = Step(joined + j, total - j);
        if (used == 0) {
          // Still cut off: only possible when this piece is that short.
          carried_ = total - j;
          std::memmove(carry_, joined + j, carried_);
          return;
        }
        j += used;
      }
      i = j - carried_;
      carried_ = 0;
    }
    while (i < n) {
      if (p[i] < 0x80) {
        ++i;
        continue;
      }
      const std::size_t used = Step(p + i, n - i);
      if (used == 0) {
        carried_ = n - i;
        std::memcpy(carry_, p + i, carried_);
        return;
      }
      i += used;
    }
  }
  void Finish() {
    if (carried_ > 0) invalid_ += 1;
    carried_ = 0;
  }
  bool IsGb18030() const { return four_ > 0 && invalid_ <= four_; }

 private:
  // Bytes used by the sequence at p; 0 when more bytes are needed.
  std::size_t Step(const std::uint8_t* p, std::size_t n) {
    const std::uint8_t b = p[0];
    if (b < 0x80) return 1;
    if (b == 0x80 || b == 0xFF) {
      ++invalid_;
      return 1;
    }
    if (n < 2) return 0;
    const std::uint8_t t = p[1];
    if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE)) return 2;
    if (t >= 0x30 && t <= 0x39) {
      if (n < 4) return 0;
      if (p[2] >= 0x81 && p[2] <= 0xFE && p[3] >= 0x30 && p[3] <= 0x39) {
        ++four_;
        return 4;
      }
    }
    ++invalid_;
    return 1;
  }

  std::uint8_t carry_[8] = {};
  std::size_t carried_ = 0;
  std::size_t four_ = 0;
  std::size_t invalid_ = 0;
};

constexpr std::size_t kSampleBytes = std::size_t{64} * 1024;
constexpr std::size_t kScriptSample = std::size_t{256} * 1024;

}  // namespace

bool GbFormShowable(const std::uint8_t gb[2]) {
  const std::uint8_t a = gb[0], b = gb[1];
  if (a < 0xA1 || a == 0xFF || b < 0x40 || b == 0x7F || b == 0xFF) return false;
  if (a >= 0xAA && a <= 0xAF && b >= 0xA1) return false;
  if (a >= 0xF8 && b >= 0xA1) return false;
  if (a >= 0xA1 && a <= 0xA7 && b <= 0xA0) return false;
  return true;
}

std::uint16_t GbkOf(std::uint32_t codePoint) {
  static const FormTable table = [] {
    FormTable t;
    t.fill(kFullWidthBlank);
    const ConverterPtr gbk = OpenFromUnicode("GBK");
    for (UChar32 cp = 0x80; cp < 0x10000; ++cp)
      if (const std::uint16_t form = TwoByteForm(gbk.get(), cp); form != 0) t[static_cast<std::size_t>(cp)] = form;
    return t;
  }();
  return codePoint < 0x10000 ? table[codePoint] : kFullWidthBlank;
}

std::uint16_t ReaderFormOf(std::uint32_t codePoint, bool traditional) {
  if (codePoint < 0x80) return static_cast<std::uint16_t>(codePoint);
  return codePoint < 0x10000 ? ReaderTable(traditional)[codePoint] : kFullWidthBlank;
}

const std::uint16_t* ReaderForms(bool traditional) { return ReaderTable(traditional).data(); }

void ScriptCount::Add(std::uint32_t codePoint) {
  if (!IsHan(codePoint)) return;
  const std::uint8_t bits = HanSets()[codePoint];
  if (bits == kInBig5) ++traditional_;
  if (bits == kInGb2312) ++simplified_;
}

bool SampleIsTraditional(std::string_view bytes, TextCoding coding) {
  if (bytes.size() > kScriptSample) bytes = bytes.substr(0, kScriptSample);
  const std::string utf8 = coding == TextCoding::kUtf8 ? std::string(bytes) : ToUtf8(bytes, coding);
  ScriptCount count;
  const auto* p = reinterpret_cast<const std::uint8_t*>(utf8.data());
  for (std::size_t i = 0; i < utf8.size();) {
    std::uint32_t cp;
    const int len = DecodeUtf8(p + i, utf8.size() - i, cp);
    if (len <= 0) {
      ++i;
      continue;
    }
    count.Add(cp);
    i += static_cast<std::size_t>(len);
  }
  return count.Traditional();
}

std::string ToUtf8(std::string_view bytes, TextCoding coding) {
  const char* name = nullptr;
  switch (coding) {
    case TextCoding::kUtf8:
      name = "UTF-8";
      break;
    case TextCoding::kUtf16Le:
      name = "UTF-16LE";
      break;
    case TextCoding::kUtf16Be:
      name = "UTF-16BE";
      break;
    case TextCoding::kGb18030:
      name = "GB18030";
      break;
    default:
      name = "GBK";
      break;
  }
  icu::UnicodeString text(bytes.data(), static_cast<int32_t>(bytes.size()), name);
  if (!text.isEmpty() && text.charAt(0) == 0xFEFF) text.remove(0, 1);
  std::string out;
  text.toUTF8String(out);
  return out;
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

TextCoding DetectCoding(std::string_view bytes) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const TextCoding start = DetectFromStart(p, std::min(bytes.size(), kSampleBytes));
  if (start != TextCoding::kLegacy) return start;
  if (LooksLikeUtf8(bytes)) return TextCoding::kUtf8;
  Gb18030Scan gb;
  gb.Feed(p, bytes.size());
  gb.Finish();
  return gb.IsGb18030() ? TextCoding::kGb18030 : TextCoding::kLegacy;
}

TextCoding DetectFileCoding(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return TextCoding::kLegacy;
  std::vector<char> block(kReadBlock);
  in.read(block.data(), static_cast<std::streamsize>(block.size()));
  std::size_t got = static_cast<std::size_t>(in.gcount());
  const TextCoding start =
      DetectFromStart(reinterpret_cast<const std::uint8_t*>(block.data()), std::min(got, kSampleBytes));
  if (start != TextCoding::kLegacy) return start;
  // Well-formed UTF-8 cannot hold a GB18030 four-byte sequence, so the GB
  // scan only runs, from the start, once the UTF-8 test has failed.
  Utf8Scan utf8;
  while (got > 0 && utf8.valid()) {
    utf8.Feed(reinterpret_cast<const std::uint8_t*>(block.data()), got);
    if (!in) break;
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    got = static_cast<std::size_t>(in.gcount());
  }
  utf8.Finish();
  if (utf8.IsUtf8()) return TextCoding::kUtf8;
  if (utf8.valid()) return TextCoding::kLegacy;  // plain ASCII
  in.clear();
  in.seekg(0);
  Gb18030Scan gb;
  while (in) {
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    got = static_cast<std::size_t>(in.gcount());
    if (got == 0) break;
    gb.Feed(reinterpret_cast<const std::uint8_t*>(block.data()), got);
  }
  gb.Finish();
  return gb.IsGb18030() ? TextCoding::kGb18030 : TextCoding::kLegacy;
}

std::string MetaCharset(std::string_view page) {
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
      std::string name;
      while (v < end) {
        const char c = lower(page[v]);
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':')) break;
        name.push_back(c);
        ++v;
      }
      if (!name.empty()) return name;
    }
    i = end;
  }
  return {};
}

bool MetaCharsetIsUtf8(std::string_view page) {
  const std::string name = MetaCharset(page);
  return name == "utf-8" || name == "utf8";
}

std::string TranscodeToGb(std::string_view bytes, TextCoding coding, bool traditional) {
  StringSource source(bytes);
  UnicodeToGbSource gb(source, coding, traditional);
  std::string out;
  out.reserve(bytes.size());
  std::uint8_t block[4096];
  for (;;) {
    const std::size_t n = gb.Read(block, sizeof block);
    out.append(reinterpret_cast<const char*>(block), n);
    if (n < sizeof block) break;
  }
  return out;
}

std::string TranscodeUtf8ToGbk(std::string_view utf8) {
  return TranscodeToGb(utf8, TextCoding::kUtf8, SampleIsTraditional(utf8, TextCoding::kUtf8));
}

}  // namespace quirel::convert
