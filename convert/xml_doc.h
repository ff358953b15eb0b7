// A libxml2 document that frees itself, parsed from the bytes of an archive
// member or a book: no network, damaged markup recovered. The entities the
// document declares itself are expanded, within libxml2's limits on how much
// they may grow; one that names a file stands for nothing and is never read,
// and neither is a DTD of another file.
#pragma once

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quirel::convert {

struct XmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDoc = std::unique_ptr<xmlDoc, XmlDocFree>;

struct XmlRead {
  XmlDoc doc;  // nullptr for empty or unreadable text
  // The parser gave up part way (elements nested too deep, entities growing
  // too much): doc holds only the start of the text.
  bool cut = false;
  // Well-formed, every entity declared and the whole text read: nothing in
  // doc was guessed.
  bool strict = false;
};

namespace xml_internal {

// As deep as libxml2 nests elements itself; entities could build deeper trees,
// which the recursive walks of the readers are not given.
inline constexpr int kMaxDepth = 256;

// An external entity is kept as an empty internal one: a reference to it is
// no error and gives nothing.
inline void DeclareEntity(void* ctx, const xmlChar* name, int type, const xmlChar* publicId, const xmlChar* systemId,
                          xmlChar* content) {
  xmlChar nothing[1] = {};
  if (type == XML_EXTERNAL_GENERAL_PARSED_ENTITY || type == XML_EXTERNAL_PARAMETER_ENTITY) {
    type = type == XML_EXTERNAL_GENERAL_PARSED_ENTITY ? XML_INTERNAL_GENERAL_ENTITY : XML_INTERNAL_PARAMETER_ENTITY;
    publicId = systemId = nullptr;
    content = nothing;
  }
  xmlSAX2EntityDecl(ctx, name, type, publicId, systemId, content);
}
inline void NoExternalSubset(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}
inline xmlParserInputPtr NoInput(void*, const xmlChar*, const xmlChar*) { return nullptr; }

// Whether the tree below node nests too deep, and whether a reference to an
// undeclared entity was left in it. Walked without recursion.
inline void Survey(const xmlNode* node, bool& tooDeep, bool& unresolved) {
  int depth = 1;  // of node
  while (node != nullptr) {
    if (node->type == XML_ENTITY_REF_NODE) unresolved = true;
    if (node->type == XML_ELEMENT_NODE) {
      if (depth > kMaxDepth) {
        tooDeep = true;
        return;
      }
      if (node->children != nullptr) {
        node = node->children;
        ++depth;
        continue;
      }
    }
    while (node != nullptr && node->next == nullptr) {
      node = node->parent;
      --depth;
    }
    if (node != nullptr) node = node->next;
  }
}

}  // namespace xml_internal

// encoding: the text's charset, or nullptr for the one its declaration names.
inline XmlRead ReadXml(std::string_view text, const char* encoding = nullptr) {
  XmlRead read;
  if (text.empty() || text.size() > static_cast<std::size_t>(INT32_MAX)) return read;
  const std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> ctxt(xmlNewParserCtxt(), xmlFreeParserCtxt);
  if (!ctxt || ctxt->sax == nullptr) return read;
  ctxt->sax->entityDecl = xml_internal::DeclareEntity;
  ctxt->sax->externalSubset = xml_internal::NoExternalSubset;
  ctxt->sax->resolveEntity = xml_internal::NoInput;
  // NOENT expands the entities; DeclareEntity sees that none is read from
  // outside.
  int options = XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_RECOVER;
  if (encoding != nullptr) options |= XML_PARSE_IGNORE_ENC;
  read.doc.reset(xmlCtxtReadMemory(ctxt.get(), text.data(), static_cast<int>(text.size()), nullptr, encoding, options));
  if (!read.doc) return read;
  // In recovery only stopping for good disables the callbacks.
  bool tooDeep = false, unresolved = false;
  xml_internal::Survey(xmlDocGetRootElement(read.doc.get()), tooDeep, unresolved);
  read.cut = ctxt->disableSAX != 0 || tooDeep;
  read.strict = !read.cut && ctxt->wellFormed != 0 && !unresolved;
  return read;
}

// nullptr for empty, unreadable or cut text.
inline XmlDoc ParseXml(const std::string& text) {
  XmlRead read = ReadXml(text);
  return read.cut ? nullptr : std::move(read.doc);
}

}  // namespace quirel::convert
