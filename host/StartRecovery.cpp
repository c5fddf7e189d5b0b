#include "host/StartRecovery.h"

#include "common/Paths.h"
#include "common/StagedUpdate.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace qm {

std::string RecoverBeforeStart(char** argv) {
    if (!PlacementUnfinished(AppPath()))
        return "";
    const std::string why = RecoverUpdateFolders(UpdateFolders(AppPath()));
    if (!why.empty())
        return why;
    const std::string host = AppPath() + kHostProgramName;
    ::execv(host.c_str(), argv);
    return "the restored program " + host + " cannot be started: " + std::strerror(errno);
}

} // namespace qm
