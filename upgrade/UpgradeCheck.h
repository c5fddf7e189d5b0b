#pragma once

#include <string>

namespace qm {

// One component to check for updates: its "Upgrade.txt" and the state file its requester named.
struct TDownload_Upfile {
    std::string UpFile;
    std::string StateFile;
};

} // namespace qm
