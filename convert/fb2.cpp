// FictionBook 2: the text of every <body> (the notes included), a paragraph
// per <p>, verse line, subtitle or author line; the description and the
// pictures give nothing. A zipped book (".fb2.zip") is read from its first
// ".fb2" member.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstring>
#include <memory>

#include "convert/book.h"
#include "convert/xml_doc.h"
#include "convert/zip_archive.h"

namespace quirel::convert {
namespace {

bool Named(const xmlNode* node, std::initializer_list<const char*> names) {
  if (node->type != XML_ELEMENT_NODE) return false;
  for (const char* name : names)
    if (std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0) return true;
  return false;
}

void AllText(const xmlNode* node, std::string& text) {
  for (; node != nullptr; node = node->next) {
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
      if (node->content != nullptr) text += reinterpret_cast<const char*>(node->content);
    } else if (node->type == XML_ELEMENT_NODE && !Named(node, {"image", "binary"})) {
      AllText(node->children, text);
    }
  }
}

void WalkBody(const xmlNode* node, Paragraphs& out) {
  for (; node != nullptr; node = node->next) {
    if (node->type == XML_TEXT_NODE) {
      // Text straight inside a section: kept, though the format puts it in <p>.
      if (node->content != nullptr) AddParagraph(out, reinterpret_cast<const char*>(node->content));
      continue;
    }
    if (node->type != XML_ELEMENT_NODE || Named(node, {"image", "binary"})) continue;
    if (Named(node, {"p", "v", "subtitle", "text-author", "td", "th"})) {
      std::string text;
      AllText(node->children, text);
      AddParagraph(out, text);
      continue;
    }
    WalkBody(node->children, out);
  }
}

bool EndsWithFb2(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return tail == ".fb2";
}

}  // namespace

BookStatus ReadFb2(std::string_view bytes, Paragraphs& out) {
  std::string unzipped;
  if (bytes.substr(0, 4) == std::string_view("PK\x03\x04", 4)) {
    const ZipArchive zip(bytes);
    if (!zip.ok()) return BookStatus::kBroken;
    std::string member;
    for (const std::string& name : zip.Names()) {
      if (!EndsWithFb2(name)) continue;
      member = name;
      break;
    }
    if (member.empty()) return BookStatus::kBroken;
    const auto read = zip.Get(member, unzipped);
    if (read != ZipArchive::Read::kOk)
      return read == ZipArchive::Read::kEncrypted ? BookStatus::kProtected : BookStatus::kBroken;
    bytes = unzipped;
  }
  // The declaration names the charset (often windows-1251). A book the
  // parser gave up on part way is as damaged as a cut file.
  const XmlRead parsed = ReadXml(bytes);
  if (!parsed.doc || parsed.cut) return BookStatus::kBroken;
  const xmlNode* root = xmlDocGetRootElement(parsed.doc.get());
  if (root == nullptr || !Named(root, {"FictionBook"})) return BookStatus::kBroken;
  for (const xmlNode* child = root->children; child != nullptr; child = child->next)
    if (Named(child, {"body"})) WalkBody(child->children, out);
  return BookStatus::kOk;
}

}  // namespace quirel::convert
