#include "skellow/CatalogueRefresh.h"

#include "common/ServiceCall.h"
#include "corvane/TextCase.h"
#include "skellow/XmlFile.h"

namespace qm::skellow {

namespace {

const xmlChar* X(const std::string& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

xmlNode* FirstEntry(xmlNode* root, const std::string& productCode) {
    for (xmlNode* group = root->children; group; group = group->next) {
        if (group->type != XML_ELEMENT_NODE)
            continue;
        for (xmlNode* entry = group->children; entry; entry = entry->next) {
            if (entry->type == XML_ELEMENT_NODE && corvane::SameText(Attribute(entry, "key"), productCode))
                return entry;
        }
    }
    return nullptr;
}

} // namespace

void RefreshCatalogue(const std::string& fileName, IBrennikApi& api) {
    TXmlDoc catalogue = LoadXmlFile(fileName);
    // The service may be slow: the desk keeps painting meanwhile.
    std::unique_ptr<IServiceList> services;
    RunServiceCallHoldingInput(
        [&api, &services] { services = api.findMainServiceTypeList("Dunmo税务", "9.0"); });
    if (!services)
        return;
    const int size = services->Size();
    xmlNode* root = xmlDocGetRootElement(catalogue.get());
    for (int i = 1; i <= size; ++i) {
        const std::unique_ptr<IServiceEntry> service = services->item(i);
        const std::string productCode = service->value("productCode");
        const std::string storeUrl = service->value("storeUrl");
        std::string price = service->value("price");
        if (price == "0")
            price = "免费";
        if (xmlNode* entry = FirstEntry(root, productCode)) {
            xmlSetProp(entry, reinterpret_cast<const xmlChar*>("intro_url"), X(storeUrl));
            xmlSetProp(entry, reinterpret_cast<const xmlChar*>("price_desc"), X(price));
        }
    }
    if (size > 0)
        ReplaceWholeFile(fileName, XmlFileBytes(catalogue.get()), true);
}

} // namespace qm::skellow
