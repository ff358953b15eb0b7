// Documents in any of the codings people use today reach the rows as the
// same text in GB would; files that are no text are refused.
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include "common/icu_converter.h"
#include "common/text.h"
#include "convert/byte_source.h"
#include "convert/encoding.h"
#include "resources/messages.h"
#include "tests/convert/convert_fixture.h"

namespace quirel::convert::testing {
namespace {

// The text in a charset, by ICU's converter of that name (a mark first when asked).
std::string Encode(const char* charset, const std::string& utf8, std::string_view mark = {}) {
  const icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
  UErrorCode status = U_ZERO_ERROR;
  UConverter* conv = ucnv_open(charset, &status);
  std::string out(static_cast<std::size_t>(text.length()) * 4 + 8, '\0');
  const int32_t n =
      ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()), text.getBuffer(), text.length(), &status);
  ucnv_close(conv);
  EXPECT_TRUE(U_SUCCESS(status)) << charset;
  out.resize(static_cast<std::size_t>(n));
  return std::string(mark) + out;
}

std::string Gbk(const std::string& utf8) {
  std::string gbk;
  EXPECT_TRUE(Utf8ToGbk(utf8, gbk)) << utf8;
  return gbk;
}

using Coding = ConvertTest;

TEST(DetectCoding, TellsTheCodingsApart) {
  const std::string han = "第一段，世界。\r\n第二段 hello\r\n";
  const struct {
    const char* what;
    std::string bytes;
    TextCoding coding;
  } cases[] = {
      {"UTF-8", han, TextCoding::kUtf8},
      {"UTF-16LE with mark", Encode("UTF-16LE", han, "\xFF\xFE"), TextCoding::kUtf16Le},
      {"UTF-16BE with mark", Encode("UTF-16BE", han, "\xFE\xFF"), TextCoding::kUtf16Be},
      {"UTF-16LE", Encode("UTF-16LE", han), TextCoding::kUtf16Le},
      {"UTF-16BE", Encode("UTF-16BE", han), TextCoding::kUtf16Be},
      {"UTF-16LE, Latin only", Encode("UTF-16LE", "plain words\r\n"), TextCoding::kUtf16Le},
      {"GB18030 with mark", Encode("GB18030", han, "\x84\x31\x95\x33"), TextCoding::kGb18030},
      {"GB18030 outside GBK", Encode("GB18030", "一‧二"), TextCoding::kGb18030},
      // As many stray bytes as four-byte sequences still read as GB18030; one more does not.
      {"GB18030 with a stray byte", Encode("GB18030", "一‧二") + "\x80", TextCoding::kGb18030},
      {"GBK with two stray bytes", Encode("GB18030", "一‧二") + "\x80\xFF", TextCoding::kLegacy},
      // Cut inside its last sequence, the text is no UTF-8.
      {"UTF-8 cut short", han + "\xE4\xB8", TextCoding::kLegacy},
      // A sample that ends inside a surrogate pair is still UTF-16.
      {"UTF-16LE cut inside a pair", Encode("UTF-16LE", han + "😀").substr(0, Encode("UTF-16LE", han).size() + 2),
       TextCoding::kUtf16Le},
      // The second byte of a four-byte sequence is a digit, 0x30 included.
      {"GB18030 of U+0080", "a" + Encode("GB18030", "\u0080"), TextCoding::kGb18030},
      {"no four-byte sequence", "a\x81\x2F\x81\x30", TextCoding::kLegacy},
      {"GBK", Gbk(han), TextCoding::kLegacy},
      {"Big5", Encode("Big5", "這是一個測試"), TextCoding::kLegacy},
      {"ASCII", "plain ascii\r\n", TextCoding::kLegacy},
      // Latin text with one stray zero byte reads as Han characters in UTF-16.
      {"Latin with a zero byte", std::string("<p>ab</p><p>c\0<p>zz</p>", 22), TextCoding::kBinary},
      {"zip", std::string("PK\x03\x04\x14\x00\x00\x00\x08\x00\x21\x9a\x4e\x55", 14), TextCoding::kBinary},
      {"PDF", "%PDF-1.4\n1 0 obj\n", TextCoding::kBinary},
  };
  for (const auto& c : cases) EXPECT_EQ(DetectCoding(c.bytes), c.coding) << c.what;
}

TEST_F(Coding, FourByteSequenceSplitByTheReadBlockIsFound) {
  const std::string text = std::string(kReadBlock - 2, 'a') + Encode("GB18030", "‧");
  EXPECT_EQ(DetectFileCoding(Doc("split.txt", text)), TextCoding::kGb18030);
}

TEST_F(Coding, TraditionalParagraphGivesTheSameRowsInEveryCoding) {
  // The rows the Big5 recoding gives: simplified characters, 10 to a row.
  const std::string paragraph = "這是一個繁體中文的測試，臺灣的書籍";
  const std::string expected = Rows({Gbk("这是一个繁体中文的测"), Gbk("试，台湾的书籍")});
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"Big5", Encode("Big5", paragraph)},
      {"UTF-8", paragraph},
      {"UTF-8 with mark", "\xEF\xBB\xBF" + paragraph},
      {"UTF-16LE", Encode("UTF-16LE", paragraph + "\r\n")},
      {"UTF-16BE with mark", Encode("UTF-16BE", paragraph, "\xFE\xFF")},
      // Its characters are all in GBK: the mark's four-byte sequence tells it.
      {"GB18030", Encode("GB18030", paragraph, "\x84\x31\x95\x33")},
      {"GBK", Encode("GBK", paragraph)},
  };
  for (const auto& c : cases) {
    Context ctx = Ctx();
    std::string sendPath;
    ASSERT_EQ(ConvertForSend(ctx, Doc("novel.txt", c.bytes), kText, sendPath), ConvertResult::kDone) << c.what;
    EXPECT_EQ(Checked(ReadFile(sendPath)), expected) << c.what;
  }
}

