#include "convert/layout.h"

#include <cstring>
#include <memory>

#include "convert/encoding.h"

namespace quirel::convert {

namespace {

constexpr int kBlank = 0x20;
constexpr int kCr = 0x0D;
constexpr int kLf = 0x0A;
constexpr int kNoPending = -2;
constexpr int kTagBuffer = 600;
constexpr std::size_t kOutBlock = 64 * 1024;

// The walk keeps its whole state in locals, so that the compiler can hold it
// in registers across the byte stores into the row; that is what makes the
// layout run at memory speed.
template <bool kHtml>
void Layout(ByteSource& in, const int width, RowSink& sink) {
  std::uint8_t row[kMaxRowWidth];
  std::memset(row, kBlank, static_cast<std::size_t>(width));
  const std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[kOutBlock]);
  std::uint8_t* o = out.get();
  std::uint8_t* const oLimit = out.get() + kOutBlock - width;

  const std::uint8_t* p = nullptr;
  const std::uint8_t* e = nullptr;
  auto get = [&]() -> int {
    if (p == e) {
      const ByteSource::Block block = in.TakeBlock();
      p = block.begin;
      e = block.end;
      if (p == e) return -1;
    }
    return *p++;
  };

  int c = 0;     // the current byte; kept from one pass to the next
  int col = 0;   // next free column
  int lead = 0;  // 1: a lead byte waits in the row for its trail
  int crSeen = 0;
  int blankLine = 1;
  long long indent = 0;
  long long prevIndent = 0;
  int prevSpace = 0;
  int pending = kNoPending;  // -1: the end of the input was read ahead
  int entity = 0;            // bytes since "&" in a web page
  std::string tag;

  auto emit = [&]() {
    if (o > oLimit) {
      sink.Write(out.get(), static_cast<std::size_t>(o - out.get()));
      o = out.get();
    }
    std::memcpy(o, row, static_cast<std::size_t>(width));
    o += width;
    std::memset(row, kBlank, static_cast<std::size_t>(width));
    col = 0;
  };
  auto paragraphBreak = [&]() {
    for (int k = 0; k < width; ++k) {
      if (row[k] != kBlank) {
        emit();
        col = 2;
        return;
      }
    }
  };
  auto indentRule = [&]() {
    // A line with at least two more leading blanks than the last line that
    // started with text opens a paragraph.
    if (indent > prevIndent + 1) paragraphBreak();
    prevIndent = indent;
    indent = 0;
  };
  auto placePair = [&](std::uint8_t first, std::uint8_t second) {
    if ((col & 1) == 0) {
      row[col] = first;
      row[col + 1] = second;
      col += 2;
      if (col == width) emit();
    } else if (col == width - 1) {
      emit();
      row[0] = first;
      row[1] = second;
      col = 2;
    } else {
      row[col + 1] = first;
      row[col + 2] = second;
      col += 3;
      if (col == width) emit();
    }
  };
  auto wrapWord = [&]() {
    int s = width - 1;
    while (s >= 0 && row[s] != kBlank) --s;
    if (s < 0) {
      emit();  // no blank in the row: the word is cut
      return;
    }
    const int moved = width - 1 - s;
    std::uint8_t tail[kMaxRowWidth];
    std::memcpy(tail, row + s + 1, static_cast<std::size_t>(moved));
    std::memset(row + s, kBlank, static_cast<std::size_t>(width - s));
    emit();
    std::memcpy(row, tail, static_cast<std::size_t>(moved));
    col = moved;
  };
  // Up to 600 bytes up to a ">" (not kept); false at the end of the input.
  auto readTag = [&]() {
    tag.clear();
    for (int k = 0; k < kTagBuffer; ++k) {
      int b = get();
      if (b < 0) return false;
      if (b == '>') return true;
      if (b >= 0x80 && b <= 0x9F) b = 0xFF;
      tag.push_back(static_cast<char>(b));
    }
    return true;
  };
  auto tagIs = [&](std::string_view word) {
    if (tag.size() != word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
      char x = tag[k];
      if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
      if (x != word[k]) return false;
    }
    return true;
  };

