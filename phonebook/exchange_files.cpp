#include "phonebook/exchange_files.h"

#include <algorithm>
#include <array>

#include "common/ini.h"
#include "resources/messages.h"

namespace quirel {
namespace {

constexpr char kFill = static_cast<char>(0xFF);

unsigned char Byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

void PutBigEndian(std::string& buffer, std::size_t at, std::size_t value) {
  buffer[at] = static_cast<char>((value >> 8) & 0xFF);
  buffer[at + 1] = static_cast<char>(value & 0xFF);
}

// The end of the last whole record in a block that starts with a record:
// the last of its five 0x1B, or npos when not even the first record fits.
std::size_t LastWholeRecordEnd(std::string_view block, std::size_t filled) {
  std::size_t end = std::string_view::npos;
  std::size_t j = 0;
  while (j < filled && Byte(block, j) == 0x10) {
    const auto first = block.find(kMarkEnd, j + 5);
    if (first == std::string_view::npos || first + 4 >= filled) break;
    end = first + 4;
    j = end + 1;
  }
  return end;
}

// One record's name initial as the query tables see it: the byte five after
// the first 0x10 of the record, and the byte after it for a double-byte one.
struct Initial {
  unsigned char c = 0;
  unsigned char t = 0;
};

std::vector<Initial> Initials(std::string_view layout) {
  std::vector<Initial> out;
  std::size_t i = 0;
  while (i < layout.size()) {
    if (Byte(layout, i) != 0x10) {
      ++i;
      continue;
    }
    if (i + 5 >= layout.size()) break;
    Initial initial;
    initial.c = Byte(layout, i + 5);
    i += 6;
    if (initial.c > 0x80) {
      if (i >= layout.size()) break;
      initial.t = Byte(layout, i);
      ++i;
    }
    out.push_back(initial);
  }
  return out;
}

// Writes one half of the query file: header, count, entries, then one list
// of record numbers per entry. false when it would pass the half's end.
bool WriteQueryHalf(std::string& query, std::size_t base, char mark, const std::vector<Initial>& entries,
                    const std::vector<Initial>& records, bool doubleByte) {
  query[base] = mark;
  query[base + 1] = mark;
  PutBigEndian(query, base + 2, entries.size());
  const std::size_t limit = base + kQueryHalf;
  std::size_t at = base + 4;
  if (entries.size() > (kQueryHalf - 4) / 4) return false;
  for (const auto& e : entries) {
    query[at] = static_cast<char>(e.c);
    query[at + 1] = static_cast<char>(doubleByte ? e.t : 0);
    query[at + 2] = 0;
    query[at + 3] = 0;
    at += 4;
  }
  for (const auto& e : entries) {
    const std::size_t countAt = at;
    if (countAt + 2 > limit) return false;
    at += 2;
    std::size_t count = 0;
    for (std::size_t r = 0; r < records.size(); ++r) {
      const bool match = records[r].c == e.c && (!doubleByte || records[r].t == e.t);
      if (!match) continue;
      if (at + 2 > limit) return false;
      PutBigEndian(query, at, r + 1);
      at += 2;
      ++count;
    }
    PutBigEndian(query, countAt, count);
  }
  return true;
}

bool ComposeFromStore(const PhonebookFiles& files, const std::vector<std::string>& entries, UserInterface& ui,
                      ExchangeImage& image) {
  std::string text;
  if (!ReadStoreBytes(files.store, text)) {
    ui.ShowMessage(msg::kOpenStoreFailed, msg::kCaption, Icon::Error);
    return false;
  }
  if (const auto problem = ComposeExchange(text, entries, image)) {
    ui.ShowMessage(*problem, msg::kCaption, Icon::Error);
    return false;
  }
  return true;
}

}  // namespace

bool CollectRecords(std::string_view storeText, const std::vector<std::string>& entries,
                    std::vector<std::string>& records) {
  records.clear();
  for (const auto& entry : entries) {
    if (entry.empty()) continue;
    const std::string_view record = RecordAt(storeText, storeText.find(NameKey(std::string_view(entry).substr(1))));
    if (record.empty()) continue;
    if (record.size() >= kRecordLimit) return false;
    records.emplace_back(record);
  }
  return true;
}

std::string LayoutLines(std::string_view records) {
  std::string out;
  std::string line;  // the pending field run; empty between records
  bool parity = false;
  for (const char ch : records) {
    const unsigned char b = static_cast<unsigned char>(ch);
    if (b >= 0x0A && b <= 0x1B) {
      parity = true;
      if (line.empty()) {
        if (b == 0x10) line.assign(5, ch);
        continue;
      }
      if (line.size() == 5) {
        // An empty field: Name and Mobile keep a line of 0x08, the others vanish.
        const unsigned char marker = static_cast<unsigned char>(line[0]);
        if (marker == 0x10 || marker == 0x11) {
          line.append(11, '\x08');
          out += line;
        }
      } else {
        line.append((16 - line.size() % 16) % 16, ' ');
        out += line;
      }
      if (b == 0x1B) {
        out.append(5, kMarkEnd);
        line.clear();
      } else {
        line.assign(5, ch);
      }
      continue;
    }
    if (b == 0x1E || line.size() < 5) continue;
    // Bytes below 0x80 flip the parity; a double-byte character never starts
    // on the last byte of a line, a 0x00 takes that place instead.
    if (b < 0x80) parity = !parity;
    if (parity && line.size() % 16 == 15) {
      line.push_back('\0');
      parity = false;
    }
    line.push_back(ch);
  }
  return out;
}

bool SplitBlocks(std::string_view layout, std::string& data, std::string& index) {
  data.clear();
  index.assign(kExchangeBlock, kFill);
  std::size_t pos = 0;
  std::size_t block = 0;
  std::size_t entries = 0;
  while (pos < layout.size()) {
    std::string buffer(kExchangeBlock, kFill);
    const std::size_t filled = std::min(kExchangeBlock, layout.size() - pos);
    std::copy_n(layout.begin() + static_cast<std::ptrdiff_t>(pos), filled, buffer.begin());
    // A block ends after the five 0x1B of its last whole record, so that a
    // record whose end run would straddle two blocks moves whole to the next.
    const std::size_t end = LastWholeRecordEnd(buffer, filled);
    if (end == std::string::npos) return false;
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(end) + 1, buffer.end(), kFill);
    pos += end + 1;

    for (std::size_t j = 0; j <= end; ++j) {
      if (Byte(buffer, j) != 0x10) continue;
      if (j + 5 > kExchangeBlock) break;
      const auto stop = buffer.find(kMarkEnd, j + 5);
      const std::size_t count = (stop == std::string::npos ? kExchangeBlock : stop) - (j + 5);
      const std::size_t length = count + (stop == std::string::npos ? 9 : 10);
      if (entries == kIndexEntries) return false;
      const std::size_t at = entries * 8;
      index[at] = static_cast<char>(0xF1);
      index[at + 1] = static_cast<char>(0xF1);
      PutBigEndian(index, at + 2, block);
      PutBigEndian(index, at + 4, j);
      PutBigEndian(index, at + 6, length);
      ++entries;
      if (stop == std::string::npos) break;
      j = stop;
    }
    data += buffer;
    ++block;
  }
  return true;
}

