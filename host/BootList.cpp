#include "host/BootList.h"

#include "common/Paths.h"
#include "common/XmlExternalContent.h"
#include "corvane/Errors.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <memory>

namespace qm {

namespace {
struct TXmlDocFree {
    void operator()(xmlDoc* doc) const noexcept { xmlFreeDoc(doc); }
};
} // namespace

std::vector<std::string> ReadBootList(const std::string& bootFile) {
    std::unique_ptr<xmlDoc, TXmlDocFree> doc(
        xmlReadFile(bootFile.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (doc && DeclaresExternalContent(doc.get()))
        throw corvane::ETax(
            corvane::FormatText("文件(%s)格式错误：%s", bootFile, "external content is refused"),
            "TFrmDesk.BootScripts");
    xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (root == nullptr) {
        const xmlError* error = xmlGetLastError();
        throw corvane::ETax(corvane::FormatText("文件(%s)格式错误：%s", bootFile,
                                                error && error->message ? error->message : ""),
                            "TFrmDesk.BootScripts");
    }
    std::vector<std::string> files;
    for (xmlNode* child = root->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        std::unique_ptr<xmlChar, decltype(xmlFree)> file(
            xmlGetProp(child, reinterpret_cast<const xmlChar*>("file")), xmlFree);
        files.push_back(ExpandPath(AppPath(), file ? reinterpret_cast<const char*>(file.get()) : ""));
    }
    return files;
}

} // namespace qm