  for (;;) {
    // Most of a document is characters, words, single blanks, indents and
    // CR LF line ends. While no waiting byte or entity is in play they are
    // handled here in a tight loop, with exactly the effect that the full
    // walk below has on them; anything else leaves the loop for the walk.
    if (pending == kNoPending && lead == 0 && crSeen == 0 && (!kHtml || entity == 0)) {
      // Register copies of the state this loop changes.
      const std::uint8_t* q = p;
      int k = col;
      int blank = blankLine;
      int space = prevSpace;
      long long ind = indent;
      auto startOfText = [&]() {
        if (ind > prevIndent + 1) {
          col = k;
          paragraphBreak();
          k = col;
        }
        prevIndent = ind;
        ind = 0;
      };
      auto blankByte = [&]() {
        if (ind > 0) ++ind;
        if (space == 0 && k != 0 && blank == 0) {
          row[k] = kBlank;
          if (++k == width) {
            emit();
            k = 0;
          }
        }
        space = 1;
      };
      while (q < e) {
        const std::uint8_t a = *q;
        if (a > kBlank && a < 0x7F) {
          // The last column needs the look-ahead of the walk.
          if (k >= width - 1 || (kHtml && (a == '<' || a == '&'))) break;
          if (ind > 0) startOfText();
          row[k++] = a;
          ++q;
          blank = 0;
          space = 0;
        } else if (a >= 0xA1) {
          if (e - q < 2) break;
          const std::uint8_t b = q[1];
          if (a == 0xA1) {
            // Full-width punctuation, unless the byte before is a waiting
            // lead byte.
            if ((k & 1) != 0 && row[k - 1] >= 0xA1) break;
            if (b == 0xA1 || b == 0x40) {
              blankByte();
              q += 2;
              continue;
            }
            if (b < 0x40) break;
          } else {
            if (b < (kHtml ? 0xA1 : 0x40)) break;
            // The pairs with a device-code substitution take the walk.
            if (a == 0xA9 ? (b == 0x84 || b == 0x64)
                          : (a == 0xC3 && b == 0x8E) || (a == 0xDE && b == 0x92) || (a == 0xDF && b == 0x4D))
              break;
          }
          if (ind > 0) startOfText();
          if ((k & 1) == 0) {
            row[k] = a;
            row[k + 1] = b;
            k += 2;
          } else if (k == width - 1) {
            emit();
            row[0] = a;
            row[1] = b;
            k = 2;
          } else {
            row[k + 1] = a;
            row[k + 2] = b;
            k += 3;
          }
          if (k == width) {
            emit();
            k = 0;
          }
          q += 2;
          blank = 0;
          space = 0;
        } else if (a == kBlank) {
          blankByte();
          ++q;
        } else if (a == kCr) {
          if (e - q < 2 || q[1] != kLf) break;
          space = 0;
          if (blank == 1) {
            // The line that ended held nothing but blanks.
            blank = 2;
            col = k;
            paragraphBreak();
            k = col;
            ind = 0;
          } else {
            blank = 1;
            ind = 1;
          }
          q += 2;
        } else {
          break;
        }
      }
      col = k;
      blankLine = blank;
      prevSpace = space;
      indent = ind;
      p = q;
    }

    // Get the current byte.
    if (pending != kNoPending) {
      // The byte read ahead at a full row. It stands where a lead byte is
      // read, so it gets that substitution too; without it one of the five
      // device characters right after a full row of Latin text was dropped.
      c = pending;
      pending = kNoPending;
      if (c < 0) break;
      if (c == 0x98 || c == 0x85) c = 0xA9;
    } else if (lead == 1) {
      const int b = get();
      if (b < 0) break;
      const int previous = c;
      c = b;
      if (previous == 0xA9) {
        if (b == 0x84)
          c = 0xFC;
        else if (b == 0x64)
          c = 0xFD;
      } else if ((previous == 0xC3 && b == 0x8E) || (previous == 0xDF && b == 0x4D) ||
                 (previous == 0xDE && b == 0x92)) {
        c = previous == 0xC3 ? 0xFE : previous == 0xDF ? 0xFA : 0xFB;
        if (col > 0) row[col - 1] = 0xA9;
      }
    } else {
      const int b = get();
      if (b < 0) break;
      c = (b == 0x98 || b == 0x85) ? 0xA9 : b;
    }

    // Bytes the reader cannot show.
    if (c < 0x40) {
      if (lead == 1) {
        lead = 0;
        if (col > 0) row[col - 1] = kBlank;
        c = kBlank;
      }
    } else if (lead == 0 && c >= 0x80 && c <= 0x9F) {
      get();  // the second byte of a GBK extension character goes with it
      c = kBlank;
    }

    if constexpr (kHtml) {
      if (c == '<') {
        if (readTag() && tagIs("style")) {
          // Skip the style sheet up to its end tag.
          for (;;) {
            int b;
            do b = get();
            while (b >= 0 && b != '<');
            if (b < 0 || !readTag() || tagIs("/style")) break;
          }
        }
        paragraphBreak();
        continue;
      }
      if (entity > 0 || c == '&') {
        // A character entity stands for one blank column.
        if (c == ';' && entity > 0) {
          ++col;
          if (col > width - 1) emit();
          entity = 0;
        } else if (entity > 200) {
          entity = 0;  // no ";" came: given up
        } else {
          ++entity;
        }
        continue;
      }
      if (c < 0xA1) lead = 0;  // a byte below 0xA1 ends a waiting character
    }

    // Full-width punctuation arrives whole; a full-width blank is a blank.
    if (c == 0xA1 && lead == 0 && ((col & 1) == 0 || row[col - 1] < 0xA1)) {
      const int t = get();
      if (t < 0) break;  // a lone half character at the very end is dropped
      if (t == 0xA1 || t == 0x40) {
        c = kBlank;
      } else {
        if (indent > 0) indentRule();
        placePair(0xA1, static_cast<std::uint8_t>(t));
        c = 0;
      }
    }

    if (c > kBlank) {
      blankLine = 0;
    } else if (c == kBlank) {
      if (crSeen == 1) crSeen = 0;
      if (indent > 0) ++indent;
      if (prevSpace == 0 && col != 0 && blankLine == 0) {
        row[col] = kBlank;
        if (++col == width) emit();
      }
      prevSpace = 1;
      continue;
    } else if (c != kCr && c != kLf) {
      blankLine = 0;
    }

    // Line ends: only CR LF counts.
    if (crSeen == 1) {
      if (c == kLf) {
        indent = 1;
        if (blankLine == 1) {
          blankLine = 2;
          paragraphBreak();
          indent = 0;
        } else {
          blankLine = 1;
        }
      }
      crSeen = 0;
    } else if (c == kCr) {
      crSeen = 1;
      indent = 0;
    }

    prevSpace = 0;
    if (indent > 0 && c != kLf) indentRule();

    if (c > 0xA0 || (lead == 1 && c >= 0x40)) {
      const auto b = static_cast<std::uint8_t>(c);
      if (lead == 0) {
        lead = 1;
        if ((col & 1) == 0) {
          row[col++] = b;
        } else if (col == width - 1) {
          emit();
          row[0] = b;
          col = 1;
        } else {
          row[col + 1] = b;
          col += 2;
        }
      } else {
        lead = 0;
        if ((col & 1) == 1) {
          row[col] = b;
          if (++col == width) emit();
        }
      }
    } else if (c >= 0x21 && c <= 0x7E) {
      row[col] = static_cast<std::uint8_t>(c);
      if (++col == width) {
        pending = get();
        if (pending < 0x41 || pending > 0x7A)
          emit();
        else
          wrapWord();
      }
    }
  }

