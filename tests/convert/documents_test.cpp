// Classification, word-processor documents, the preview conversion and the
// one-document conversion of the command line.
#include <unicode/unistr.h>

#include "common/text.h"
#include "convert/process.h"
#include "resources/messages.h"
#include "tests/convert/convert_fixture.h"

namespace quirel::convert::testing {
namespace {

const std::string kDiYiDuan = "\xB5\xDA\xD2\xBB\xB6\xCE";  // 第一段
const std::string kDiErDuan = "\xB5\xDA\xB6\xFE\xB6\xCE";  // 第二段

TEST(ClassifyName, LaterTestsWin) {
  EXPECT_EQ(ClassifyName("readme.txt"), kText);
  EXPECT_EQ(ClassifyName("index.htm"), kWebPage);
  EXPECT_EQ(ClassifyName("index.html"), kWebPage);
  EXPECT_EQ(ClassifyName("novel.doc"), kWordDocument);
  EXPECT_EQ(ClassifyName("novel.docx"), kDocx);  // not the ".doc" it contains
  EXPECT_EQ(ClassifyName("novel.rtf"), kWordDocument);
  EXPECT_EQ(ClassifyName("novel.wps"), kWordDocument);
  EXPECT_EQ(ClassifyName("novel.odt"), kOdt);
  EXPECT_EQ(ClassifyName("novel.docx.bak"), kWordDocument);
  EXPECT_EQ(ClassifyName("novel.odt.bak"), kWordDocument);
  EXPECT_EQ(ClassifyName("book.ebk"), kEbook);
  EXPECT_EQ(ClassifyName("notes.doc.txt"), kWordDocument);
  EXPECT_EQ(ClassifyName("page.txt.htm"), kWebPage);
  EXPECT_EQ(ClassifyName("book.doc.ebk"), kEbook);
  EXPECT_EQ(ClassifyName("picture.png"), kOther);
  EXPECT_EQ(ClassifyName("notes.md"), kMarkdown);
  EXPECT_EQ(ClassifyName("notes.md.bak"), kText);
}

TEST(TextPathFor, ReplacesTheExtensionOfTheNameOnly) {
  EXPECT_EQ(TextPathFor("/books/novel.doc"), "/books/novel.txt");
  EXPECT_EQ(TextPathFor("/my.files/a.doc"), "/my.files/a.txt");
  EXPECT_EQ(TextPathFor("/my.files/a"), "/my.files/a.txt");
  EXPECT_EQ(TextPathFor("/books/novel.v2.docx"), "/books/novel.v2.txt");
  EXPECT_EQ(TextPathFor("/books/.doc"), "/books/.txt");  // a name that is only an extension
}

using Word = ConvertTest;

TEST_F(Word, InstalledOnlyWhenTheProgramAnswers) {
  {
    ScopedEnv office("QUIREL_SOFFICE", "/nonexistent/soffice");
    EXPECT_FALSE(WordInstalled());
  }
  {
    ScopedEnv office("QUIREL_SOFFICE", "/bin/false");
    EXPECT_FALSE(WordInstalled());
  }
  ScopedEnv office("QUIREL_SOFFICE", "/bin/true");
  EXPECT_TRUE(WordInstalled());
}

TEST_F(Word, ConversionThatLeavesNoTextIsAFailure) {
  // The stand-in program exits at once and writes nothing.
  ScopedEnv office("QUIREL_SOFFICE", "/bin/true");
  const std::string doc = Doc("novel.doc", "not really a document");
  Context ctx = Ctx();
  EXPECT_EQ(WordToText(ctx, doc), ConvertResult::kFailed);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, msg::kWordError);
  EXPECT_EQ(ui_.messages[0].caption, msg::kCaption);
  EXPECT_EQ(ui_.messages[0].icon, Icon::Error);
  EXPECT_FALSE(fs::exists(TextPathFor(doc)));

