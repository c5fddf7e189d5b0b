#include "common/AppCatalog.h"

#include "common/Paths.h"
#include "common/XmlExternalContent.h"
#include "corvane/Errors.h"
#include "corvane/TextCase.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <memory>

namespace qm {

namespace {

struct TXmlDocFree {
    void operator()(xmlDoc* doc) const noexcept { xmlFreeDoc(doc); }
};

std::string Attribute(xmlNode* node, const char* name) {
    std::unique_ptr<xmlChar, decltype(xmlFree)> value(
        xmlGetProp(node, reinterpret_cast<const xmlChar*>(name)), xmlFree);
    return value ? reinterpret_cast<const char*>(value.get()) : std::string();
}

xmlNode* FindApp(xmlNode* node, const std::string& id) {
    for (; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        if (corvane::SameText(reinterpret_cast<const char*>(node->name), "app") &&
            corvane::SameText(Attribute(node, "id"), id))
            return node;
        if (xmlNode* found = FindApp(node->children, id))
            return found;
    }
    return nullptr;
}

} // namespace

std::optional<std::map<std::string, std::string>> FindAppRecord(const std::string& catalogueFile,
                                                                const std::string& id,
                                                                std::span<const char* const> fields,
                                                                const std::string& location) {
    if (!FileExists(catalogueFile))
        return std::nullopt;
    std::unique_ptr<xmlDoc, TXmlDocFree> doc(xmlReadFile(
        catalogueFile.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (doc && DeclaresExternalContent(doc.get()))
        throw corvane::EPlugin(
            corvane::FormatText("文件(%s)格式错误：%s", catalogueFile, "external content is refused"),
            location);
    if (!doc) {
        const xmlError* error = xmlGetLastError();
        throw corvane::EPlugin(corvane::FormatText("文件(%s)格式错误：%s", catalogueFile,
                                                   error && error->message ? error->message : ""),
                               location);
    }
    xmlNode* app = FindApp(xmlDocGetRootElement(doc.get()), id);
    if (app == nullptr)
        return std::nullopt;
    std::map<std::string, std::string> record;
    for (const char* field : fields)
        record[field] = Attribute(app, field);
    return record;
}

} // namespace qm
