#include "tools/tolva/EntryPath.h"

#include <string_view>
#include <vector>

namespace qm::tolva {

namespace {

std::vector<std::string_view> Parts(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const auto slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

} // namespace

std::string RefuseName(const std::string& name) {
    if (name.empty())
        return "the entry has no name";
    if (name.front() == '/')
        return "absolute path";
    if (name.find('\\') != std::string::npos)
        return "backslash in the name";
    for (const std::string_view part : Parts(name)) {
        if (part == "..")
            return "\"..\" in the path";
    }
    return "";
}

std::string RefuseLinkTarget(const std::string& linkName, const std::string& target) {
    if (target.empty())
        return "link without a target";
    if (target.front() == '/')
        return "link to an absolute path";
    // Depth below the extraction folder, starting in the folder that holds the link.
    std::vector<std::string_view> folder = Parts(linkName);
    if (!folder.empty())
        folder.pop_back();
    std::size_t depth = folder.size();
    for (const std::string_view part : Parts(target)) {
        if (part != "..") {
            ++depth;
            continue;
        }
        if (depth == 0)
            return "link pointing outside the folder";
        --depth;
    }
    return "";
}

} // namespace qm::tolva
