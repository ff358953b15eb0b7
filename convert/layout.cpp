#include "convert/layout.h"

#include <cstring>
#include <memory>

#include "convert/convert.h"
#include "convert/encoding.h"

namespace quirel::convert {

namespace {

constexpr int kBlank = 0x20;
constexpr int kCr = 0x0D;
constexpr int kLf = 0x0A;
constexpr int kTagBuffer = 600;
constexpr std::size_t kOutBlock = std::size_t{64} * 1024;

// Everything the walk changes as it goes. It lives in one local and goes to
// every helper as a parameter, never as a captured reference, so that the
// compiler holds it in registers across the byte stores into the row; that
// is what makes the layout run at memory speed.
struct WalkState {
  const std::uint8_t* p = nullptr;  // the unread bytes of the current block
  const std::uint8_t* end = nullptr;
  int col = 0;  // next free column
  int crSeen = 0;
  int blankLine = 1;
  long long indent = 0;
  long long prevIndent = 0;
  int prevSpace = 0;
  int entity = 0;  // bytes since "&" in a web page
};

// How a double-byte character ended: whole, broken by a byte that cannot
// be its trail, or cut off by the end of the input.
enum class PairEnd { kWhole, kBroken, kInputEnd };

// gbForms: the bytes are the reader's GB forms, so that in a web page too a
// trail byte may lie below 0xA1.
template <bool kHtml>
void Layout(ByteSource& in, const int width, RowSink& sink, const bool gbForms = false) {
  std::uint8_t row[kMaxRowWidth];
  std::memset(row, kBlank, static_cast<std::size_t>(width));
  const std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[kOutBlock]);
  std::uint8_t* o = out.get();
  std::uint8_t* const oLimit = out.get() + kOutBlock - width;

  std::string tag;

  auto get = [&in](WalkState& s) -> int {
    if (s.p == s.end) [[unlikely]] {
      const ByteSource::Block block = in.TakeBlock();
      s.p = block.begin;
      s.end = block.end;
      if (s.p == s.end) return -1;
    }
    return *s.p++;
  };