  WordInstance instance(env_);
  ASSERT_TRUE(instance.Open());
  EXPECT_FALSE(instance.Convert(doc));
  instance.Close();
}

TEST_F(Word, ProgramThatCannotStartIsAFailure) {
  ScopedEnv office("QUIREL_SOFFICE", "/nonexistent/soffice");
  Context ctx = Ctx();
  EXPECT_EQ(WordToText(ctx, Doc("a.doc", "x")), ConvertResult::kFailed);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, msg::kWordError);
  WordInstance instance(env_);
  EXPECT_FALSE(instance.Open());
}

using Preview = ConvertTest;

TEST_F(Preview, TextIsLaidOutIntoThePreviewFile) {
  WriteFile(fs::path(env_.systemDir) / kPreviewFile, "old");
  Context ctx = Ctx(16);
  EXPECT_EQ(ConvertForPreview(ctx, Doc("Fox.TXT", "the quick brownfox")), ConvertResult::kDone);
  EXPECT_EQ(Work(kPreviewFile), Rows({"the quick", "brownfox"}, 16));
}

TEST_F(Preview, EbookIsCopiedAsItIs) {
  Context ctx = Ctx();
  EXPECT_EQ(ConvertForPreview(ctx, Doc("book.ebk", "raw rows\r\n")), ConvertResult::kDone);
  EXPECT_EQ(Work(kPreviewFile), "raw rows\r\n");
}

TEST_F(Preview, WebPageIsStrippedAndLaidOut) {
  Context ctx = Ctx();
  EXPECT_EQ(ConvertForPreview(ctx, Doc("p.htm", "<p>" + kDiYiDuan + "</p><p>")), ConvertResult::kDone);
  EXPECT_EQ(Work(kPreviewFile), Rows({kDiYiDuan, ""}));
}

TEST_F(Preview, LockFileOfAWordProcessorIsTakenAsText) {
  ScopedEnv office("QUIREL_SOFFICE", "/nonexistent/soffice");
  Context ctx = Ctx();
  EXPECT_EQ(ConvertForPreview(ctx, Doc("~$novel.doc", "ab")), ConvertResult::kDone);
  EXPECT_EQ(Work(kPreviewFile), Rows({"ab"}));
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(Preview, KindComesFromTheNameNotTheFolders) {
  fs::create_directories(root_ / "docs" / "old.doc");
  const fs::path file = root_ / "docs" / "old.doc" / "a.txt";
  WriteFile(file, "ab");
  ScopedEnv office("QUIREL_SOFFICE", "/nonexistent/soffice");
  Context ctx = Ctx();
  EXPECT_EQ(ConvertForPreview(ctx, file.string()), ConvertResult::kDone);
  EXPECT_EQ(Work(kPreviewFile), Rows({"ab"}));
}

TEST_F(Preview, WordDocumentWithoutTheWordProcessorIsRefused) {
  ScopedEnv office("QUIREL_SOFFICE", "/nonexistent/soffice");
  WriteFile(fs::path(env_.systemDir) / kPreviewFile, "old");
  Context ctx = Ctx();
  EXPECT_EQ(ConvertForPreview(ctx, Doc("novel.doc", "ab")), ConvertResult::kFailed);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, msg::kNoWordConvert);
  EXPECT_EQ(ui_.messages[0].caption, msg::kCaption);
  EXPECT_EQ(ui_.messages[0].icon, Icon::Information);
  EXPECT_FALSE(WorkExists(kPreviewFile));  // deleted first
}

TEST_F(Preview, MissingFileFails) {
  Context ctx = Ctx();
  EXPECT_EQ(ConvertForPreview(ctx, (root_ / "docs" / "absent.txt").string()), ConvertResult::kFailed);
  EXPECT_EQ(ConvertForPreview(ctx, (root_ / "docs" / "absent.ebk").string()), ConvertResult::kFailed);
}

using ConvertCommand = ConvertTest;

