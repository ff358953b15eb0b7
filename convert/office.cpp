// Word-processor documents read directly: DOCX (word/document.xml with its
// footnotes and endnotes) and ODT (content.xml). Paragraphs and headings give
// paragraphs, a line break ends one as in a book's chapter, a table row gives
// one of its cells apart by a blank, and a note's paragraphs follow the
// paragraph that refers to it, without a marker. Deleted revisions, field
// codes, comments, headers and footers are left out.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "convert/book.h"
#include "convert/xml_doc.h"
#include "convert/zip_archive.h"

namespace quirel::convert {
namespace {

constexpr const char* kWordNs = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr const char* kWordStrictNs = "http://purl.oclc.org/ooxml/wordprocessingml/main";
constexpr const char* kCompatibilityNs = "http://schemas.openxmlformats.org/markup-compatibility/2006";
constexpr const char* kOfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr const char* kTextNs = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr const char* kTableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr const char* kSvgNs = "urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0";
constexpr const char* kManifestNs = "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0";

const char* Str(const xmlChar* s) { return reinterpret_cast<const char*>(s); }

const char* NamespaceOf(const xmlNode* node) {
  return node->ns != nullptr && node->ns->href != nullptr ? Str(node->ns->href) : "";
}

bool Is(const xmlNode* node, const char* ns, const char* name) {
  return node->type == XML_ELEMENT_NODE && std::strcmp(NamespaceOf(node), ns) == 0 &&
         std::strcmp(Str(node->name), name) == 0;
}

// An attribute in the element's own namespace, as both formats write them.
std::string OwnAttribute(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetNsProp(node, reinterpret_cast<const xmlChar*>(name), node->ns ? node->ns->href : nullptr);
  if (value == nullptr) return {};
  std::string text(Str(value));
  xmlFree(value);
  return text;
}

const xmlNode* Child(const xmlNode* node, const char* ns, const char* name) {
  for (const xmlNode* child = node != nullptr ? node->children : nullptr; child != nullptr; child = child->next)
    if (Is(child, ns, name)) return child;
  return nullptr;
}

BookStatus Status(ZipArchive::Read read) {
  return read == ZipArchive::Read::kEncrypted ? BookStatus::kProtected : BookStatus::kBroken;
}

// The text of a document's blocks in reading order. A block is a paragraph
// or a table row; nested ones (paragraphs of a cell, a table in a cell) run
// into the row around them.
class Gatherer {
 public:
  explicit Gatherer(Paragraphs& out) : out_(out) {}
  virtual ~Gatherer() = default;
  Gatherer(const Gatherer&) = delete;
  Gatherer& operator=(const Gatherer&) = delete;

  virtual void Walk(const xmlNode* node) = 0;

 protected:
  void Text(const char* text) {
    if (text != nullptr) text_ += text;
  }
  void Blank() { text_ += ' '; }
  // A line ends: in a table row the text goes on after a blank.
  void Break() {
    if (rows_ > 0) {
      Blank();
      return;
    }
    AddParagraph(out_, text_);
    text_.clear();
  }
  void Block(const xmlNode* node, bool row) {
    Break();
    ++open_;
    if (row) ++rows_;
    Walk(node->children);
    if (row) --rows_;
    --open_;
    Break();
    if (open_ > 0) return;
    // The notes referred to in the block, and those their own text refers to.
    ++open_;
    for (std::size_t i = 0; i < notes_.size(); ++i) {
      const xmlNode* note = notes_[i];
      Walk(note->children);
      Break();
    }
    --open_;
    notes_.clear();
  }
  void Note(const xmlNode* note) {
    if (note != nullptr) notes_.push_back(note);
  }
  bool InBlock() const { return open_ > 0; }

 private:
  Paragraphs& out_;
  std::string text_;
  int open_ = 0;
  int rows_ = 0;
  std::vector<const xmlNode*> notes_;
};

class DocxGatherer final : public Gatherer {
 public:
  DocxGatherer(Paragraphs& out, const char* ns) : Gatherer(out), ns_(ns) {}

