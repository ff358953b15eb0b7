// EPUB 2 and 3: the container names the package, the package's spine gives
// the chapters in reading order, and each chapter's markup gives paragraphs.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstring>
#include <map>
#include <memory>

#include "convert/book.h"
#include "convert/xml_doc.h"
#include "convert/encoding.h"
#include "convert/zip_archive.h"

namespace quirel::convert {
namespace {

bool Named(const xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::string Attribute(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr) return {};
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

// Every element of the given local name below node, in document order.
template <typename F>
void ForEach(const xmlNode* node, const char* name, F&& f) {
  for (; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    if (Named(node, name)) f(node);
    ForEach(node->children, name, f);
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A reference of the package resolved against the package's folder: the
// fragment dropped, %-escapes decoded, "." and ".." folded.
std::string Resolve(const std::string& base, const std::string& href) {
  std::string path = href.substr(0, href.find('#'));
  std::string decoded;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '%' && i + 2 < path.size() && HexValue(path[i + 1]) >= 0 && HexValue(path[i + 2]) >= 0) {
      decoded += static_cast<char>(HexValue(path[i + 1]) * 16 + HexValue(path[i + 2]));
      i += 2;
    } else {
      decoded += path[i];
    }
  }
  std::vector<std::string> parts;
  const std::string full = decoded.rfind('/', 0) == 0 ? decoded.substr(1) : base + decoded;
  std::size_t start = 0;
  while (start <= full.size()) {
    const std::size_t slash = std::min(full.find('/', start), full.size());
    const std::string part = full.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : "/") + part;
  return joined;
}

// Encryption other than the obfuscation of embedded fonts means the text
// cannot be read.
bool Protected(const ZipArchive& zip) {
  std::string text;
  if (zip.Get("META-INF/encryption.xml", text) != ZipArchive::Read::kOk) return false;
  const XmlDoc doc = ParseXml(text);
  if (!doc) return true;
  bool locked = false;
  ForEach(xmlDocGetRootElement(doc.get()), "EncryptionMethod", [&](const xmlNode* method) {
    const std::string algorithm = Attribute(method, "Algorithm");
    if (algorithm != "http://www.idpf.org/2008/embedding" && algorithm != "http://ns.adobe.com/pdf/enc#RC")
      locked = true;
  });
  return locked;
}

// A chapter's paragraphs; false when the parser gave up on it part way.
bool ChapterParagraphs(const std::string& markup, Paragraphs& out) {
  // Read as the XML it should be: its own entities expanded, its DTD no text.
  const XmlRead xml = ReadXml(markup, "UTF-8");
  const xmlDtd* dtd = xml.doc ? xml.doc->intSubset : nullptr;
  // The HTML parser knows nothing of a DTD: a chapter that declares entities
  // is read as XML even when damaged.
  if (xml.strict || (dtd != nullptr && dtd->children != nullptr)) {
    if (xml.cut) return false;
    MarkupParagraphs(xmlDocGetRootElement(xml.doc.get()), out);
    return true;
  }
  // Other markup short of XHTML (HTML's entity names, tags left open) as a
  // browser reads it.
  return MarkupParagraphs(markup, "UTF-8", out);
}

BookStatus Status(ZipArchive::Read read) {
  return read == ZipArchive::Read::kEncrypted ? BookStatus::kProtected : BookStatus::kBroken;
}

}  // namespace

BookStatus ReadEpub(std::string_view bytes, Paragraphs& out) {
  const ZipArchive zip(bytes);
  if (!zip.ok()) return BookStatus::kBroken;
  if (Protected(zip)) return BookStatus::kProtected;

  std::string text;
  if (const auto read = zip.Get("META-INF/container.xml", text); read != ZipArchive::Read::kOk) return Status(read);
  const XmlDoc container = ParseXml(text);
  if (!container) return BookStatus::kBroken;
  std::string packagePath;
  ForEach(xmlDocGetRootElement(container.get()), "rootfile", [&](const xmlNode* rootfile) {
    const std::string type = Attribute(rootfile, "media-type");
    if (packagePath.empty() && (type.empty() || type == "application/oebps-package+xml"))
      packagePath = Attribute(rootfile, "full-path");
  });
  if (packagePath.empty()) return BookStatus::kBroken;

  if (const auto read = zip.Get(packagePath, text); read != ZipArchive::Read::kOk) return Status(read);
  const XmlDoc package = ParseXml(text);
  if (!package) return BookStatus::kBroken;
  const std::string base = packagePath.substr(0, packagePath.rfind('/') + 1);
  const xmlNode* root = xmlDocGetRootElement(package.get());

  struct Item {
    std::string path;
    std::string type;
  };
  std::map<std::string, Item> manifest;
  ForEach(root, "item", [&](const xmlNode* item) {
    manifest[Attribute(item, "id")] = Item{Resolve(base, Attribute(item, "href")), Attribute(item, "media-type")};
  });
  std::vector<std::string> spine;
  ForEach(root, "itemref", [&](const xmlNode* itemref) { spine.push_back(Attribute(itemref, "idref")); });
  if (spine.empty()) return BookStatus::kBroken;

  std::size_t counted = out.size(), textSize = 0;
  for (const std::string& id : spine) {
    const auto item = manifest.find(id);
    if (item == manifest.end()) continue;  // a dangling reference loses nothing that exists
    const std::string& type = item->second.type;
    if (type != "application/xhtml+xml" && type != "text/html" && type != "application/x-dtbook+xml") continue;
    // Markup takes more bytes than its text, though not many times more.
    const auto read = zip.Get(item->second.path, text, 4 * kMaxBookText);
    if (read == ZipArchive::Read::kMissing) continue;
    if (read != ZipArchive::Read::kOk) return Status(read);
    // Chapters are UTF-8 or UTF-16.
    const TextCoding coding = DetectCoding(std::string_view(text).substr(0, 4096));
    if (coding == TextCoding::kUtf16Le || coding == TextCoding::kUtf16Be) text = ToUtf8(text, coding);
    // What follows a point the parser gave up at is lost: a damaged book.
    const bool whole = type == "text/html" ? MarkupParagraphs(text, "UTF-8", out) : ChapterParagraphs(text, out);
    if (!whole) return BookStatus::kBroken;
    for (; counted < out.size(); ++counted) textSize += out[counted].size() + 1;
    if (textSize > kMaxBookText) return BookStatus::kBroken;
  }
  return BookStatus::kOk;
}

}  // namespace quirel::convert
