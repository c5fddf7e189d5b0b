#pragma once

#include <string>
#include <string_view>

// How an update descriptor names the component it was published for: the path of its update
// source, the folder it is served from, with a "/" at either end ("/desk/"). The plug-in and the
// publisher's tool share this, so that what one writes the other reads alike.
namespace qm {

// The path of an address (from the first "/" after the host, without query or fragment); "/" when
// it has none. Text without "://" is taken as a path already.
inline std::string AddressPath(std::string_view url) {
    std::string_view path = url;
    if (const auto scheme = url.find("://"); scheme != std::string_view::npos) {
        const std::string_view rest = url.substr(scheme + 3);
        const auto slash = rest.find_first_of("/?#");
        path =
            slash == std::string_view::npos || rest[slash] != '/' ? std::string_view() : rest.substr(slash);
    }
    path = path.substr(0, path.find_first_of("?#"));
    return path.empty() ? std::string("/") : std::string(path);
}

// The component text names ("desk", "/desk", "https://host/desk/" all name "/desk/"); "" for blank
// text. Blanks around are ignored.
inline std::string ComponentName(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    std::string path = text.find("://") == std::string_view::npos ? std::string(text) : AddressPath(text);
    if (!path.starts_with('/'))
        path.insert(path.begin(), '/');
    if (!path.ends_with('/'))
        path += '/';
    return path;
}

// The component a descriptor served at descriptorURL is for: the path of its folder.
inline std::string ComponentOfDescriptor(std::string_view descriptorURL) {
    std::string path = AddressPath(descriptorURL);
    path.erase(path.find_last_of('/') + 1);
    return ComponentName(path);
}

} // namespace qm