TEST_F(ConvertCommand, WritesTheBytesThatWouldBeSent) {
  Context ctx = Ctx();
  const std::string out = (root_ / "out.ebk").string();
  EXPECT_EQ(ConvertDocument(ctx, Doc("a.txt", "ab\n\ncd"), out), ConvertResult::kDone);
  EXPECT_EQ(ReadFile(out), Rows({"ab", "  cd"}));
  // Big5 rows arrive recoded.
  EXPECT_EQ(ConvertDocument(ctx, Doc("b.txt", "\xA4\x40\xA4\x41"), out), ConvertResult::kDone);
  EXPECT_EQ(ReadFile(out), Rows({"\xD2\xBB\xD2\xD2"}));
  // An e-book goes as it is.
  EXPECT_EQ(ConvertDocument(ctx, Doc("c.EBK", "as is"), out), ConvertResult::kDone);
  EXPECT_EQ(ReadFile(out), "as is");
  // Anything else is taken as text.
  EXPECT_EQ(ConvertDocument(ctx, Doc("d.dat", "xy"), out), ConvertResult::kDone);
  EXPECT_EQ(ReadFile(out), Rows({"xy"}));
}

TEST_F(ConvertCommand, WordDocumentWithoutTheWordProcessorGoesAsText) {
  ScopedEnv office("QUIREL_SOFFICE", "/nonexistent/soffice");
  Context ctx = Ctx(16);
  const std::string out = (root_ / "out.ebk").string();
  EXPECT_EQ(ConvertDocument(ctx, Doc("plain.doc", "the quick brownfox"), out), ConvertResult::kDone);
  EXPECT_EQ(ReadFile(out), Rows({"the quick", "brownfox"}, 16));
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, msg::kNoWordConvert);
  EXPECT_EQ(ui_.messages[0].icon, Icon::Information);
}

TEST_F(ConvertCommand, FailsWhenTheInputOrOutputCannotBeUsed) {
  Context ctx = Ctx();
  EXPECT_EQ(ConvertDocument(ctx, (root_ / "absent.txt").string(), (root_ / "o").string()), ConvertResult::kFailed);
  EXPECT_EQ(ConvertDocument(ctx, Doc("a.txt", "ab"), (root_ / "no-dir" / "o").string()), ConvertResult::kFailed);
}

// Real word-processor runs: a few seconds each, skipped without LibreOffice.
class RealWord : public ConvertTest {
 protected:
  void SetUp() override {
    ConvertTest::SetUp();
    if (!WordInstalled()) GTEST_SKIP() << "LibreOffice not found";
    const char* chosen = std::getenv("QUIREL_SOFFICE");
    office_ = chosen != nullptr && *chosen != '\0' ? chosen : "soffice";
  }

  // A document made by LibreOffice itself from UTF-8 text: two paragraphs
  // with an empty one between them.
  std::string MakeDocument(const std::string& name, const char* format, const char* text = "第一段\n\n第二段\n") {
    const fs::path source = root_ / "make" / (fs::path(name).stem().string() + ".txt");
    fs::create_directories(source.parent_path());
    WriteFile(source, text);
    // The same private profile as the conversions, so it is set up once.
    const fs::path profile = fs::path(env_.systemDir) / "lo-profile";
    const int status =
        RunProgram({office_, "--headless", "--norestore", "-env:UserInstallation=file://" + profile.string(),
                    "--infilter=Text (encoded):UTF8,LF,,", "--convert-to", format, "--outdir",
                    (root_ / "docs").string(), source.string()});
    EXPECT_EQ(status, 0);
    const fs::path made = root_ / "docs" / name;
    EXPECT_TRUE(fs::exists(made)) << made;
    return made.string();
  }

  std::string office_;
};

TEST_F(RealWord, DocComesOutAsRows) {
  const std::string doc = MakeDocument("novel.doc", "doc");
  Context ctx = Ctx();
  const std::string out = (root_ / "novel.ebk").string();
  ASSERT_EQ(ConvertDocument(ctx, doc, out), ConvertResult::kDone);
  EXPECT_EQ(ReadFile(out), Rows({kDiYiDuan, "  " + kDiErDuan}));
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_FALSE(fs::exists(TextPathFor(doc)));
}