  if (col > 0) emit();
  if (o != out.get()) sink.Write(out.get(), static_cast<std::size_t>(o - out.get()));
}

}  // namespace

FileRowSink::FileRowSink(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {}

FileRowSink::~FileRowSink() { Close(); }

void FileRowSink::Write(const std::uint8_t* rows, std::size_t n) {
  if (file_ != nullptr && std::fwrite(rows, 1, n, file_) != n) failed_ = true;
}

bool FileRowSink::Close() {
  if (file_ == nullptr) return !failed_;
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return !failed_;
}

bool ValidRowWidth(int width) { return width >= 4 && width % 2 == 0 && width <= kMaxRowWidth; }

void LayoutTextStream(ByteSource& in, int width, RowSink& sink) {
  if (ValidRowWidth(width)) Layout<false>(in, width, sink);
}

void LayoutHtmlStream(ByteSource& in, int width, RowSink& sink) {
  if (ValidRowWidth(width)) Layout<true>(in, width, sink);
}

std::string LayoutText(std::string_view bytes, int width) {
  StringRowSink sink;
  StringSource raw(bytes);
  const TextCoding coding = DetectCoding(bytes);
  if (coding == TextCoding::kBinary) return {};
  if (coding != TextCoding::kLegacy) {
    UnicodeToGbSource gb(raw, coding, SampleIsTraditional(bytes, coding));
    CrLfSource lines(gb);
    LayoutTextStream(lines, width, sink);
  } else {
    CrLfSource lines(raw);
    LayoutTextStream(lines, width, sink);
  }
  return sink.out;
}

std::string LayoutStrippedHtml(std::string_view kept, int width) {
  StringRowSink sink;
  StringSource in(kept);
  LayoutHtmlStream(in, width, sink);
  return sink.out;
}

}  // namespace quirel::convert
