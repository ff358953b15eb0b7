// Web pages: the first pass (what is kept) and the rows of the second.
#include "convert/html.h"
#include "convert/layout.h"
#include "resources/messages.h"
#include "tests/convert/convert_fixture.h"

namespace quirel::convert::testing {
namespace {

const std::string kDiYiDuan = "\xB5\xDA\xD2\xBB\xB6\xCE";  // 第一段
const std::string kDiErDuan = "\xB5\xDA\xB6\xFE\xB6\xCE";  // 第二段

std::string Strip(const std::string& page, bool* warned = nullptr) {
  bool nonStandard = false;
  std::string kept = StripHtmlText(PreparePage(page), nonStandard);
  if (warned != nullptr) *warned = nonStandard;
  return kept;
}

using Html = ConvertTest;

TEST_F(Html, TwoParagraphPageKeepsAllButTheLastTagAndGivesThreeRows) {
  const std::string page = "<html><body><p>" + kDiYiDuan + "</p><p>" + kDiErDuan + "</p></body></html>";
  EXPECT_EQ(Strip(page), "<html><body><p>" + kDiYiDuan + "</p><p>" + kDiErDuan + "</p></body>");
  EXPECT_EQ(HtmlRows(page), Rows({kDiYiDuan, "  " + kDiErDuan, ""}));
  EXPECT_EQ(Work(kHtmlWork), "<html><body><p>" + kDiYiDuan + "</p><p>" + kDiErDuan + "</p></body>");
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(Html, LongLinkTagIsDroppedWhileItsTextAndClosingTagStay) {
  const std::string page = "<p><a href=\"http://example.com/x\">link</a></p>";
  EXPECT_EQ(Strip(page), "<p>link</a>");
  EXPECT_EQ(HtmlRows(page), Rows({"link", ""}));
}

TEST_F(Html, TagsOfNineCharactersStayAndLongerOnesGo) {
  EXPECT_EQ(Strip("<p>a<abcdefg>b<abcdefgh>c</p>"), "<p>a<abcdefg>bc");
}

TEST_F(Html, TextBeforeTheFirstTagAndAfterABlockIsNotKept) {
  EXPECT_EQ(Strip("lost<p>a<!-- note -->gone<p>b</p>"), "<p>a<p>b");
  // A comment may also close with "--!>".
  EXPECT_EQ(Strip("lost<p>a<!-- note --!>gone<p>b</p>"), "<p>a<p>b");
}

TEST_F(Html, NonBreakingSpaceIsOneBlankColumn) {
  const std::string page = "<body>a&nbsp;b</body></html>";
  EXPECT_EQ(Strip(page), "<body>a&nbsp;b</body>");
  EXPECT_EQ(HtmlRows(page), Rows({"a b", ""}));
}

TEST(HtmlLayout, AmpersandWithoutSemicolonSwallowsTwoHundredAndOneBytes) {
  // "&" and the 201 bytes after it are gone; the next byte is placed.
  EXPECT_EQ(Checked(LayoutStrippedHtml("&" + std::string(201, 'x') + "ab", 20)), Rows({"ab"}));
  // With 200 bytes the "a" is the 201st and goes too.
  EXPECT_EQ(Checked(LayoutStrippedHtml("&" + std::string(200, 'x') + "ab", 20)), Rows({"b"}));
  // A double-byte character among them goes whole.
  EXPECT_EQ(Checked(LayoutStrippedHtml("&" + std::string(200, 'x') + "\xD6\xD0" + "ab", 20)), Rows({"ab"}));
}

TEST(HtmlLayout, EntityAtTheRowEndEmitsTheRow) {
  EXPECT_EQ(Checked(LayoutStrippedHtml("abcdefghijklmnopqrs&amp;t", 20)), Rows({"abcdefghijklmnopqrs", "t"}));
}

TEST(HtmlLayout, TagReadStopsAfterSixHundredBytes) {
  EXPECT_EQ(Checked(LayoutStrippedHtml("<" + std::string(600, 'x') + "yz", 20)), Rows({"yz"}));
  EXPECT_EQ(Checked(LayoutStrippedHtml("<" + std::string(599, 'x') + ">yz", 20)), Rows({"yz"}));
}

TEST(HtmlLayout, StyleSheetIsSkippedToItsEndTag) {
  EXPECT_EQ(Checked(LayoutStrippedHtml("<STYLE>p{}</b>x<x/style>ab</style>cd", 20)), Rows({"cd"}));
}

TEST(HtmlLayout, SecondByteBelowA1EndsAWaitingCharacter) {
  // 0x7F after a lead byte is dropped in a page of unknown bytes (in Big5
  // rows the lead byte waits for the recoding); in GB text the two are no
  // character at all and cost one blank.
  EXPECT_EQ(LayoutStrippedHtml("\xD6\x7F", 20), Rows({"\xD6"}));
  EXPECT_EQ(Checked(LayoutText("\xD6\x7F", 20)), "");
}

TEST_F(Html, UnclosedCommentWarnsAndKeepsWhatCameBefore) {
  const std::string page = "<p>kept</p><!-- never closed <p>lost</p>";
  EXPECT_EQ(HtmlRows(page), Rows({"kept", ""}));
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, msg::kHtmlNonStandard);
  EXPECT_EQ(ui_.messages[0].caption, msg::kCaptionFramework);
  EXPECT_EQ(ui_.messages[0].icon, Icon::None);
}

TEST_F(Html, TagThatNeverClosesWarns) {
  bool warned = false;
  EXPECT_EQ(Strip("<p>a<b <i>c", &warned), "<p>a");
  EXPECT_TRUE(warned);
}

TEST_F(Html, TextAfterTheLastBlockIsDroppedWithoutWarning) {
  bool warned = true;
  EXPECT_EQ(Strip("<p>a</p><!-- <b> -->\r\n\r\n", &warned), "<p>a</p>");
  EXPECT_FALSE(warned);
  // A comment that is the last "<" counts as the last tag.
  EXPECT_EQ(Strip("<p>a</p><!-- end -->\r\n", &warned), "<p>a</p>\r\n");
  EXPECT_FALSE(warned);
}

TEST_F(Html, ScriptWithAQuotedEndTagIsSkippedWhole) {
  const std::string page = "<p>a</p><script>var s='</script>';x<y;</script><p>b</p>";
  EXPECT_EQ(Strip(page), "<p>a</p><p>b");
  EXPECT_EQ(HtmlRows(page), Rows({"a", "  b"}));
}

TEST_F(Html, UpperCaseMarkupWorksAndLatinTextComesOutLowerCase) {
  const std::string page = "<HTML><BODY><P>Hello</P><P>World</P></BODY></HTML>";
  EXPECT_EQ(HtmlRows(page), Rows({"hello", "  world", ""}));
}

TEST_F(Html, LowerCasingLeavesSecondBytesAlone) {
  // Big5 乙 is 0xA4 0x41: its second byte is an ASCII capital.
  EXPECT_EQ(Strip("<P>\xA4\x41</P>"), "<p>\xA4\x41");
  EXPECT_EQ(HtmlRows("<P>\xA4\x41</P>"), Rows({"\xA4\x41"}));
}

TEST_F(Html, PageEndsAtTheFirstZeroByte) {
  EXPECT_EQ(HtmlRows(std::string("<p>ab</p><p>c", 13) + std::string(1, '\0') + "<p>zz</p>"), Rows({"ab", "  c"}));
}

TEST_F(Html, PageHoldingTheWordErrorIsConverted) {
  EXPECT_EQ(HtmlRows("error"), "");
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(Html, PageThatCannotBeReadIsReported) {
  Context ctx = Ctx();
  const std::string path = (root_ / "docs" / "absent.htm").string();
  EXPECT_EQ(HtmlTextToEbook(ctx, path), ConvertResult::kFailed);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, std::string(msg::kOpenFilePrefix) + path + std::string(msg::kOpenFileSuffix));
  EXPECT_EQ(ui_.messages[0].caption, msg::kCaption);
  EXPECT_EQ(ui_.messages[0].icon, Icon::Error);
}

TEST_F(Html, KeptTextThatCannotBeWrittenIsReportedTwice) {
  const std::string path = Doc("p.htm", "<p>a</p>");
  env_.systemDir = (root_ / "no-such-folder").string();
  Context ctx = Ctx();
  EXPECT_EQ(HtmlTextToEbook(ctx, path), ConvertResult::kFailed);
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[0].text, msg::kHtmlDiskFull);
  EXPECT_EQ(ui_.messages[0].icon, Icon::Error);
  EXPECT_EQ(ui_.messages[1].text, std::string(msg::kOpenFilePrefix) + path + std::string(msg::kOpenFileSuffix));
}

TEST_F(Html, WebPageGoesThroughCheckTextCodeLikeText) {
  Context ctx = Ctx();
  std::string sendPath;
  ASSERT_EQ(ConvertForSend(ctx, Doc("p.html", "<p>" + kDiYiDuan + "</p><p>"), kWebPage, sendPath),
            ConvertResult::kDone);
  EXPECT_EQ(sendPath, env_.SystemFile(kEbookWork));
  EXPECT_EQ(Checked(ReadFile(sendPath)), Rows({kDiYiDuan, ""}));
}

}  // namespace
}  // namespace quirel::convert::testing
