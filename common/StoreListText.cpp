#include "common/StoreListText.h"

#include "common/SignedKinds.h"
#include "common/XmlExternalContent.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <memory>

namespace qm {

namespace {

struct TXmlDocFree {
    void operator()(xmlDoc* doc) const noexcept { xmlFreeDoc(doc); }
};

bool IsAppElement(const xmlNode* node) {
    const std::string name = reinterpret_cast<const char*>(node->name);
    if (name.size() != 3)
        return false;
    for (std::size_t i = 0; i < 3; ++i) {
        const char c = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] - 'A' + 'a') : name[i];
        if (c != "app"[i])
            return false;
    }
    return true;
}

std::string Attribute(xmlNode* node, const char* name) {
    std::unique_ptr<xmlChar, decltype(xmlFree)> value(
        xmlGetProp(node, reinterpret_cast<const xmlChar*>(name)), xmlFree);
    return value ? reinterpret_cast<const char*>(value.get()) : std::string();
}

void CollectEntries(xmlNode* node, std::vector<TStoreEntry>& entries) {
    for (; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        if (IsAppElement(node))
            entries.push_back({Attribute(node, "id"), Attribute(node, "url"), Attribute(node, "ver"),
                               Attribute(node, "params"), Attribute(node, "name"),
                               Attribute(node, "sha256")});
        CollectEntries(node->children, entries);
    }
}

void AppendField(std::string& text, const char* name, const std::string& value) {
    text += name;
    text += ' ';
    text += std::to_string(value.size());
    text += ' ';
    text += value;
    text += '\n';
}

} // namespace

TResult<std::vector<TStoreEntry>> ReadStoreEntries(const std::string& file) {
    std::unique_ptr<xmlDoc, TXmlDocFree> doc(
        xmlReadFile(file.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc) {
        const xmlError* error = xmlGetLastError();
        return Failure(error && error->message ? error->message : "the file cannot be read");
    }
    if (DeclaresExternalContent(doc.get()))
        return Failure("external content is refused");
    std::vector<TStoreEntry> entries;
    CollectEntries(xmlDocGetRootElement(doc.get()), entries);
    return entries;
}

std::string StoreSignedText(const std::vector<TStoreEntry>& entries) {
    std::string text(kStoreListContext);
    for (const TStoreEntry& entry : entries) {
        text += "app\n";
        AppendField(text, "id", entry.id);
        AppendField(text, "url", entry.url);
        AppendField(text, "ver", entry.ver);
        AppendField(text, "params", entry.params);
        AppendField(text, "name", entry.name);
        AppendField(text, "sha256", entry.sha256);
    }
    return text;
}

} // namespace qm
