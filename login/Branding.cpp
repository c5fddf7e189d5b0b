#include "login/Branding.h"

#include "common/Paths.h"
#include "common/XmlConfig.h"
#include "common/XmlExternalContent.h"
#include "corvane/Errors.h"
#include "corvane/TextCase.h"

#include <libxml/parser.h>

namespace qm {

namespace {

constexpr const char* kLocation = "ReadBrandingAddress(const NodeName: string): string";

// The element's own text; nested elements do not count.
const xmlNode* FindElement(const xmlNode* parent, const char* name) {
    for (const xmlNode* child = parent->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        if (corvane::SameText(reinterpret_cast<const char*>(child->name), name))
            return child;
        if (const xmlNode* found = FindElement(child, name))
            return found;
    }
    return nullptr;
}

} // namespace

std::string ExpandAddressEscape(std::string address) {
    const auto escape = address.find("\\yu");
    if (escape == std::string::npos)
        return address;
    return address.substr(0, escape) + '&' + address.substr(escape + 3);
}

std::string ReadBrandingAddress(const std::string& nodeName) {
    TXmlConfig branding;
    if (!OpenBrandingFile(branding))
        throw corvane::ETax(corvane::FormatText("配置文件(%s)不存在", BrandingFile()), kLocation);
    return ExpandAddressEscape(branding.ReadString(nodeName));
}

std::optional<std::string> FindBrandingAddress(const std::string& nodeName) {
    TXmlConfig branding;
    try {
        if (!OpenBrandingFile(branding))
            return std::nullopt;
    } catch (const corvane::ETax&) {
        return std::nullopt; // written to the log by the reader
    }
    const std::string address = branding.ReadString(nodeName);
    if (address.empty())
        return std::nullopt;
    return ExpandAddressEscape(address);
}

std::string ReadBrandingSourceId() {
    const std::string file = BrandingFile();
    if (!FileExists(file))
        return {};
    const TXmlConfig::TDocPtr doc(
        xmlReadFile(file.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    const xmlNode* root =
        doc && !DeclaresExternalContent(doc.get()) ? xmlDocGetRootElement(doc.get()) : nullptr;
    const xmlNode* found = root ? FindElement(root, "SoureId") : nullptr;
    if (!found)
        return {};
    xmlChar* content = xmlNodeGetContent(found);
    std::string text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return text;
}

} // namespace qm