  auto emit = [&, width](WalkState& s) {
    if (o > oLimit) {
      sink.Write(out.get(), static_cast<std::size_t>(o - out.get()));
      o = out.get();
    }
    std::memcpy(o, row, static_cast<std::size_t>(width));
    o += width;
    std::memset(row, kBlank, static_cast<std::size_t>(width));
    s.col = 0;
  };
  auto paragraphBreak = [&, width](WalkState& s) {
    for (int k = 0; k < width; ++k) {
      if (row[k] != kBlank) {
        emit(s);
        s.col = 2;
        return;
      }
    }
  };
  auto indentRule = [&](WalkState& s) {
    // A line with at least two more leading blanks than the last line that
    // started with text opens a paragraph.
    if (s.indent > s.prevIndent + 1) paragraphBreak(s);
    s.prevIndent = s.indent;
    s.indent = 0;
  };
  auto placePair = [&, width](WalkState& s, std::uint8_t first, std::uint8_t second) {
    if ((s.col & 1) == 0) {
      row[s.col] = first;
      row[s.col + 1] = second;
      s.col += 2;
      if (s.col == width) emit(s);
    } else if (s.col == width - 1) {
      emit(s);
      row[0] = first;
      row[1] = second;
      s.col = 2;
    } else {
      row[s.col + 1] = first;
      row[s.col + 2] = second;
      s.col += 3;
      if (s.col == width) emit(s);
    }
  };
  auto wrapWord = [&, width](WalkState& s) {
    int last = width - 1;  // the last blank in the row
    while (last >= 0 && row[last] != kBlank) --last;
    if (last < 0) {
      emit(s);  // no blank in the row: the word is cut
      return;
    }
    // The word starts the next row as if it had been written there: a
    // character that would land on an odd column gets a blank before it, as
    // after any single byte. Pairs stand on even columns in the full row, so
    // a byte above 0xA0 on an even column is a lead byte.
    std::uint8_t tail[kMaxRowWidth];
    int moved = 0;
    for (int k = last + 1; k < width; ++k) {
      const bool pair = row[k] > 0xA0 && (k & 1) == 0;
      if (moved + (pair ? 2 + (moved & 1) : 1) >= width) {
        emit(s);  // it would not fit a row either: cut here
        return;
      }
      if (pair) {
        if ((moved & 1) != 0) tail[moved++] = kBlank;
        tail[moved++] = row[k];
        tail[moved++] = row[++k];
      } else {
        tail[moved++] = row[k];
      }
    }
    std::memset(row + last, kBlank, static_cast<std::size_t>(width - last));
    emit(s);
    std::memcpy(row, tail, static_cast<std::size_t>(moved));
    s.col = moved;
  };
  // Up to 600 bytes up to a ">" (not kept); false at the end of the input.
  auto readTag = [&](WalkState& s) {
    tag.clear();
    for (int k = 0; k < kTagBuffer; ++k) {
      int b = get(s);
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

  // Text begins on this line: a waiting CR is no line end any more, and the
  // blanks counted at the line's start may open a paragraph.
  auto startText = [&](WalkState& s) {
    s.blankLine = 0;
    s.crSeen = 0;
    s.prevSpace = 0;
    if (s.indent > 0) indentRule(s);
  };
  auto placeBlank = [&, width](WalkState& s) {
    s.crSeen = 0;
    if (s.indent > 0) ++s.indent;  // counts the leading blanks of a line, plus one
    // Runs of blanks shrink to one; none opens a row or a line without text.
    if (s.prevSpace == 0 && s.col != 0 && s.blankLine == 0) {
      row[s.col] = kBlank;
      if (++s.col == width) emit(s);
    }
    s.prevSpace = 1;
  };
  auto placeSingle = [&, width](WalkState& s, int c) {
    row[s.col] = static_cast<std::uint8_t>(c);
    if (++s.col == width) {
      // Only a letter after a full row carries the word over. The byte is
      // looked at and left in the input: it is read again as any other.
      const int next = get(s);
      if (next >= 0) --s.p;
      if (next < 0x41 || next > 0x7A)
        emit(s);
      else
        wrapWord(s);
    }
  };

  // A lead byte, on an even column, and then its trail byte.
  auto placeCharacter = [&, width](WalkState& s, int c) {
    if ((s.col & 1) == 0) {
      row[s.col++] = static_cast<std::uint8_t>(c);
    } else if (s.col == width - 1) {
      emit(s);
      row[0] = static_cast<std::uint8_t>(c);
      s.col = 1;
    } else {
      row[s.col + 1] = static_cast<std::uint8_t>(c);
      s.col += 2;
    }
    const int b = get(s);
    if (b < 0) {
      // A lead byte without its trail at the very end goes.
      row[--s.col] = kBlank;
      return PairEnd::kInputEnd;
    }
    int t = b;
    // Tests of equality only: a comparison tree over the lead byte would
    // branch at random on ordinary text.
    if (c == 0xA9) {
      if (b == 0x84)
        t = 0xFC;
      else if (b == 0x64)
        t = 0xFD;
    } else if ((c == 0xC3 && b == 0x8E) || (c == 0xDF && b == 0x4D) || (c == 0xDE && b == 0x92)) {
      t = c == 0xC3 ? 0xFE : c == 0xDF ? 0xFA : 0xFB;
      row[s.col - 1] = 0xA9;
    }
    if (t < 0x40) {
      // Not a trail byte: the waiting lead byte goes, and the byte counts
      // as a blank after text (so a CR here is no line end).
      row[s.col - 1] = kBlank;
      row[s.col] = kBlank;
      if (++s.col == width) emit(s);
      s.prevSpace = 1;
      return PairEnd::kBroken;
    }
    if (kHtml && !gbForms && t < 0xA1) {
      // In a web page of Big5 or unknown bytes any byte below 0xA1 ends the
      // waiting character and stands for itself (the Big5 recoding takes
      // the two as one character again).
      if (t <= 0x7E) placeSingle(s, t);
      return PairEnd::kBroken;
    }
    row[s.col] = static_cast<std::uint8_t>(t);  // the lead byte left s.col odd
    if (++s.col == width) emit(s);
    return PairEnd::kWhole;
  };

  WalkState s;

  // One pass per byte, except that a double-byte character (lead byte and
  // trail byte) and a full-width punctuation mark are taken whole: nothing
  // can come between the two halves, so no lead state outlives a pass.
  for (;;) {
    int c = get(s);
    if (c < 0) break;
    if (c >= 0x80 && c <= 0xA0) [[unlikely]] {
      // The lead byte of a GBK extension character the reader cannot show:
      // one blank, but for the two of the five device characters that start
      // here. The byte after it goes with it only when it is a trail byte,
      // so that nothing else is lost.
      const int t = get(s);
      if ((c == 0x98 && t == 0x84) || (c == 0x85 && t == 0x64)) {
        --s.p;
        c = 0xA9;
      } else {
        if (t >= 0 && t < 0x40) --s.p;
        c = kBlank;
      }
    }

    if constexpr (kHtml) {
      if (c == '<') {
        if (readTag(s) && tagIs("style")) {
          // Skip the style sheet up to its end tag.
          for (;;) {
            int b;
            do b = get(s);
            while (b >= 0 && b != '<');
            if (b < 0 || !readTag(s) || tagIs("/style")) break;
          }
        }
        paragraphBreak(s);
        continue;
      }
      if (s.entity > 0 || c == '&') {
        // A character s.entity stands for one blank column.
        if (c == ';' && s.entity > 0) {
          ++s.col;
          if (s.col > width - 1) emit(s);
          s.entity = 0;
        } else {
          if (s.entity > 200)
            s.entity = 0;  // no ";" came: given up
          else
            ++s.entity;
          // A double-byte character goes whole, never half of it.
          if (c > 0xA0) {
            const int t = get(s);
            if (t >= 0 && t < 0x40) --s.p;
          }
        }
        continue;
      }
    }

    if (c > kBlank && c < 0x7F) {
      startText(s);
      for (;;) {
        placeSingle(s, c);
        // The rest of a word needs none of the checks above.
        if (s.p == s.end || *s.p <= kBlank || *s.p >= 0x7F || (kHtml && (*s.p == '<' || *s.p == '&'))) break;
        c = *s.p++;
      }
      continue;
    }

    if (c > 0xA0) {
      // Full-width punctuation arrives whole; a full-width blank is a blank.
      // After a lead byte left waiting in the row by a web page, 0xA1 is a
      // lead byte of its own.
      if (c == 0xA1 && ((s.col & 1) == 0 || row[s.col - 1] < 0xA1)) {
        const int t = get(s);
        if (t < 0) break;  // a lone half character at the very end is dropped
        if (t == 0xA1 || t == 0x40) {
          placeBlank(s);
        } else if (t < 0x40) {
          // No second byte: the half character is one blank, the byte is
          // read again.
          --s.p;
          placeBlank(s);
        } else {
          startText(s);
          placePair(s, 0xA1, static_cast<std::uint8_t>(t));
        }
        continue;
      }

      startText(s);
      PairEnd end;
      for (;;) {
        end = placeCharacter(s, c);
        // The lead bytes of a run of characters need none of the checks above.
        if (end != PairEnd::kWhole || s.p == s.end || *s.p <= 0xA1) break;
        c = *s.p++;
      }
      if (end == PairEnd::kInputEnd) break;
      continue;
    }

    if (c > kBlank) {
      startText(s);  // 0x7F to 0xA0 place nothing
      continue;
    }

    if (c == kBlank) {
      placeBlank(s);
      continue;
    }

    // Control bytes. Line ends: only CR LF counts.
    if (c != kCr && c != kLf) s.blankLine = 0;
    if (s.crSeen == 1) {
      if (c == kLf) {
        s.indent = 1;
        if (s.blankLine == 1) {
          // The line that ended held nothing but blanks.
          s.blankLine = 2;
          paragraphBreak(s);
          s.indent = 0;
        } else {
          s.blankLine = 1;
        }
      }
      s.crSeen = 0;
    } else if (c == kCr) {
      s.crSeen = 1;
      s.indent = 0;
    }
    s.prevSpace = 0;
    if (s.indent > 0 && c != kLf) indentRule(s);
  }

  if (s.col > 0) emit(s);
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

void LayoutHtmlStream(ByteSource& in, int width, RowSink& sink, bool gbForms) {
  if (ValidRowWidth(width)) Layout<true>(in, width, sink, gbForms);
}

std::string LayoutText(std::string_view bytes, int width) {
  StringRowSink sink;
  StringSource raw(bytes);
  TextCoding coding = DetectCoding(bytes);
  if (coding == TextCoding::kBinary) return {};
  if (coding == TextCoding::kLegacy && !SourceIsBig5(bytes)) coding = TextCoding::kGb18030;
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

std::string LayoutStrippedHtml(std::string_view kept, int width, bool gbForms) {
  StringRowSink sink;
  StringSource in(kept);
  LayoutHtmlStream(in, width, sink, gbForms);
  return sink.out;
}

}  // namespace quirel::convert
