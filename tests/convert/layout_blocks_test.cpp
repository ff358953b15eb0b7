// The row layout must not depend on how its input is cut into blocks: a file
// arrives in 64 KiB reads, a recoded stream in pieces of any size, and a
// character, a CR LF, a tag or an entity may fall across any boundary.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "convert/byte_source.h"
#include "convert/layout.h"

namespace quirel::convert::testing {
namespace {

// The bytes of a string in blocks of random length (1 to maxBlock).
class ChunkedSource final : public ByteSource {
 public:
  ChunkedSource(std::string_view bytes, std::uint32_t seed, std::size_t maxBlock)
      : bytes_(bytes), random_(seed), size_(1, maxBlock) {}

 protected:
  bool Fill() override {
    if (taken_ >= bytes_.size()) return false;
    const std::size_t n = std::min(size_(random_), bytes_.size() - taken_);
    data_ = reinterpret_cast<const std::uint8_t*>(bytes_.data()) + taken_;
    end_ = n;
    taken_ += n;
    return true;
  }

 private:
  std::string_view bytes_;
  std::mt19937 random_;
  std::uniform_int_distribution<std::size_t> size_;
  std::size_t taken_ = 0;
};

// Pieces that reach every branch of the walk: characters, the five device
// codes and their near relatives, extension characters, full-width
// punctuation and blanks, broken pairs, blanks, line ends of every kind,
// words longer than a row, control bytes, and for web pages tags, style
// sheets and entities (closed, unclosed and endless).
std::string RandomDocument(std::mt19937& random, bool html) {
  static const char* const kPieces[] = {
      "\xD6\xD0", "\xB5\xDA", "\xF7\xFE", "\xDF\x4D", "\xDE\x92", "\x98\x84", "\x85\x64", "\xC3\x8E", "\xA9\x84",
      "\xA9\x64", "\x98\x40", "\x81\x40", "\x9F\xA1", "\xA1\xA3", "\xA3\xAC", "\xA1\xA1", "\xA1\x40", "\xA1\x0D",
      "\xD6\r\n", "\xB0<",    "\xB0&",    "\xB0\x41", "\xD6",     "\xA1",     " ",        "   ",      "\r\n",
      "\r\n\r\n", "\r\n  ",   "\r\n    ", "\r",       "\n",       "word ",    "a",        "Z",        "1",
      "!",        "\x7F",     "\x01",     "\x98",     "\x85",     "\xC3",     "\x8E",     "\xFF",
  };
  static const char* const kHtmlPieces[] = {
      "<p>", "<br>", "</P>", "<STYLE>p{}</style>", "<style>a<b>c</STYLE>", "&nbsp;", "&amp", ";", "<", ">", "&",
  };
  std::uniform_int_distribution<int> lengthOf(0, 3000);
  std::uniform_int_distribution<int> kind(0, 99);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<std::size_t> htmlPiece(0, std::size(kHtmlPieces) - 1);
  std::uniform_int_distribution<int> letter('a', 'z');
  std::uniform_int_distribution<int> anyByte(0, 255);
  std::string text;
  const auto length = static_cast<std::size_t>(lengthOf(random));
  while (text.size() < length) {
    const int k = kind(random);
    if (k < 10) {
      // An English word, sometimes longer than a row.
      const int n = 1 + kind(random) % 24;
      for (int i = 0; i < n; ++i) text.push_back(static_cast<char>(letter(random)));
    } else if (k < 13) {
      text.push_back(static_cast<char>(anyByte(random)));
    } else if (k < 16 && html) {
      text += kHtmlPieces[htmlPiece(random)];
    } else if (k == 16 && html) {
      text += "&" + std::string(static_cast<std::size_t>(kind(random)) * 3, 'x');  // no ";" for long
    } else {
      text += kPieces[piece(random)];
    }
  }
  return text;
}

TEST(LayoutBlocks, CuttingTheInputIntoBlocksNeverChangesTheRows) {
  for (const bool html : {false, true}) {
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
      std::mt19937 random(seed);
      const std::string text = RandomDocument(random, html);
      for (const int width : {16, 20}) {
        SCOPED_TRACE(::testing::Message() << (html ? "web page" : "text") << ", seed " << seed << ", width " << width);
        auto layout = [&](ByteSource& in) {
          StringRowSink sink;
          if (html)
            LayoutHtmlStream(in, width, sink);
          else
            LayoutTextStream(in, width, sink);
          return sink.out;
        };
        StringSource whole(text);
        const std::string expected = layout(whole);
        // Blocks of one byte, of a few bytes and of up to about a row.
        for (const std::size_t maxBlock : {std::size_t{1}, std::size_t{3}, std::size_t{40}}) {
          ChunkedSource pieces(text, seed * 7 + static_cast<std::uint32_t>(maxBlock), maxBlock);
          ASSERT_EQ(layout(pieces), expected) << "blocks of at most " << maxBlock << " bytes";
        }
      }
    }
  }
}

}  // namespace
}  // namespace quirel::convert::testing