  // The notes of a footnotes or endnotes part by their id; separators left out.
  void AddNotes(const xmlDoc* doc, const char* name) {
    auto& notes = std::strcmp(name, "footnote") == 0 ? footnotes_ : endnotes_;
    const xmlNode* root = xmlDocGetRootElement(doc);
    for (const xmlNode* note = root != nullptr ? root->children : nullptr; note != nullptr; note = note->next) {
      if (!Is(note, ns_, name)) continue;
      const std::string type = OwnAttribute(note, "type");
      if (type.empty() || type == "normal") notes.emplace(OwnAttribute(note, "id"), note);
    }
  }

  void Walk(const xmlNode* node) override {
    for (; node != nullptr; node = node->next) {
      if (node->type != XML_ELEMENT_NODE) continue;
      if (std::strcmp(NamespaceOf(node), ns_) != 0) {
        // A drawing's text boxes are read from the form Word prefers; the
        // older form beside it holds the same text again.
        if (!Is(node, kCompatibilityNs, "Fallback")) Walk(node->children);
        continue;
      }
      const char* name = Str(node->name);
      auto is = [name](const char* n) { return std::strcmp(name, n) == 0; };
      if (is("p")) {
        Block(node, false);
      } else if (is("tr")) {
        Block(node, true);
      } else if (is("fldChar")) {
        const std::string type = OwnAttribute(node, "fldCharType");
        if (type == "begin")
          fields_.push_back(true);
        else if (type == "separate" && !fields_.empty())
          fields_.back() = false;
        else if (type == "end" && !fields_.empty())
          fields_.pop_back();
      } else if (is("footnoteReference") || is("endnoteReference")) {
        auto& notes = is("footnoteReference") ? footnotes_ : endnotes_;
        // Each note once, however often it is referred to.
        if (const auto it = notes.find(OwnAttribute(node, "id")); it != notes.end()) {
          Note(it->second);
          notes.erase(it);
        }
      } else if (is("del") || is("moveFrom") || is("delText") || is("instrText") || is("pPr") || is("rPr") ||
                 is("sectPr")) {
        // deleted or moved-away revisions, field codes, properties
      } else if (is("t") || is("tab") || is("ptab") || is("br") || is("cr") || is("noBreakHyphen")) {
        if (!InFieldCode()) Run(node);
      } else {
        Walk(node->children);  // runs, hyperlinks, inserted revisions, content controls, text boxes
      }
    }
  }

 private:
  // What a run holds, outside a field's code.
  void Run(const xmlNode* node) {
    const char* name = Str(node->name);
    if (std::strcmp(name, "t") == 0) {
      xmlChar* text = xmlNodeGetContent(node);
      Text(Str(text));
      xmlFree(text);
    } else if (std::strcmp(name, "br") == 0 || std::strcmp(name, "cr") == 0) {
      Break();
    } else if (std::strcmp(name, "noBreakHyphen") == 0) {
      Text("-");
    } else {
      Blank();  // a tab
    }
  }
  bool InFieldCode() const {
    for (const bool code : fields_)
      if (code) return true;
    return false;
  }

  const char* ns_;
  std::map<std::string, const xmlNode*> footnotes_, endnotes_;
  std::vector<bool> fields_;  // open fields, inner last: true while in the code
};

class OdtGatherer final : public Gatherer {
 public:
  using Gatherer::Gatherer;

