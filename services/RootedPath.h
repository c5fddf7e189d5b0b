#pragma once

#include <filesystem>
#include <string_view>

namespace qm::server {

// Where a request path leads inside the served folder.
struct RootedPath {
    enum class Kind {
        File,      // a regular file inside the root: `file` holds it
        Missing,   // nothing (or no regular file) there
        Forbidden, // the path tries to leave the root ("..", or a link pointing outside)
    };
    Kind kind = Kind::Missing;
    std::filesystem::path file;
};

// Maps a decoded request path ("/a/b.txt") onto a file below `root`. A ".." segment is refused
// outright, and the file's real location (links followed) must still lie below the real root.
// Callers answer Forbidden as they answer Missing, so that a link out of the root tells nothing
// about what lies outside.
RootedPath ResolveUnderRoot(const std::filesystem::path& root, std::string_view requestPath);

} // namespace qm::server
