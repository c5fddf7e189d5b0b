#include "login/UserList.h"

#include "common/FileReplace.h"
#include "common/Paths.h"
#include "common/XmlConfig.h"
#include "common/XmlExternalContent.h"
#include "corvane/Errors.h"
#include "corvane/TextCase.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <new>
#include <system_error>

namespace qm {

namespace {

using TDocPtr = TXmlConfig::TDocPtr;

constexpr const char* kRecordLocation = "RecordUser(const UserName: string)";

const xmlChar* XmlText(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

TDocPtr LoadUsers(const std::string& fileName) {
    if (!FileExists(fileName))
        return nullptr;
    TDocPtr doc(xmlReadFile(ToNativePath(fileName).c_str(), nullptr,
                            XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS));
    // A list that refers to external content does not load: it is read as empty and left as it is.
    if (doc && DeclaresExternalContent(doc.get()))
        return nullptr;
    return doc;
}

xmlNode* Child(const xmlNode* parent, const char* name) {
    if (parent == nullptr)
        return nullptr;
    for (xmlNode* child = parent->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && xmlStrcmp(child->name, XmlText(name)) == 0)
            return child;
    }
    return nullptr;
}

std::string Text(const xmlNode* node) {
    if (node == nullptr)
        return {};
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return text;
}

xmlNode* Root(const TDocPtr& doc) {
    return doc ? xmlDocGetRootElement(doc.get()) : nullptr;
}

void AddTextChild(xmlNode* parent, const char* name, const std::string& text) {
    if (!xmlNewTextChild(parent, nullptr, XmlText(name), XmlText(text.c_str())))
        throw std::bad_alloc();
}

xmlNode* NewUser(xmlDoc* doc, const std::string& userName, const std::string& loginTime) {
    xmlNode* user = xmlNewDocNode(doc, nullptr, XmlText("User"), nullptr);
    if (!user)
        throw std::bad_alloc();
    AddTextChild(user, "Name", userName);
    AddTextChild(user, "LoginTime", loginTime);
    AddTextChild(user, "PicPath", "");
    return user;
}

TDocPtr NewUsersDocument(const std::string& userName, const std::string& loginTime) {
    TDocPtr doc(xmlNewDoc(XmlText("1.0")));
    xmlNode* root = doc ? xmlNewDocNode(doc.get(), nullptr, XmlText("Root"), nullptr) : nullptr;
    if (!root)
        throw std::bad_alloc();
    xmlDocSetRootElement(doc.get(), root);
    xmlNode* list = xmlNewChild(root, nullptr, XmlText("UserList"), nullptr);
    xmlNode* last = xmlNewChild(root, nullptr, XmlText("LastUser"), nullptr);
    if (!list || !last)
        throw std::bad_alloc();
    xmlAddChild(list, NewUser(doc.get(), userName, loginTime));
    AddTextChild(last, "Name", userName);
    return doc;
}

// Always GB2312, as the file has always been; characters outside it become character references.
void SaveUsers(xmlDoc* doc, const std::string& fileName) {
    xmlChar* bytes = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &bytes, &size, "GB2312", 1);
    if (bytes == nullptr || size <= 0) {
        xmlFree(bytes);
        throw corvane::ETax(corvane::FormatText("Cannot write file \"%s\"", fileName), kRecordLocation);
    }
    const std::string content(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
    xmlFree(bytes);
    if (const auto failure = ReplaceFileContent(ResolvedTarget(ToNativePath(fileName)), content))
        throw corvane::ETax(corvane::FormatText("Cannot write file \"%s\". %s", fileName,
                                                std::system_category().message(failure->error)),
                            kRecordLocation);
}

} // namespace

std::vector<std::string> ReadRememberedUsers(const std::string& fileName) {
    const TDocPtr doc = LoadUsers(fileName);
    std::vector<std::string> names;
    const xmlNode* list = Child(Root(doc), "UserList");
    for (const xmlNode* user = list ? list->children : nullptr; user; user = user->next) {
        if (user->type == XML_ELEMENT_NODE && xmlStrcmp(user->name, XmlText("User")) == 0)
            names.push_back(Text(Child(user, "Name")));
    }
    return names;
}

std::string ReadLastUser(const std::string& fileName) {
    const TDocPtr doc = LoadUsers(fileName);
    return Text(Child(Child(Root(doc), "LastUser"), "Name"));
}

void RecordUser(const std::string& fileName, const std::string& userName, const std::string& loginTime) {
    if (userName.empty())
        return;
    if (!FileExists(fileName)) {
        const TDocPtr doc = NewUsersDocument(userName, loginTime);
        SaveUsers(doc.get(), fileName);
        return;
    }
    const TDocPtr doc = LoadUsers(fileName);
    xmlNode* root = Root(doc);
    if (root == nullptr)
        return;
    xmlNode* lastName = Child(Child(root, "LastUser"), "Name");
    if (corvane::LowerAscii(Text(lastName)) == userName)
        return;
    xmlNode* list = Child(root, "UserList");
    if (list == nullptr)
        return;
    if (lastName != nullptr) {
        // Added as text, never parsed for entity references.
        xmlNodeSetContent(lastName, nullptr);
        xmlNodeAddContent(lastName, XmlText(userName.c_str()));
    }
    for (xmlNode* user = list->children; user; user = user->next) {
        if (user->type == XML_ELEMENT_NODE && xmlStrcmp(user->name, XmlText("User")) == 0 &&
            Text(Child(user, "Name")) == userName) {
            xmlUnlinkNode(user);
            xmlFreeNode(user);
            break;
        }
    }
    xmlNode* fresh = NewUser(doc.get(), userName, loginTime);
    if (list->children != nullptr)
        xmlAddPrevSibling(list->children, fresh);
    else
        xmlAddChild(list, fresh);
    SaveUsers(doc.get(), fileName);
}

} // namespace qm
