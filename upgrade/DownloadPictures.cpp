#include "upgrade/DownloadPictures.h"

#include "common/Paths.h"

namespace qm {

std::string DownloadPicturePath(const char* name) {
    return PluginsPath() + "Upgrade/Pictures/" + name;
}

} // namespace qm
