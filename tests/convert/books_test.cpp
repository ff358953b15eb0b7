// Books in their own formats, made here, give the rows of the same text
// written as GBK paragraphs; damaged, protected and text-less books are
// refused with their message.
#include <zip.h>

#include <deque>
#include <map>
#include <unicode/unistr.h>

#include "common/text.h"
#include "convert/book.h"
#include "resources/messages.h"
#include "tests/convert/convert_fixture.h"

namespace quirel::convert::testing {
namespace {

// The paragraphs every book below holds, as GBK text with an empty line
// between two paragraphs.
std::string GbkParagraphs(std::initializer_list<std::string> paragraphs) {
  std::string utf8;
  for (const std::string& p : paragraphs) utf8 += (utf8.empty() ? "" : "\r\n\r\n") + p;
  std::string gbk;
  EXPECT_TRUE(Utf8ToGbk(utf8, gbk));
  return gbk;
}

// A zip archive of the members in the order given; "mimetype" stored.
std::string Zip(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& members) {
  int error = 0;
  zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  EXPECT_NE(za, nullptr);
  for (const auto& [name, content] : members) {
    zip_source_t* source = zip_source_buffer(za, content.data(), content.size(), 0);
    const zip_int64_t index = zip_file_add(za, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    EXPECT_GE(index, 0) << name;
    if (name == "mimetype") zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  EXPECT_EQ(zip_close(za), 0);
  return ReadFile(path);
}

const char* const kContainer =
    "<?xml version=\"1.0\"?><container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">"
    "<rootfiles><rootfile full-path=\"OEBPS/content.opf\" media-type=\"application/oebps-package+xml\"/>"
    "</rootfiles></container>";

std::string Chapter(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE html>\n"
         "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\">"
         "<head><title>书名</title><style>p { text-indent: 2em }</style>"
         "<link rel=\"stylesheet\" href=\"../s.css\"/></head><body>" +
         body + "</body></html>";
}

// An EPUB 3 book of two chapters whose archive and manifest list them in
// the opposite order of the spine.
std::vector<std::pair<std::string, std::string>> EpubMembers() {
  const std::string opf =
      "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\">"
      "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>书名</dc:title></metadata><manifest>"
      "<item id=\"two\" href=\"Text/two%20%62.xhtml\" media-type=\"application/xhtml+xml\"/>"
      "<item id=\"css\" href=\"s.css\" media-type=\"text/css\"/>"
      "<item id=\"one\" href=\"./Text/../Text/one.xhtml\" media-type=\"application/xhtml+xml\"/>"
      "</manifest><spine><itemref idref=\"one\"/><itemref idref=\"two\"/></spine></package>";
  return {{"mimetype", "application/epub+zip"},
          {"META-INF/container.xml", kContainer},
          {"OEBPS/content.opf", opf},
          {"OEBPS/s.css", "p { margin: 0 }"},
          {"OEBPS/Text/two b.xhtml", Chapter("<h1>第二章</h1><p>　　最后一段。</p>")},
          {"OEBPS/Text/one.xhtml",
           Chapter("<h1 class=\"chapter\">第一章</h1>\n<p class=\"text\">这是<span class=\"em\">第一</span>段，"
                   "A&#160;&amp;&#xA0; B&lt;C。</p>\n<p>第一行<br/>第二行</p><img src=\"x.png\" alt=\"图\"/>"
                   "<script>var x = '不要';</script>")}};
}

const std::string kBookText =
    GbkParagraphs({"第一章", "这是第一段，A & B<C。", "第一行", "第二行", "第二章", "最后一段。"});
// The same as the text a keep-format preview shows.
const std::string kBookUtf8 = "第一章\n\n这是第一段，A & B<C。\n\n第一行\n\n第二行\n\n第二章\n\n最后一段。";

std::string Fb2() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
         "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\">"
         "<description><title-info><book-title>书名</book-title></title-info></description>"
         "<body><title><p>第一章</p></title><section><p>这是<emphasis>第一</emphasis>段，A&#160;&amp;&#xA0; "
         "B&lt;C。</p>"
         "<empty-line/><poem><stanza><v>第一行</v><v>第二行</v></stanza></poem></section>"
         "<section><title><p>第二章</p></title><image href=\"#x\"/><p>最后一段。</p></section></body>"
         "<binary id=\"x\" content-type=\"image/png\">iVBORw0KGgo=</binary></FictionBook>";
}

// The same book in Markdown: headings in both forms, a line break by two
// trailing blanks, a picture beside the text.
const std::string kMarkdownBook =
    "# 第一章\n\n这是*第一*段，A&#160;&amp;&#xA0; B&lt;C。\n\n第一行  \n第二行\n![图](x.png)\n\n"
    "第二章\n===\n\n　　最后一段。\n";

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (const char c : text) out += c == '\n' ? "\r\n" : std::string(1, c);
  return out;
}

void Put16(std::string& s, std::size_t at, unsigned v) {
  s[at] = static_cast<char>(v >> 8);
  s[at + 1] = static_cast<char>(v);
}
void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  Put16(s, at, v >> 16);
  Put16(s, at + 2, v & 0xFFFF);
}

// A MOBI book of the old format: a Palm database with the header record, one
// uncompressed text record of UTF-8 markup and the end-of-file record.
std::string Mobi(const std::string& markup, unsigned encryption = 0) {
  std::string header(16 + 232 + 8, '\0');
  Put16(header, 0, 1);  // no compression
  Put32(header, 4, static_cast<std::uint32_t>(markup.size()));
  Put16(header, 8, 1);
  Put16(header, 10, 4096);
  Put16(header, 12, encryption);
  header.replace(16, 4, "MOBI");
  Put32(header, 20, 232);
  Put32(header, 24, 2);      // a book
  Put32(header, 28, 65001);  // UTF-8
  Put32(header, 32, 1);
  Put32(header, 36, 6);
  for (std::size_t at = 40; at < 80; at += 4) Put32(header, at, 0xFFFFFFFF);  // no indexes
  Put32(header, 80, 2);                                                       // first record after the text
  Put32(header, 84, 248);                                                     // the full name
  Put32(header, 88, 4);
  Put32(header, 104, 6);
  Put32(header, 108, 0xFFFFFFFF);
  Put32(header, 168, 0xFFFFFFFF);
  Put16(header, 192, 1);
  Put16(header, 194, 1);
  Put32(header, 196, 1);
  Put32(header, 200, 0xFFFFFFFF);
  Put32(header, 208, 0xFFFFFFFF);
  Put32(header, 244, 0xFFFFFFFF);
  header.replace(248, 4, "Book");
  const std::vector<std::string> records = {header, markup, "\xE9\x8E\x0D\x0A"};

  std::string db(78 + 8 * records.size() + 2, '\0');
  db.replace(0, 4, "Book");
  db.replace(60, 8, "BOOKMOBI");
  Put16(db, 76, static_cast<unsigned>(records.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(db.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    Put32(db, 78 + 8 * i, offset);
    Put16(db, 78 + 8 * i + 6, static_cast<unsigned>(i));
    offset += static_cast<std::uint32_t>(records[i].size());
  }
  for (const std::string& r : records) db += r;
  return db;
}

std::string MobiMarkup() {
  return "<html><head><guide></guide></head><body><h1>第一章</h1><p>这是<b>第一</b>段，A&#160;&amp;&#xA0; B&lt;C。</p>"
         "<p>第一行<br/>第二行</p><mbp:pagebreak/><h1>第二章</h1><p>最后一段。</p></body></html>";
}

// A one-page PDF whose text is drawn with a Han font that is not embedded;
// its ToUnicode map gives the characters. Each line: font size, x, y, text.
struct PdfLine {
  int size, y;
  std::string text;
};
std::string Pdf(const std::vector<PdfLine>& lines) {
  std::map<char32_t, int> cids;
  std::string content;
  for (const PdfLine& line : lines) {
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(line.text);
    std::string hex;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
      const char32_t cp = static_cast<char32_t>(text.char32At(i));
      const int cid = cids.emplace(cp, static_cast<int>(cids.size()) + 1).first->second;
      char buf[8];
      std::snprintf(buf, sizeof buf, "%04X", cid);
      hex += buf;
    }
    content += "BT /F1 " + std::to_string(line.size) + " Tf 72 " + std::to_string(line.y) + " Td <" + hex + "> Tj ET\n";
  }
  std::string cmap =
      "/CIDInit /ProcSet findresource begin 12 dict begin begincmap /CIDSystemInfo << /Registry (Adobe) "
      "/Ordering (UCS) /Supplement 0 >> def /CMapName /Adobe-Identity-UCS def /CMapType 2 def\n"
      "1 begincodespacerange <0000> <FFFF> endcodespacerange\n" +
      std::to_string(cids.size()) + " beginbfchar\n";
  for (const auto& [cp, cid] : cids) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "<%04X> <%04X>\n", cid, static_cast<unsigned>(cp));
    cmap += buf;
  }
  cmap += "endbfchar endcmap CMapName currentdict /CMap defineresource pop end end\n";
  auto stream = [](const std::string& data) {
    return "<< /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream";
  };
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      // One object written over two lines.
      // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 5 0 R >> >> "
      "/Contents 4 0 R >>",
      stream(content),
      "<< /Type /Font /Subtype /Type0 /BaseFont /TestHan /Encoding /Identity-H /DescendantFonts [6 0 R] "
      "/ToUnicode 7 0 R >>",
      "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /TestHan /CIDSystemInfo << /Registry (Adobe) "
      "/Ordering (Identity) /Supplement 0 >> /FontDescriptor 8 0 R /DW 1000 /CIDToGIDMap /Identity >>",
      stream(cmap),
      "<< /Type /FontDescriptor /FontName /TestHan /Flags 4 /FontBBox [0 -200 1000 900] /ItalicAngle 0 "
      "/Ascent 900 /Descent -200 /CapHeight 700 /StemV 80 >>",
  };
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t offset : offsets) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%010zu 00000 n \n", offset);
    pdf += buf;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

