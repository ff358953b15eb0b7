// A libxml2 document that frees itself, parsed from the bytes of an archive
// member: no network, no external entities, damaged markup recovered.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdint>
#include <memory>
#include <string>

namespace quirel::convert {

struct XmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDoc = std::unique_ptr<xmlDoc, XmlDocFree>;

// nullptr for empty or unreadable text.
inline XmlDoc ParseXml(const std::string& text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT32_MAX)) return nullptr;
  return XmlDoc(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_RECOVER));
}

}  // namespace quirel::convert
