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
    bool testSwitches = false; // the /slow/, /drop/ and /flaky/ switches of FaultSwitches.h
};

// Serves the files below `root` for GET and HEAD, with single byte ranges (206, or 416 when the
// range lies past the end), the fault switches of FaultSwitches.h, configured 302 redirects, and
// "/redirect?to=/path" answered with 302 to that path (a plain path on this server only). A path
// that leads outside the root answers 404 like a missing file, whether or not something is there.
// A slow transfer is sped up so that it never takes more than a minute. Every other path is a file
// lookup, so this group matches everything: register it after all other route groups.
void AddFileRoutes(httplib::Server& server, FileRoutesConfig config);

} // namespace qm::server
