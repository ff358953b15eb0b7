// UTF-8 documents reach the rows as the same text in GBK would.
#include "convert/byte_source.h"
#include "convert/encoding.h"
#include "convert/html.h"
#include "tests/convert/convert_fixture.h"

namespace quirel::convert::testing {
namespace {

using Utf8 = ConvertTest;

TEST_F(Utf8, Utf8TextAndTheSameTextInGbkGiveIdenticalRows) {
  const std::string utf8 = "第一段\n第二段 hello，世界。\n\n　　第三段";
  const std::string gbk =
      "\xB5\xDA\xD2\xBB\xB6\xCE\r\n\xB5\xDA\xB6\xFE\xB6\xCE hello\xA3\xAC\xCA\xC0\xBD\xE7\xA1\xA3\r\n\r\n"
      "\xA1\xA1\xA1\xA1\xB5\xDA\xC8\xFD\xB6\xCE";
  const std::string expected = Rows({"\xB5\xDA\xD2\xBB\xB6\xCE\xB5\xDA\xB6\xFE\xB6\xCE hello\xA3\xAC",
                                     "\xCA\xC0\xBD\xE7\xA1\xA3", "  \xB5\xDA\xC8\xFD\xB6\xCE"});
  EXPECT_EQ(TextRows(gbk), expected);
  EXPECT_EQ(TextRows(utf8), expected);
}

TEST_F(Utf8, ByteOrderMarkIsDropped) {
  EXPECT_EQ(TextRows("\xEF\xBB\xBF"
                     "ab"),
            Rows({"ab"}));
  EXPECT_EQ(TextRows("\xEF\xBB\xBF"
                     "\xE4\xB8\xAD"),
            Rows({"\xD6\xD0"}));
}

TEST_F(Utf8, CharactersWithoutGbkFormBecomeAFullWidthBlank) {
  // An emoji and the euro sign (whose only form is the single byte 0x80).
  EXPECT_EQ(TranscodeUtf8ToGbk("a\xF0\x9F\x98\x80"
                               "b\xE2\x82\xAC"
                               "5"),
            "a\xA1\xA1"
            "b\xA1\xA1"
            "5");
  // In the rows a full-width blank is one blank.
  EXPECT_EQ(TextRows("a\xF0\x9F\x98\x80"
                     "b"),
            Rows({"a b"}));
}

TEST_F(Utf8, PureAsciiAndGbTextAreLeftAlone) {
  EXPECT_FALSE(LooksLikeUtf8("plain ascii\r\n"));
  EXPECT_FALSE(LooksLikeUtf8("\xD6\xD0\xCE\xC4"));  // GB 中文 is not well-formed UTF-8
  EXPECT_FALSE(LooksLikeUtf8("\xE4\xB8"));          // cut inside a character
  EXPECT_TRUE(LooksLikeUtf8("\xE4\xB8\xAD"));
  EXPECT_TRUE(
      LooksLikeUtf8("\xEF\xBB\xBF"
                    "ascii"));
  EXPECT_FALSE(LooksLikeUtf8("\xED\xA0\x80"));  // an encoded surrogate
  EXPECT_FALSE(LooksLikeUtf8("\xC0\xAF"));      // overlong
}

TEST_F(Utf8, CharacterSplitByTheReadBlockIsDecodedWhole) {
  // Leading blanks vanish from the rows; the character straddles the end
  // of the first 64 KiB block.
  const std::string text = std::string(kReadBlock - 1, ' ') + "\xE4\xB8\xAD";
  EXPECT_EQ(DetectFileCoding(Doc("big.txt", text)), TextCoding::kUtf8);
  EXPECT_EQ(TextRows(text), Rows({"\xD6\xD0"}));
}

TEST_F(Utf8, MalformedBytesAfterAByteOrderMarkBecomeBlanks) {
  EXPECT_EQ(TranscodeUtf8ToGbk("\xEF\xBB\xBF"
                               "a\xFF"
                               "b"),
            "a\xA1\xA1"
            "b");
}

TEST(MetaCharset, RecognisesUtf8Declarations) {
  EXPECT_TRUE(MetaCharsetIsUtf8("<head><meta charset=\"UTF-8\"></head>"));
  EXPECT_TRUE(MetaCharsetIsUtf8("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">"));
  EXPECT_TRUE(MetaCharsetIsUtf8("<meta charset=utf8>"));
  EXPECT_FALSE(MetaCharsetIsUtf8("<meta charset=\"gb2312\">"));
  EXPECT_FALSE(MetaCharsetIsUtf8("<p>charset=utf-8</p>"));
}

TEST_F(Utf8, Utf8WebPageGivesTheRowsOfItsGbkForm) {
  const std::string gbk = "<html><body><p>\xB5\xDA\xD2\xBB\xB6\xCE</p><p>\xB5\xDA\xB6\xFE\xB6\xCE</p></body></html>";
  const std::string utf8 = "<html><body><p>第一段</p><p>第二段</p></body></html>";
  const std::string expected = Rows({"\xB5\xDA\xD2\xBB\xB6\xCE", "  \xB5\xDA\xB6\xFE\xB6\xCE", ""});
  EXPECT_EQ(HtmlRows(gbk), expected);
  EXPECT_EQ(HtmlRows(utf8), expected);
}

TEST_F(Utf8, DeclaredUtf8PageIsTranscodedEvenWhenMalformed) {
  // The declaration decides; the stray 0xFF becomes a full-width blank.
  const std::string page =
      "<meta charset=utf-8><p>a\xFF"
      "b</p><p>";
  EXPECT_EQ(PreparePage(page),
            "<meta charset=utf-8><p>a\xA1\xA1"
            "b</p><p>");
}

TEST_F(Utf8, WebPageLineEndsAreLeftAsTheyAre) {
  // A lone LF in a page is dropped, not read as a line end.
  EXPECT_EQ(HtmlRows("<p>ab\n\ncd</p><p>"), Rows({"abcd", ""}));
}

}  // namespace
}  // namespace quirel::convert::testing
