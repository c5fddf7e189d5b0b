#pragma once

#include <filesystem>
#include <httplib.h>
#include <string>
#include <utility>
#include <vector>

namespace qm::server {

struct FileRoutesConfig {
    std::filesystem::path root;
    std::vector<std::pair<std::string, std::string>> redirects; // exact path -> target path
};

// Serves the files below `root` for GET and HEAD, with single byte ranges (206, or 416 when the
// range lies past the end), the fault switches of FaultSwitches.h, configured 302 redirects, and
// "/redirect?to=/path" answered with 302 to that path. Every other path is a file lookup, so this
// group matches everything: register it after all other route groups.
void AddFileRoutes(httplib::Server& server, FileRoutesConfig config);

} // namespace qm::server