bool BuildQueryFile(std::string_view layout, std::string& query) {
  query.assign(kExchangeBlock, kFill);
  const std::vector<Initial> records = Initials(layout);
  std::vector<Initial> single, twin;
  for (const auto& r : records) {
    if (r.c > 0x20 && r.c < 0x80) {
      if (std::none_of(single.begin(), single.end(), [&](const Initial& e) { return e.c == r.c; })) single.push_back(r);
    } else if (r.c > 0x80) {
      if (std::none_of(twin.begin(), twin.end(), [&](const Initial& e) { return e.c == r.c && e.t == r.t; }))
        twin.push_back(r);
    }
  }
  return WriteQueryHalf(query, 0, static_cast<char>(0xF2), single, records, false) &&
         WriteQueryHalf(query, kQueryHalf, static_cast<char>(0xF3), twin, records, true);
}

std::string UnpackRecords(std::string_view text) {
  std::string out;
  std::array<bool, 12> seen{};
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = Byte(text, i);
    if (c == 0xFF || c == 0x00) {
      ++i;
    } else if (c == 0x08) {
      i += 11;  // the filler line of an empty Name or Mobile
    } else if (c == 0x10) {
      seen.fill(false);
      seen[0] = true;
      out.push_back(static_cast<char>(c));
      i += 5;
    } else if (c > 0x10 && c <= 0x1B) {
      // The spaces that padded the field ending here.
      for (std::size_t back = i; back > 0 && text[back - 1] == ' ' && !out.empty() && out.back() == ' '; --back)
        out.pop_back();
      const int k = c - 0x10;
      seen[k] = true;
      int j = k - 1;
      while (j >= 0 && !seen[j]) --j;
      // The fields the layout left out because they were empty.
      for (int m = j + 1; m < k; ++m) {
        seen[m] = true;
        out.push_back(static_cast<char>(0x10 + m));
      }
      out.push_back(static_cast<char>(c));
      i += 5;
    } else {
      out.push_back(static_cast<char>(c));
      ++i;
    }
  }
  return out;
}

std::optional<std::string_view> ComposeExchange(std::string_view storeText, const std::vector<std::string>& entries,
                                                ExchangeImage& image) {
  std::vector<std::string> records;
  if (!CollectRecords(storeText, entries, records)) return msg::kExchangeRecordTooLong;
  if (records.size() > kIndexEntries) return msg::kExchangeTooManyRecords;
  image = ExchangeImage();
  for (const auto& record : records) {
    const std::string layout = LayoutLines(record);
    if (layout.size() > kExchangeBlock) return msg::kExchangeRecordTooLong;
    image.records += record;
    image.layout += layout;
  }
  if (!SplitBlocks(image.layout, image.data, image.index)) return msg::kExchangeRecordTooLong;
  if (!BuildQueryFile(image.layout, image.query)) return msg::kExchangeQueryFull;
  return std::nullopt;
}

int CheckExchangeCapacity(const PhonebookFiles& files, const std::vector<std::string>& entries, UserInterface& ui) {
  ExchangeImage image;
  return ComposeFromStore(files, entries, ui, image) ? 1 : 0;
}

int BuildExchangeFiles(const PhonebookFiles& files, const std::vector<std::string>& entries, UserInterface& ui) {
  ExchangeImage image;
  if (!ComposeFromStore(files, entries, ui, image)) return 0;
  const std::pair<const std::string*, const std::string*> outputs[] = {{&files.tmp1, &image.records},
                                                                       {&files.tmp2, &image.layout},
                                                                       {&files.tmp3, &image.data},
                                                                       {&files.idx, &image.index},
                                                                       {&files.qry, &image.query}};
  for (const auto& [path, bytes] : outputs) {
    if (!WriteFileAtomically(*path, *bytes)) {
      ui.ShowMessage(msg::kDiskFull, msg::kCaption, Icon::Error);
      return 0;
    }
  }
  return 1;
}

}  // namespace quirel