TEST_F(Coding, EveryCharacterStaysWholeOnAnEvenColumn) {
  const struct {
    const char* what;
    std::string bytes;
    int width;
    std::vector<std::string> rows;  // UTF-8
  } cases[] = {
      // A word carried to the next row starts there as if written there: a
      // character after an odd number of single bytes skips a column.
      {"carried word", Gbk("AB 1的cdefghijklmnopqrs"), 20, {"AB", "1", "的cdefghijklmnopqrs"}},
      {"carried quotes", Gbk("置为 \"LANG=\"、\"LANG=C\" 或"), 20, {"置为", "\"LANG=\" 、\"LANG=C\"", "或"}},
      // Pairs that land on even columns move as they are.
      {"carried evenly", Gbk("ABC 的defghijklmnopqrs"), 20, {"ABC", "的defghijklmnopqrs"}},
      // The blank a character skipped to is the last blank of its row.
      {"after a skip", Gbk("AB C1的cdefghijklmnopqrs"), 20, {"AB C1", "的cdefghijklmnopqrs"}},
      // A GBK character with the lead byte 0xA0 costs only itself, and takes
      // its simplified twin like every character the reader lacks.
      {"lead 0xA0", Encode("GBK", "你可以作爲軟件包的維護者。"), 20, {"你可以作为软件包的维", "护者。"}},
      {"twin in simplified text", Encode("GBK", "这是社區"), 20, {"这是社区"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> rows;
    for (const std::string& row : c.rows) rows.push_back(Gbk(row));
    std::string expected;
    for (const std::string& row : rows) expected += Rows({row}, c.width);
    EXPECT_EQ(TextRows(c.bytes, c.width), expected) << c.what;
  }
}

TEST_F(Coding, GbTextOfGb2312CharactersKeepsItsBytes) {
  // Every GB2312 character, in rows of ten, goes through as it is.
  std::string text;
  const ConverterPtr gb2312 = OpenConverter("GB2312");
  for (int lead = 0xA1; lead <= 0xF7; ++lead)
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      UChar unit[2];
      UErrorCode status = U_ZERO_ERROR;
      ucnv_reset(gb2312.get());
      // The full-width blank is a blank; ICU gives the user-defined areas
      // private-use characters, which are none of GB2312's.
      if (ucnv_toUChars(gb2312.get(), unit, 2, pair, 2, &status) == 1 && U_SUCCESS(status) && unit[0] != 0x3000 &&
          (unit[0] < 0xE000 || unit[0] > 0xF8FF))
        text.append(pair, 2);
    }
  ASSERT_GT(text.size(), 7000u * 2);
  std::string expected;
  for (std::size_t at = 0; at < text.size(); at += 20) expected += Rows({text.substr(at, 20)});
  // Compared row by row, so that a failure names the characters.
  const std::string rows = TextRows(text);
  ASSERT_EQ(rows.size(), expected.size());
  for (std::size_t at = 0; at < rows.size(); at += 20)
    ASSERT_EQ(rows.substr(at, 20), expected.substr(at, 20)) << "row " << at / 20;
}

TEST_F(Coding, SimplifiedTextKeepsItsCharacters) {
  const struct {
    std::string text, shown;
  } cases[] = {
      // GB2312 characters that the Traditional-Simplified rules would change.
      {"显著的俱乐部在大阪", "显著的俱乐部在大阪"},
      // A Traditional character in simplified text still gets its form.
      {"我们這个", "我们这个"},
      // In Traditional text the same characters follow the Big5 table.
      {"之後，他們著書", "之后，他们着书"},
  };
  for (const auto& c : cases) EXPECT_EQ(TextRows(c.text), Rows({Gbk(c.shown)})) << c.text;
}

TEST_F(Coding, Utf16CopiesOfAGbkTextGiveItsRows) {
  const std::string text = "第一段\r\n第二段 hello，世界。\r\n\r\n　　第三段";
  const std::string expected = TextRows(Gbk(text));
  for (const std::string& copy : {Encode("UTF-16LE", text), Encode("UTF-16BE", text),
                                  Encode("UTF-16LE", text, "\xFF\xFE"), Encode("UTF-16BE", text, "\xFE\xFF")})
    EXPECT_EQ(TextRows(copy), expected);
}

TEST_F(Coding, BinaryFileIsRefusedWithAMessage) {
  Context ctx = Ctx();
  const std::string zip("PK\x03\x04\x14\x00\x00\x00\x08\x00\x21\x9a\x4e\x55\x00\x00\x01\x02", 18);
  const std::string path = Doc("book.txt", zip);
  std::string sendPath;
  EXPECT_EQ(ConvertForSend(ctx, path, kText, sendPath), ConvertResult::kFailed);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, std::string(msg::kDocumentPrefix) + path + std::string(msg::kNotTextSuffix));
  EXPECT_EQ(ui_.messages[0].icon, Icon::Error);
}

}  // namespace
}  // namespace quirel::convert::testing
