#include "skellow/UsageJson.h"

#include "corvane/Errors.h"
#include "skellow/XmlFile.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

namespace qm::skellow {

namespace {

using Json = nlohmann::ordered_json;

bool Named(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE &&
           xmlStrcmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0;
}

// Elements that are lists however many they hold.
bool IsList(const xmlNode* node) {
    return Named(node, "FOperationDays") || Named(node, "FFunctions");
}

bool HasElementChildren(const xmlNode* node) {
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            return true;
    }
    return false;
}

Json ElementValue(const xmlNode* node);

const xmlNode* ChildNamed(const xmlNode* node, const std::string& name) {
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (Named(child, name.c_str()))
            return child;
    }
    return node;
}

// Attributes as string members, then the child elements: lists always as arrays, a second child of
// another name turns its member into an array.
Json ElementObject(const xmlNode* node) {
    Json object = Json::object();
    for (const xmlAttr* attribute = node->properties; attribute; attribute = attribute->next)
        object[reinterpret_cast<const char*>(attribute->name)] =
            Attribute(node, reinterpret_cast<const char*>(attribute->name));
    // Children grouped by name, in the order their names first appear.
    std::vector<std::pair<std::string, Json>> groups;
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        const std::string name = reinterpret_cast<const char*>(child->name);
        auto group =
            std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == name; });
        if (group == groups.end())
            group = groups.insert(groups.end(), {name, Json::array()});
        group->second.push_back(ElementValue(child));
    }
    for (auto& [name, values] : groups) {
        const bool list = values.size() > 1 || IsList(ChildNamed(node, name));
        object[name] = list ? values : values.front();
    }
    return object;
}

Json ElementValue(const xmlNode* node) {
    if (node->properties == nullptr && !HasElementChildren(node) && !IsList(node))
        return NodeText(node);
    return ElementObject(node);
}

} // namespace

std::string StatisticsJson(xmlDoc* doc) {
    xmlNode* root = xmlDocGetRootElement(doc);
    Json data = Json::array();
    for (const xmlNode* child = root ? root->children : nullptr; child; child = child->next) {
        if (Named(child, "Data"))
            data.push_back(ElementObject(child));
    }
    if (data.empty())
        throw corvane::ETax("统计文件没有Data元素", "StatisticsJson");
    const Json& content = data.size() == 1 ? data.front() : data;
    return content.dump(-1, ' ', false, Json::error_handler_t::replace);
}

} // namespace qm::skellow
