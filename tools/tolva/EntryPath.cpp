#include "tools/tolva/EntryPath.h"

#include <cstdio>

namespace qm::tolva {

std::vector<std::string> PathParts(std::string_view path) {
    std::vector<std::string> parts;
    while (!path.empty()) {
        const auto slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty() && part != ".")
            parts.emplace_back(part);
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

std::string NormalizedName(std::string_view path) {
    std::string name;
    for (const std::string& part : PathParts(path)) {
        if (!name.empty())
            name += '/';
        name += part;
    }
    return name;
}

std::string RefuseName(const std::string& name) {
    if (name.empty())
        return "the entry has no name";
    if (name.front() == '/')
        return "absolute path";
    if (name.find('\\') != std::string::npos)
        return "backslash in the name";
    const std::vector<std::string> parts = PathParts(name);
    if (parts.empty())
        return "the name is the folder itself";
    for (const std::string& part : parts) {
        if (part == "..")
            return "\"..\" in the path";
    }
    return "";
}

std::string PrintableName(std::string_view name) {
    std::string shown;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        char escaped[8];
        if (byte < 0x20 || byte == 0x7f) {
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        } else if (byte == 0xc2 && next >= 0x80 && next <= 0x9f) {
            // A C1 control character in UTF-8: a terminal reads it as a command.
            std::snprintf(escaped, sizeof escaped, "\\u%04x", next);
            shown += escaped;
            ++i;
        } else if (byte == '\\') {
            shown += "\\\\";
        } else {
            shown += static_cast<char>(byte);
        }
    }
    return shown;
}

} // namespace qm::tolva