TEST_F(RealWord, DocxPreviewLeavesATextFileOfTheSameNameAlone) {
  const std::string doc = MakeDocument("report.docx", "docx");
  WriteFile(TextPathFor(doc), "mine");
  Context ctx = Ctx();
  ASSERT_EQ(ConvertForPreview(ctx, doc), ConvertResult::kDone);
  EXPECT_EQ(Work(kPreviewFile), Rows({kDiYiDuan, "  " + kDiErDuan}));
  EXPECT_EQ(ReadFile(TextPathFor(doc)), "mine");

  // WordToText itself writes the text, UTF-8 with CR LF, beside the document.
  fs::remove(TextPathFor(doc));
  ASSERT_EQ(WordToText(ctx, doc), ConvertResult::kDone);
  EXPECT_EQ(ReadFile(TextPathFor(doc)), "第一段\r\n\r\n第二段\r\n");
}

TEST_F(RealWord, RtfGivesTheRowsOfItsTextAsTheBooksDo) {
  // Heading, a footnote, a table of two rows and a verse of four lines, in
  // Traditional characters: the rows of the same text as a book's.
  auto u = [](const std::string& utf8) {
    std::string out;
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
    for (int32_t i = 0; i < text.length(); ++i) out += "\\u" + std::to_string(static_cast<int16_t>(text[i])) + "?";
    return out;
  };
  const std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Serif;}}{\\pard\\outlinelevel0\\b " + u("詩與歌") +
                          "\\b0\\par}{\\pard " + u("我們讀書，他們寫字") +
                          "{\\super\\chftn}{\\footnote\\pard{\\super\\chftn} " + u("這是腳注。") + "}" + u("。") +
                          "\\par}\\trowd\\cellx3000\\cellx6000\\pard\\intbl " + u("姓名") + "\\cell " + u("國家") +
                          "\\cell\\row\\trowd\\cellx3000\\cellx6000\\pard\\intbl " + u("李白") + "\\cell " + u("唐國") +
                          "\\cell\\row{\\pard " + u("床前明月光，") + "\\line " + u("疑是地上霜。") + "\\line " +
                          u("舉頭望明月，") + "\\line " + u("低頭思故鄉。") + "\\par}}";
  Context ctx = Ctx();
  const std::string out = (root_ / "poem.ebk").string();
  ASSERT_EQ(ConvertDocument(ctx, Doc("poem.rtf", rtf), out), ConvertResult::kDone);
  std::string text;
  ASSERT_TRUE(
      Utf8ToGbk("诗与歌\r\n\r\n我们读书，他们写字。\r\n\r\n这是脚注。\r\n\r\n姓名 国家\r\n\r\n李白 唐国\r\n\r\n"
                "床前明月光，\r\n\r\n疑是地上霜。\r\n\r\n举头望明月，\r\n\r\n低头思故乡。",
                text));
  EXPECT_EQ(ReadFile(out), TextRows(text));
}

TEST_F(RealWord, RtfKeepsTraditionalCharactersAndParagraphs) {
  // Through the word processor's GBK text 們, 書 and 區 were lost.
  const std::string doc = MakeDocument("manual.rtf", "rtf", "這是我們的說明書\n\n社區的維護者\n");
  Context ctx = Ctx();
  const std::string out = (root_ / "manual.ebk").string();
  ASSERT_EQ(ConvertDocument(ctx, doc, out), ConvertResult::kDone);
  std::string first, second;
  ASSERT_TRUE(Utf8ToGbk("这是我们的说明书", first));
  ASSERT_TRUE(Utf8ToGbk("社区的维护者", second));
  EXPECT_EQ(ReadFile(out), Rows({first, "  " + second}));
}

}  // namespace
}  // namespace quirel::convert::testing