  void Walk(const xmlNode* node) override {
    for (; node != nullptr; node = node->next) {
      if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
        if (InBlock()) Text(Str(node->content));
        continue;
      }
      if (node->type != XML_ELEMENT_NODE) continue;
      const char* ns = NamespaceOf(node);
      const char* name = Str(node->name);
      auto is = [name](const char* n) { return std::strcmp(name, n) == 0; };
      const std::size_t length = std::strlen(name);
      if (std::strcmp(ns, kTextNs) == 0) {
        if (is("p") || is("h")) {
          Block(node, false);
        } else if (is("s") || is("tab")) {
          Blank();  // the layout folds blanks anyway, however many text:c asks for
        } else if (is("line-break")) {
          Break();
        } else if (is("note")) {
          Note(Child(node, kTextNs, "note-body"));
        } else if (!is("tracked-changes") && !is("number") &&
                   !(length > 7 && std::strcmp(name + length - 7, "-source") == 0)) {
          // not deleted text, list labels or the templates of an index
          Walk(node->children);
        }
      } else if (std::strcmp(ns, kTableNs) == 0) {
        if (is("table-row"))
          Block(node, true);
        else
          Walk(node->children);  // cells: their paragraphs run into the row
      } else if (!Is(node, kOfficeNs, "annotation") && !Is(node, kSvgNs, "title") && !Is(node, kSvgNs, "desc")) {
        Walk(node->children);
      }
    }
  }
};

// An encrypted OOXML document is no zip archive but a compound file that
// holds the encrypted package.
bool EncryptedCompoundFile(std::string_view bytes) {
  static constexpr std::string_view kSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  static constexpr std::string_view kStream("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
  return bytes.starts_with(kSignature) && bytes.find(kStream) != std::string_view::npos;
}

}  // namespace

BookStatus ReadDocx(std::string_view bytes, Paragraphs& out) {
  if (EncryptedCompoundFile(bytes)) return BookStatus::kProtected;
  const ZipArchive zip(bytes);
  if (!zip.ok()) return BookStatus::kBroken;
  std::string text;
  if (const auto read = zip.Get("word/document.xml", text); read != ZipArchive::Read::kOk) return Status(read);
  const XmlDoc document = ParseXml(text);
  const xmlNode* root = document ? xmlDocGetRootElement(document.get()) : nullptr;
  if (root == nullptr) return BookStatus::kBroken;
  const char* ns = NamespaceOf(root);
  if (std::strcmp(ns, kWordNs) != 0 && std::strcmp(ns, kWordStrictNs) != 0) return BookStatus::kBroken;
  const xmlNode* body = Child(root, ns, "body");
  if (body == nullptr) return BookStatus::kBroken;

  DocxGatherer gatherer(out, ns);
  XmlDoc notes[2];
  const char* const parts[2][2] = {{"word/footnotes.xml", "footnote"}, {"word/endnotes.xml", "endnote"}};
  for (int i = 0; i < 2; ++i) {
    const auto read = zip.Get(parts[i][0], text);
    if (read == ZipArchive::Read::kMissing) continue;
    if (read != ZipArchive::Read::kOk) return Status(read);
    notes[i] = ParseXml(text);
    if (notes[i]) gatherer.AddNotes(notes[i].get(), parts[i][1]);
  }
  gatherer.Walk(body->children);
  return BookStatus::kOk;
}

BookStatus ReadOdt(std::string_view bytes, Paragraphs& out) {
  const ZipArchive zip(bytes);
  if (!zip.ok()) return BookStatus::kBroken;
  std::string text;
  // A document saved with a password lists how each part is encrypted.
  if (zip.Get("META-INF/manifest.xml", text) == ZipArchive::Read::kOk) {
    const XmlDoc manifest = ParseXml(text);
    const xmlNode* root = manifest ? xmlDocGetRootElement(manifest.get()) : nullptr;
    for (const xmlNode* entry = root != nullptr ? root->children : nullptr; entry != nullptr; entry = entry->next)
      if (Is(entry, kManifestNs, "file-entry") && OwnAttribute(entry, "full-path") == "content.xml" &&
          Child(entry, kManifestNs, "encryption-data") != nullptr)
        return BookStatus::kProtected;
  }
  if (const auto read = zip.Get("content.xml", text); read != ZipArchive::Read::kOk) return Status(read);
  const XmlDoc content = ParseXml(text);
  const xmlNode* root = content ? xmlDocGetRootElement(content.get()) : nullptr;
  const xmlNode* body = Child(Child(root, kOfficeNs, "body"), kOfficeNs, "text");
  if (body == nullptr) return BookStatus::kBroken;
  OdtGatherer gatherer(out);
  gatherer.Walk(body->children);
  return BookStatus::kOk;
}

}  // namespace quirel::convert
