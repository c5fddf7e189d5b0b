#pragma once

#include <libxml/tree.h>
#include <memory>
#include <string>
#include <string_view>

// XML documents as the channels plug-in keeps them: read with the encoding they declare, written in
// that encoding with CR LF line breaks, and replaced whole (a new file renamed over the old one).
namespace qm::skellow {

struct TXmlDocFree {
    void operator()(xmlDoc* doc) const noexcept { xmlFreeDoc(doc); }
};
using TXmlDoc = std::unique_ptr<xmlDoc, TXmlDocFree>;

// A new document with version "1.0", encoding "gb2312" and the root element rootName.
TXmlDoc NewGbDocument(const char* rootName);

// Loads fileName; raises corvane::ETax naming the file when it is missing, unreadable, not
// well-formed or has no root element.
TXmlDoc LoadXmlFile(const std::string& fileName);

// The document as bytes in its declared encoding ("gb2312" when it declares none), indented, with CR
// LF line breaks; characters the encoding lacks become character references.
std::string XmlFileBytes(xmlDoc* doc);

// Writes bytes to a new file beside fileName and renames it over fileName, so that a process killed
// at any moment leaves the old or the new content, never a part. `durable`: the content reaches the
// disk before the rename (for files whose loss on a power cut would matter). Raises corvane::ETax.
void ReplaceWholeFile(const std::string& fileName, std::string_view bytes, bool durable);

// The first child element of parent named name, or nullptr.
xmlNode* ChildElement(xmlNode* parent, const char* name);
// The text content of node ("" for nullptr).
std::string NodeText(const xmlNode* node);
// The attribute's value ("" when absent).
std::string Attribute(const xmlNode* node, const char* name);

} // namespace qm::skellow
