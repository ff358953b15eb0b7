// The row layout of text documents, byte for byte.
#include "convert/byte_source.h"
#include "convert/layout.h"
#include "resources/messages.h"
#include "tests/convert/convert_fixture.h"

namespace quirel::convert::testing {
namespace {

// GBK codes of the characters used below.
const std::string kDi = "\xB5\xDA";     // 第
const std::string kYi = "\xD2\xBB";     // 一
const std::string kDuan = "\xB6\xCE";   // 段
const std::string kEr = "\xB6\xFE";     // 二
const std::string kZhong = "\xD6\xD0";  // 中
const std::string kFullBlank = "\xA1\xA1";
const std::string kFullStop = "\xA1\xA3";  // 。

using TextLayout = ConvertTest;

TEST_F(TextLayout, EmptySourceGivesEmptyFileThatPassesAsGb) {
  EXPECT_EQ(TextRows(""), "");
  Context ctx = Ctx();
  EXPECT_EQ(CheckTextCode(ctx), TextCode::kGb);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(TextLayout, DoubleByteCharactersFillRowsAndWrapWhole) {
  std::string ten;
  for (int i = 0; i < 10; ++i) ten += kZhong;
  std::string nine;
  for (int i = 0; i < 9; ++i) nine += kZhong;
  EXPECT_EQ(TextRows("ab" + ten), Rows({"ab" + nine, kZhong}));
}

TEST_F(TextLayout, CharacterArrivingAtTheLastColumnLeavesItBlank) {
  EXPECT_EQ(TextRows("abcdefghijklmnopqrs" + kZhong), Rows({"abcdefghijklmnopqrs", kZhong}));
  // After a single byte on an odd column a character skips one column.
  EXPECT_EQ(TextRows("a" + kZhong), Rows({"a " + kZhong}));
}

TEST_F(TextLayout, LeadingFullWidthBlanksOpenAnIndentedParagraph) {
  // Line two has no indent and joins line one; line three starts with two
  // full-width blanks and opens a paragraph; line four, indented the same,
  // joins it.
  const std::string text = "ab\r\ncd\r\n" + kFullBlank + kFullBlank + "ef\r\n" + kFullBlank + kFullBlank + "gh";
  EXPECT_EQ(TextRows(text), Rows({"abcd", "  efgh"}));
}

TEST_F(TextLayout, LeadingBlanksOfALineVanishAndRunsOfBlanksShrink) {
  EXPECT_EQ(TextRows("a   b  c"), Rows({"a b c"}));
  // Three ASCII blanks are more indent than the line before had.
  EXPECT_EQ(TextRows("ab\r\n   cd"), Rows({"ab", "  cd"}));
}

TEST_F(TextLayout, EmptyLineEndsParagraphAndMoreEmptyLinesAddNothing) {
  const std::string expected = Rows({"ab", "  cd"});
  EXPECT_EQ(TextRows("ab\r\n\r\ncd"), expected);
  EXPECT_EQ(TextRows("ab\r\n\r\n\r\ncd"), expected);
  EXPECT_EQ(TextRows("ab\r\n\r\n\r\n\r\ncd"), expected);
}

TEST_F(TextLayout, TextEndingInAnEmptyLineEndsWithABlankRow) { EXPECT_EQ(TextRows("ab\r\n\r\n"), Rows({"ab", ""})); }

TEST_F(TextLayout, LoneLineFeedsCountAsCrLf) {
  EXPECT_EQ(TextRows("ab\n\ncd"), Rows({"ab", "  cd"}));
  EXPECT_EQ(TextRows("ab\ncd"), Rows({"abcd"}));
  // Mixed line ends: the CR LF stays one line end.
  EXPECT_EQ(TextRows("ab\r\n\ncd"), Rows({"ab", "  cd"}));
}

TEST_F(TextLayout, CrLfSplitByTheReadBlockStaysOneLineEnd) {
  // The CR is the last byte of the first 64 KiB block, the LF the first of
  // the next; read as a lone LF it would lose the paragraph break.
  const std::string text = "ab" + std::string(kReadBlock - 3, ' ') + "\r\n\r\ncd";
  EXPECT_EQ(TextRows(text), Rows({"ab", "  cd"}));
  // A lone LF that starts a block is still a line end.
  const std::string lone = "ab" + std::string(kReadBlock - 2, ' ') + "\n\ncd";
  EXPECT_EQ(TextRows(lone), Rows({"ab", "  cd"}));
}

TEST_F(TextLayout, WordThatOverflowsMovesWholeToTheNextRow) {
  EXPECT_EQ(TextRows("the quick brownfox", 16), Rows({"the quick", "brownfox"}, 16));
}

TEST_F(TextLayout, WordLongerThanARowIsCut) {
  EXPECT_EQ(TextRows("abcdefghijklmnopqrstuvwxyz", 16), Rows({"abcdefghijklmnop", "qrstuvwxyz"}, 16));
}

TEST_F(TextLayout, OnlyALetterAfterAFullRowMovesTheWord) {
  // Bytes 0x41..0x7A after the full row carry the word over; the bytes just
  // outside that range, and a digit, end the row as it is.
  for (const char next : {'A', 'z', '_'})
    EXPECT_EQ(TextRows(std::string("the quick brownf") + next, 16),
              Rows({"the quick", std::string("brownf") + next}, 16))
        << next;
  for (const char next : {'1', '@', '{'})
    EXPECT_EQ(TextRows(std::string("the quick brownf") + next, 16),
              Rows({"the quick brownf", std::string(1, next)}, 16))
        << next;
}

TEST_F(TextLayout, ExtensionCharactersBecomeOneBlank) {
  // 0x81 0x40 and 0x82 0x41 are GBK extension characters the reader lacks.
  EXPECT_EQ(TextRows("ab\x81\x40"
                     "cd"),
            Rows({"ab cd"}));
  EXPECT_EQ(TextRows("a\x81\x40\x82\x41"
                     "b"),
            Rows({"a b"}));
  // At the start of a row the blank vanishes.
  EXPECT_EQ(TextRows("\x9F\xA1"
                     "ab"),
            Rows({"ab"}));
}

TEST_F(TextLayout, FiveCharactersGetTheReadersOwnCodes) {
  // 这们这们这 make the text simplified, which keeps the five as they are.
  const std::string simplified = "\xD5\xE2\xC3\xC7\xD5\xE2\xC3\xC7\xD5\xE2";
  EXPECT_EQ(TextRows(simplified + "\xDF\x4D\xDE\x92\x98\x84\x85\x64\xC3\x8E"),
            Rows({simplified + "\xA9\xFA\xA9\xFB\xA9\xFC\xA9\xFD\xA9\xFE"}));
  // In Traditional text 進 and 迴 are simplified (进 回) like the rest.
  EXPECT_EQ(TextRows("\xDF\x4D\xDE\x92\x98\x84\x85\x64\xC3\x8E"), Rows({"\xBD\xF8\xBB\xD8\xA9\xFC\xA9\xFD\xA9\xFE"}));
  // Other characters with the lead bytes 0x98 and 0x85 are characters the
  // reader lacks (叀 has no simplified form): one blank, never the lead 0xA9.
  EXPECT_EQ(TextRows("a\x85\xA1"
                     "b"),
            Rows({"a b"}));
}

TEST_F(TextLayout, DeviceCharacterRightAfterAFullRowIsKept) {
  EXPECT_EQ(TextRows("abcdefghijklmnop\x98\x84", 16), Rows({"abcdefghijklmnop", "\xA9\xFC"}, 16));
}

TEST_F(TextLayout, FullWidthPunctuationStaysWholeAndAligned) {
  EXPECT_EQ(TextRows("a" + kFullStop + "b"), Rows({"a " + kFullStop + "b"}));
  EXPECT_EQ(TextRows("abcdefghijklmnopqrs" + kFullStop), Rows({"abcdefghijklmnopqrs", kFullStop}));
  // A full-width blank is a blank.
  EXPECT_EQ(TextRows("a" + kFullBlank + "b"), Rows({"a b"}));
}

TEST_F(TextLayout, BrokenCharacterBeforeALineEndBecomesABlank) {
  // The lead byte without a trail costs one blank; the line end stays.
  EXPECT_EQ(TextRows("x\xD6\r\nab"), Rows({"x ab"}));
}

TEST_F(TextLayout, SourceLineBreaksInsideAParagraphAddNoBlank) {
  EXPECT_EQ(TextRows(kDi + kYi + kDuan + "\r\n" + kDi + kEr + kDuan), Rows({kDi + kYi + kDuan + kDi + kEr + kDuan}));
}

TEST_F(TextLayout, MissingSourceFailsSilently) {
  Context ctx = Ctx();
  EXPECT_EQ(TextToEbook(ctx, (root_ / "docs" / "absent.txt").string()), ConvertResult::kFailed);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(TextLayout, WorkFileThatCannotBeCreatedIsReported) {
  env_.systemDir = (root_ / "no-such-folder").string();
  Context ctx = Ctx();
  EXPECT_EQ(TextToEbook(ctx, Doc("a.txt", "abc")), ConvertResult::kFailed);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, msg::kNoDiskSpace1);
  EXPECT_EQ(ui_.messages[0].caption, msg::kCaption);
  EXPECT_EQ(ui_.messages[0].icon, Icon::Error);
}

TEST_F(TextLayout, EveryRowIsExactlyTheWidth) {
  // Mixed input of every kind; whatever it holds, rows stay whole.
  std::string text;
  for (int i = 0; i < 300; ++i) {
    text += "word" + std::to_string(i) + " " + kZhong + (i % 7 == 0 ? "\r\n\r\n" : "") + kFullStop +
            (i % 5 == 0 ? "\x81\x40" : "") + (i % 11 == 0 ? "\xD6\r\n" : "");
  }
  for (int width : {16, 20}) {
    const std::string rows = TextRows(text, width);
    ASSERT_EQ(rows.size() % static_cast<std::size_t>(width), 0u);
    for (std::size_t r = 0; r < rows.size(); r += static_cast<std::size_t>(width)) {
      // No double-byte character straddles two rows: the last column never
      // holds a lead byte.
      int lead = 0;
      for (std::size_t k = r; k < r + static_cast<std::size_t>(width); ++k) {
        const auto b = static_cast<unsigned char>(rows[k]);
        lead = (lead == 0 && b >= 0xA1) ? 1 : 0;
      }
      EXPECT_EQ(lead, 0) << "row " << r / static_cast<std::size_t>(width);
    }
  }
}

TEST(LayoutInMemory, MatchesTheFileConversion) {
  EXPECT_EQ(LayoutText("the quick brownfox", 16), Rows({"the quick", "brownfox"}, 16));
  EXPECT_EQ(Checked(LayoutText("", 20)), "");
  EXPECT_EQ(LayoutText("ab", 7), "");  // not a width the layout can use
}

}  // namespace
}  // namespace quirel::convert::testing