// A DOCX document of the body's markup, its footnotes and endnotes, and a
// comment that must not be read.
std::string Docx(const fs::path& path, const std::string& body, const std::string& notes = "") {
  const std::string w = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
  auto part = [&](const char* root, const std::string& inner) {
    return "<?xml version=\"1.0\"?><w:" + std::string(root) + " " + w + ">" + inner + "</w:" + root + ">";
  };
  return Zip(path, {{"[Content_Types].xml", "<Types/>"},
                    {"word/document.xml", part("document", "<w:body>" + body + "</w:body>")},
                    {"word/footnotes.xml", part("footnotes", notes)},
                    {"word/endnotes.xml", part("endnotes", notes)},
                    {"word/comments.xml", part("comments",
                                               "<w:comment w:id=\"0\"><w:p><w:r><w:t>評論</w:t></w:r>"
                                               "</w:p></w:comment>")}});
}

std::string Odt(const fs::path& path, const std::string& text,
                const std::pair<std::string, std::string>& manifest = {"META-INF/manifest.xml", "<manifest/>"}) {
  return Zip(path, {{"mimetype", "application/vnd.oasis.opendocument.text"},
                    manifest,
                    {"content.xml",
                     "<?xml version=\"1.0\"?><office:document-content "
                     "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                     "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                     "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
                     "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><office:body><office:text>" +
                         text + "</office:text></office:body></office:document-content>"}});
}

