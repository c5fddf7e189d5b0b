#include "services/RootedPath.h"

#include <algorithm>

namespace qm::server {

namespace {

// True when `inner` is `outer` or lies below it, compared segment by segment.
bool IsWithin(const std::filesystem::path& inner, const std::filesystem::path& outer) {
    auto innerPart = inner.begin();
    for (auto outerPart = outer.begin(); outerPart != outer.end(); ++outerPart, ++innerPart) {
        if (outerPart->empty() && std::next(outerPart) == outer.end())
            return true; // a trailing separator on the root
        if (innerPart == inner.end() || *innerPart != *outerPart)
            return false;
    }
    return true;
}

} // namespace

RootedPath ResolveUnderRoot(const std::filesystem::path& root, std::string_view requestPath) {
    if (requestPath.find('\0') != std::string_view::npos)
        return {RootedPath::Kind::Forbidden, {}};

    std::filesystem::path relative;
    std::size_t start = 0;
    while (start <= requestPath.size()) {
        const std::size_t end = std::min(requestPath.find('/', start), requestPath.size());
        const std::string_view segment = requestPath.substr(start, end - start);
        if (segment == "..")
            return {RootedPath::Kind::Forbidden, {}};
        if (!segment.empty() && segment != ".")
            relative /= std::filesystem::path(std::string(segment));
        start = end + 1;
    }
    if (relative.empty())
        return {RootedPath::Kind::Missing, {}};

    std::error_code error;
    const std::filesystem::path realRoot = std::filesystem::canonical(root, error);
    if (error)
        return {RootedPath::Kind::Missing, {}};
    const std::filesystem::path candidate = realRoot / relative;
    if (!std::filesystem::exists(candidate, error))
        return {RootedPath::Kind::Missing, {}};
    const std::filesystem::path realFile = std::filesystem::canonical(candidate, error);
    if (error)
        return {RootedPath::Kind::Missing, {}};
    if (!IsWithin(realFile, realRoot))
        return {RootedPath::Kind::Forbidden, {}};
    if (!std::filesystem::is_regular_file(realFile, error))
        return {RootedPath::Kind::Missing, {}};
    return {RootedPath::Kind::File, realFile};
}

} // namespace qm::server
