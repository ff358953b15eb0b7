#include "viewer/rows.h"

#include "common/text.h"

namespace quirel::viewer {
namespace {

constexpr const char* kDeviceChars[] = {"進", "迴", "槃", "卍", "脦"};

// One row to UTF-8, by columns as the reader pairs them: a pair starts on
// an even column. A lead byte without a trail in the row shows as a blank,
// and a byte above 0x7F on an odd column as "?", so that a pair out of
// place looks as wrong as it does on the reader.
std::string DecodeRow(std::string_view row) {
  std::string out;
  std::string pending;  // GBK bytes not yet decoded
  auto flush = [&] {
    if (!pending.empty()) {
      out += GbkToUtf8(pending);
      pending.clear();
    }
  };
  for (std::size_t i = 0; i < row.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(row[i]);
    if (c >= 0x81 && c <= 0xFE && i % 2 == 0 && i + 1 < row.size()) {
      const unsigned char t = static_cast<unsigned char>(row[i + 1]);
      if (c == 0xA9 && t >= 0xFA && t <= 0xFE) {
        flush();
        out += kDeviceChars[t - 0xFA];
      } else if (t >= 0x40 && t != 0x7F && t != 0xFF) {
        pending.push_back(static_cast<char>(c));
        pending.push_back(static_cast<char>(t));
      } else {
        pending.push_back(' ');
        pending.push_back(t < 0x20 || t == 0x7F ? ' ' : static_cast<char>(t));
      }
      ++i;
    } else if (c >= 0x80 && i % 2 != 0) {
      pending.push_back('?');
    } else if (c < 0x20 || c >= 0x7F) {
      pending.push_back(' ');
    } else {
      pending.push_back(static_cast<char>(c));
    }
  }
  flush();
  return out;
}

}  // namespace

int RowWidthForFont(int font) { return font == 1 ? 16 : 20; }

std::vector<std::string> RenderRows(std::string_view bytes, int width) {
  std::vector<std::string> rows;
  if (width <= 0) return rows;
  for (std::size_t at = 0; at < bytes.size(); at += static_cast<std::size_t>(width))
    rows.push_back(DecodeRow(bytes.substr(at, static_cast<std::size_t>(width))));
  return rows;
}

int GuessRowWidth(std::string_view bytes) {
  if (bytes.empty()) return 0;
  const bool fits16 = bytes.size() % 16 == 0;
  const bool fits20 = bytes.size() % 20 == 0;
  if (fits16 != fits20) return fits16 ? 16 : 20;
  // A paragraph starts a row with two blanks and text; a row never starts
  // with a single blank, as leading blanks are dropped. Offsets that are
  // row starts for both widths tell nothing.
  int score16 = 0, score20 = 0;
  for (std::size_t q = 0; q + 2 < bytes.size(); q += 4) {
    const bool at16 = q % 16 == 0, at20 = q % 20 == 0;
    if (at16 == at20) continue;
    int& score = at16 ? score16 : score20;
    if (bytes[q] != ' ') continue;
    if (bytes[q + 1] == ' ' && bytes[q + 2] != ' ')
      ++score;
    else if (bytes[q + 1] != ' ')
      --score;
  }
  if (score16 == score20) return 0;
  return score16 > score20 ? 16 : 20;
}

}  // namespace quirel::viewer