std::string WordRun(const std::string& text) { return "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>"; }

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
  return text.replace(text.find(what), what.size(), with);
}
std::string Nested(const char* tag, int levels, std::string inner) {
  while (levels-- > 0) inner = std::string("<") + tag + ">" + inner + "</" + tag + ">";
  return inner;
}

using Books = ConvertTest;

// Encryption of one member by the algorithm given.
std::pair<std::string, std::string> Encryption(const std::string& algorithm, const std::string& member) {
  return {"META-INF/encryption.xml",
          "<encryption xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\" "
          "xmlns:enc=\"http://www.w3.org/2001/04/xmlenc#\"><enc:EncryptedData>"
          "<enc:EncryptionMethod Algorithm=\"" +
              algorithm + "\"/><enc:CipherData><enc:CipherReference URI=\"" + member +
              "\"/></enc:CipherData></enc:EncryptedData></encryption>"};
}

TEST_F(Books, EveryFormatGivesTheRowsOfItsText) {
  const std::string epub = Zip(root_ / "a.epub", EpubMembers());
  // Obfuscated fonts are no protection of the text.
  auto withFonts = EpubMembers();
  withFonts.push_back(Encryption("http://www.idpf.org/2008/embedding", "OEBPS/f.otf"));
  auto withAdobeFonts = EpubMembers();
  withAdobeFonts.push_back(Encryption("http://ns.adobe.com/pdf/enc#RC", "OEBPS/f.otf"));
  const std::string fb2zip = Zip(root_ / "a.fb2.zip", {{"book/a.fb2", Fb2()}});
  // The book's own entities give their text; one naming a file, nothing.
  auto withDtd = EpubMembers();
  withDtd.back().second =
      Replaced(Replaced(withDtd.back().second, "<!DOCTYPE html>",
                        "<!DOCTYPE html [<!ENTITY d \"第一\"><!ENTITY pw SYSTEM \"file:///etc/passwd\">]>"),
               "第一<", "&d;&pw;<");
  const std::string url = "file://" + root_.string();
  WriteFile(root_ / "secret.txt", "秘密");
  WriteFile(root_ / "book.dtd", "<!ENTITY dtd \"秘密\">");
  const std::string fb2Dtd = Replaced(
      Replaced(Fb2(), "<FictionBook",
               "<!DOCTYPE FictionBook SYSTEM \"" + url + "/book.dtd\" [<!ENTITY d \"第一\"><!ENTITY pw SYSTEM \"" +
                   url + "/secret.txt\"><!ENTITY % p SYSTEM \"" + url + "/book.dtd\">%p;]><FictionBook"),
      "第一<", "&d;&pw;&dtd;<");
  // Line breaks left open, as in HTML, nest nothing.
  auto openBreaks = EpubMembers();
  std::string breaks;
  for (int i = 0; i < 300; ++i) breaks += "<br>";
  openBreaks.back().second = Replaced(openBreaks.back().second, "<br/>", breaks);
  const struct {
    const char* name;
    std::string bytes;
    std::string text;
  } cases[] = {
      {"book.epub", epub, kBookText},
      {"fonts.epub", Zip(root_ / "f.epub", withFonts), kBookText},
      {"adobe.epub", Zip(root_ / "g.epub", withAdobeFonts), kBookText},
      {"book.fb2", Fb2(), kBookText},
      {"book.fb2.zip", fb2zip, kBookText},
      {"dtd.epub", Zip(root_ / "d.epub", withDtd), kBookText},
      {"dtd.fb2", fb2Dtd, kBookText},
      {"breaks.epub", Zip(root_ / "b.epub", openBreaks), kBookText},
      {"book.mobi", Mobi(MobiMarkup()), kBookText},
      {"book.md", kMarkdownBook, kBookText},
      {"book.markdown", "\xEF\xBB\xBF" + WithCrLf(kMarkdownBook), kBookText},
      {"book.docx",
       Docx(root_ / "a.docx", "<w:p><w:pPr><w:pStyle w:val=\"Heading1\"/></w:pPr>" + WordRun("第一章") + "</w:p><w:p>" +
                                  WordRun("这是") +
                                  "<w:r><w:rPr><w:b/></w:rPr><w:t>第一</w:t></w:r><w:r><w:t>段，A</w:t>"
                                  "<w:tab/><w:t>&amp;&#xA0; B&lt;C。</w:t></w:r></w:p><w:p><w:r><w:t>第一行</w:t>"
                                  "<w:br/><w:t>第二行</w:t></w:r></w:p><w:p>" +
                                  WordRun("第二章") + "</w:p><w:p>" + WordRun("　　最后一段。") + "</w:p>"),
       kBookText},
      {"book.odt",
       Odt(root_ / "a.odt",
           "<text:h text:outline-level=\"1\">第一章</text:h>\n<text:p>这是<text:span>第一</text:span>段，A<text:tab/>"
           "&amp;<text:s text:c=\"3\"/>B&lt;C。</text:p><text:p>第一行<text:line-break/>第二行</text:p>"
           "<text:h>第二章</text:h><text:p>　　最后一段。</text:p>"),
       kBookText},
      // Two lines close together are one block; the wider gaps part blocks.
      {"book.pdf", Pdf({{16, 720, "第一章"}, {12, 680, "这是第一段的第一"}, {12, 666, "行文字"}, {12, 600, "第二段"}}),
       GbkParagraphs({"第一章", "这是第一段的第一行文字", "第二段"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Doc(c.name, c.bytes);
    Context ctx = Ctx();
    std::string sendPath;
    ASSERT_EQ(ConvertForSend(ctx, path, ClassifyName(c.name), sendPath), ConvertResult::kDone);
    // Read before TextRows, which writes the same work file.
    const std::string rows = Checked(ReadFile(sendPath));
    EXPECT_EQ(rows, TextRows(c.text));
    if (c.text == kBookText) {
      std::string utf8;
      EXPECT_EQ(BookToText(ctx, path, ClassifyName(c.name), utf8), ConvertResult::kDone);
      EXPECT_EQ(utf8, kBookUtf8);
    }
    EXPECT_TRUE(ui_.messages.empty());
  }
}

TEST_F(Books, DamagedProtectedAndEmptyBooksAreRefused) {
  auto members = EpubMembers();
  members.push_back(Encryption("http://www.w3.org/2001/04/xmlenc#aes128-cbc", "OEBPS/Text/one.xhtml"));
  const std::string locked = Zip(root_ / "locked.epub", members);
  // An encryption list that cannot be read may hide anything.
  auto garbled = EpubMembers();
  garbled.push_back({"META-INF/encryption.xml", ""});
  const std::string epub = Zip(root_ / "a.epub", EpubMembers());
  const std::string docx = Docx(root_ / "a.docx", "<w:p>" + WordRun("正文") + "</w:p>");
  const std::string odt = Odt(root_ / "a.odt", "<text:p>正文</text:p>");
  // A document saved with a password is a compound file holding the package.
  std::string encryptedDocx = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0');
  for (const char c : std::string("EncryptedPackage")) encryptedDocx += {c, '\0'};
  // Nested past libxml2's 256 levels, or as deep by entities, or entities
  // growing a billionfold: the parser stops, and the rest would be lost.
  auto deep = EpubMembers();
  deep.back().second = Replaced(deep.back().second, "<p", Nested("div", 300, "") + "<p");
  const std::string fb2Deep = Replaced(Fb2(), "<p>最后", Nested("section", 300, "") + "<p>最后");
  const std::string fb2Built =
      Replaced(Replaced(Fb2(), "<FictionBook",
                        "<!DOCTYPE FictionBook [<!ENTITY s \"" + Nested("section", 200, "") + "\">]><FictionBook"),
               "<p>最后", Nested("section", 200, "&s;") + "<p>最后");
  std::string laughs = "<!ENTITY l0 \"哈哈哈哈哈哈哈哈哈哈\">";
  for (int i = 1; i < 10; ++i) {
    std::string refs;
    for (int j = 0; j < 10; ++j) refs += "&l" + std::to_string(i - 1) + ";";
    laughs += "<!ENTITY l" + std::to_string(i) + " \"" + refs + "\">";
  }
  const std::string fb2Laughs =
      Replaced(Replaced(Fb2(), "<FictionBook", "<!DOCTYPE FictionBook [" + laughs + "]><FictionBook"), "最后", "&l9;");
  // One chapter of 4 MiB named nine times over: more text than any book gives.
  auto repeated = EpubMembers();
  repeated[2].second = Replaced(repeated[2].second, "<itemref idref=\"one\"/>", [] {
    std::string refs;
    for (int k = 0; k < 9; ++k) refs += "<itemref idref=\"one\"/>";
    return refs;
  }());
  repeated.back().second = Chapter("<p>" + std::string(4u << 20, 'a') + "</p>");
  const struct {
    const char* name;
    std::string bytes;
    std::string_view reason;
  } cases[] = {
      {"repeated.epub", Zip(root_ / "r.epub", repeated), msg::kBrokenDocumentSuffix},
      {"locked.epub", locked, msg::kProtectedDocumentSuffix},
      {"garbled.epub", Zip(root_ / "garbled.epub", garbled), msg::kProtectedDocumentSuffix},
      {"cut.epub", epub.substr(0, epub.size() / 2), msg::kBrokenDocumentSuffix},
      {"nopackage.epub", Zip(root_ / "b.epub", {{"mimetype", "application/epub+zip"}}), msg::kBrokenDocumentSuffix},
      {"locked.azw3", Mobi(MobiMarkup(), 2), msg::kProtectedDocumentSuffix},
      {"noise.mobi", std::string(300, 'x'), msg::kBrokenDocumentSuffix},
      {"deep.epub", Zip(root_ / "deep.epub", deep), msg::kBrokenDocumentSuffix},
      {"deep.fb2", fb2Deep, msg::kBrokenDocumentSuffix},
      {"built.fb2", fb2Built, msg::kBrokenDocumentSuffix},
      {"laughs.fb2", fb2Laughs, msg::kBrokenDocumentSuffix},
      {"other.fb2", "<?xml version=\"1.0\"?><html><body><p>x</p></body></html>", msg::kBrokenDocumentSuffix},
      {"scan.pdf", Pdf({}), msg::kNoTextDocumentSuffix},
      {"noise.pdf", "%PDF-1.4\nnothing here", msg::kBrokenDocumentSuffix},
      {"empty.md", " \n\t\r\n", msg::kNoTextDocumentSuffix},
      {"matter.md", "---\ntitle: 书名\n---\n", msg::kNoTextDocumentSuffix},
      {"program.md", "\x7F\x45LF" + std::string(64, '\x01'), msg::kBrokenDocumentSuffix},
      {"cut.docx", docx.substr(0, docx.size() / 2), msg::kBrokenDocumentSuffix},
      {"nobody.docx", Zip(root_ / "n.docx", {{"[Content_Types].xml", "<Types/>"}}), msg::kBrokenDocumentSuffix},
      {"empty.docx", Docx(root_ / "e.docx", "<w:p>" + WordRun(" ") + "</w:p>"), msg::kNoTextDocumentSuffix},
      {"locked.docx", encryptedDocx, msg::kProtectedDocumentSuffix},
      {"cut.odt", odt.substr(0, odt.size() / 2), msg::kBrokenDocumentSuffix},
      {"nocontent.odt", Zip(root_ / "n.odt", {{"mimetype", "application/vnd.oasis.opendocument.text"}}),
       msg::kBrokenDocumentSuffix},
      {"empty.odt", Odt(root_ / "e.odt", "<text:p> <text:s/></text:p>"), msg::kNoTextDocumentSuffix},
      {"locked.odt",
       Odt(root_ / "l.odt", "<text:p>x</text:p>",
           {"META-INF/manifest.xml",
            "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
            "<manifest:file-entry manifest:full-path=\"content.xml\"><manifest:encryption-data/>"
            "</manifest:file-entry></manifest:manifest>"}),
       msg::kProtectedDocumentSuffix},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ui_.messages.clear();
    const std::string path = Doc(c.name, c.bytes);
    Context ctx = Ctx();
    std::string sendPath;
    EXPECT_EQ(ConvertForSend(ctx, path, ClassifyName(c.name), sendPath), ConvertResult::kFailed);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, std::string(msg::kDocumentPrefix) + path + std::string(c.reason));
  }
}

// A word-processor document gives the text an EPUB of it would: headings and
// table rows as paragraphs, each line of a verse its own, notes after the
// paragraph that refers to them, Traditional text simplified; deleted text,
// field codes, comments and headers left out.
TEST_F(Books, OfficeDocumentsGiveTheTextAsAnEpubWould) {
  const std::string docx =
      Docx(root_ / "r.docx",
           R"(<w:p><w:pPr><w:pStyle w:val="Heading1"/></w:pPr><w:r><w:t>詩與歌</w:t></w:r></w:p>)"
           R"(<w:p><w:r><w:t>我們讀書</w:t></w:r><w:del><w:r><w:delText>刪去</w:delText></w:r>)"
           R"(</w:del><w:commentRangeStart w:id="0"/><w:r><w:t>，</w:t><w:fldChar )"
           R"(w:fldCharType="begin"/></w:r><w:r><w:instrText>HYPERLINK</w:instrText><w:t>代碼)"
           R"(</w:t><w:fldChar w:fldCharType="separate"/><w:t>他們</w:t></w:r><w:r><w:fldChar )"
           R"(w:fldCharType="end"/><w:t>寫字</w:t><w:commentReference w:id="0"/>)"
           R"(<w:footnoteReference w:id="2"/><w:t>。</w:t></w:r></w:p>)"
           R"(<w:tbl><w:tr><w:tc><w:p><w:r><w:t>姓名</w:t></w:r></w:p></w:tc><w:tc><w:p><w:r>)"
           R"(<w:t>國家</w:t></w:r></w:p></w:tc></w:tr><w:tr><w:tc><w:p><w:r><w:t>李白</w:t>)"
           R"(</w:r></w:p></w:tc><w:tc><w:p><w:r><w:t>唐國</w:t><w:endnoteReference w:id="2"/>)"
           R"(</w:r></w:p></w:tc></w:tr></w:tbl><w:p><w:r><w:t>床前明月光，</w:t><w:br/>)"
           R"(<w:t>疑是地上霜。</w:t><w:cr/><w:t>舉頭望明月，</w:t><w:br/><w:t>低頭思故鄉。</w:t>)"
           R"(</w:r></w:p>)",
           R"(<w:footnote w:id="2"><w:p><w:r><w:footnoteRef/><w:t>這是腳注。</w:t></w:r></w:p>)"
           R"(</w:footnote><w:endnote w:id="2"><w:p><w:r><w:t>見史書。</w:t></w:r></w:p></w:endnote>)");
  const std::string odt =
      Odt(root_ / "r.odt", R"(<text:tracked-changes><text:changed-region text:id="c"><text:deletion><text:p>刪去)"
                           R"(</text:p></text:deletion></text:changed-region></text:tracked-changes><text:h>詩與歌)"
                           R"(</text:h><text:p>我們讀書<text:change text:change-id="c"/>，<text:span>他們</text:span>)"
                           R"(寫字<office:annotation><dc:creator>某</dc:creator><text:p>評論</text:p>)"
                           R"(</office:annotation>。<text:note><text:note-citation>1</text:note-citation>)"
                           R"(<text:note-body><text:p>這是腳注。</text:p></text:note-body></text:note></text:p>)"
                           R"(<table:table><table:table-row><table:table-cell><text:p>姓名</text:p>)"
                           R"(</table:table-cell><table:table-cell><text:p>國家</text:p></table:table-cell>)"
                           R"(</table:table-row><table:table-row><table:table-cell><text:p>李白</text:p>)"
                           R"(</table:table-cell><table:table-cell><text:p>唐國<text:note><text:note-citation>i)"
                           R"(</text:note-citation><text:note-body><text:p>見史書。</text:p></text:note-body>)"
                           R"(</text:note></text:p></table:table-cell></table:table-row></table:table><text:p>)"
                           R"(床前明月光，<text:line-break/>疑是地上霜。<text:line-break/>舉頭望明月，)"
                           R"(<text:line-break/>低頭思故鄉。</text:p>)");
  // What an EPUB of the same text gives: a line break ends a row there too.
  const std::string text = GbkParagraphs({"诗与歌", "我们读书，他们写字。", "这是脚注。", "姓名 国家", "李白 唐国",
                                          "见史书。", "床前明月光，", "疑是地上霜。", "举头望明月，", "低头思故乡。"});
  for (const auto& [name, bytes] : {std::pair{"r.docx", docx}, std::pair{"r.odt", odt}}) {
    SCOPED_TRACE(name);
    Context ctx = Ctx();
    std::string sendPath;
    ASSERT_EQ(ConvertForSend(ctx, Doc(name, bytes), ClassifyName(name), sendPath), ConvertResult::kDone);
    const std::string rows = Checked(ReadFile(sendPath));
    EXPECT_EQ(rows, TextRows(text));
  }
}

// What md4c does not know is settled around it, and what it renders comes
// down to the text.
TEST_F(Books, MarkdownGivesOnlyItsText) {
  auto utf16le = [](const std::string& utf8) {
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
    std::string bytes = "\xFF\xFE";
    for (int32_t i = 0; i < text.length(); ++i)
      bytes += {static_cast<char>(text[i] & 0xFF), static_cast<char>(text[i] >> 8)};
    return bytes;
  };
  const struct {
    const char* what;
    std::string markdown;
    std::string text;
  } cases[] = {
      {"front matter", "---\ntitle: 书名\ntags: [a, b]\n---\n# 标题\n\n正文\n", GbkParagraphs({"标题", "正文"})},
      {"front matter ended by ..., CRLF", "---\r\ntitle: 书名\r\n...\r\n正文\r\n", GbkParagraphs({"正文"})},
      {"no front matter below the first line", "正文\n\n---\ntitle: 书名\n---\n",
       GbkParagraphs({"正文", "title: 书名"})},
      {"footnotes",
       "正文[^1][^]，再一句[^注]。\n[^1]: 第一条注。\n[^注]: 第二条\n  续行。\n\n    第二段\n    注。\n\n"
       "尾段\n\n    代码\n    一\n",
       GbkParagraphs({"正文[^]，再一句。", "第一条注。", "第二条续行。", "第二段注。", "尾段", "代码", "一"})},
      {"code keeps what looks like notes",
       "写作`[^1]`即可[^5]\n\n    [^6]: 码\n\n```md\n```js\n[^2]: 不是注\n第二行\n```\n[^3]: 注\n\n~~\n[^4]: 四\n",
       GbkParagraphs({"写作[^1]即可", "[^6]: 码", "```js", "[^2]: 不是注", "第二行", "注", "~~", "四"})},
      {"table", "| 名字 | 年龄 |\n|---|:-:|\n| 张三 | 18 |\n", GbkParagraphs({"名字 年龄", "张三 18"})},
      {"raw HTML",
       "<ruby>汉<rp>(</rp><rt>hàn</rt><rp>)</rp></ruby>字<span style=\"color:red\">红</span>\n\n"
       "<div>\n居中 < 2[^1]\n</div>\n",
       GbkParagraphs({"汉(hàn)字红", "居中 < 2"})},
      {"emphasis, links, lists, quotes",
       "> **粗**与*斜*、~~删~~\n\n- [链接](http://x.cn \"题\")与<http://y.cn>\n- ![图](a.png)项\n",
       GbkParagraphs({"粗与斜、删", "链接与http://y.cn", "项"})},
      {"Chinese wraps without a blank", "中文一行\n**接着**一行，English\nwords\n",
       GbkParagraphs({"中文一行接着一行，English words"})},
      {"GB18030", "\xB1\xEA\xCC\xE2\n==\n\n\xD5\xFD\xCE\xC4\x81\x39\xEE\x39\xD7\xD6\n",
       GbkParagraphs({"标题", "正文　字"})},
      {"Big5", "\xA4\xA4\xA4\xE5\xA1\x41\xA4\x40\xA4\x41\n", GbkParagraphs({"中文，一乙"})},
      {"UTF-16", utf16le("# 标题\n\n正文\n"), GbkParagraphs({"标题", "正文"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Context ctx = Ctx();
    std::string sendPath;
    ASSERT_EQ(ConvertForSend(ctx, Doc("notes.md", c.markdown), kMarkdown, sendPath), ConvertResult::kDone);
    const std::string rows = Checked(ReadFile(sendPath));
    EXPECT_EQ(rows, TextRows(c.text));
  }
}

}  // namespace
}  // namespace quirel::convert::testing
