#include "host/StartRecovery.h"

#include "common/Paths.h"
#include "common/StagedUpdate.h"
#include "common/UpdateWorkLock.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <unistd.h>

namespace qm {

namespace {

constexpr std::chrono::seconds kWaitForPlacingDesk{30};

} // namespace

std::string RecoverBeforeStart(char** argv) {
    if (!PlacementUnfinished(AppPath()))
        return "";
    // A desk placing an update right now holds the lock: its placement is not a killed one, and
    // this start waits for it. If that takes too long, this start goes on and hands over to that
    // desk.
    const TUpdateFolders folders = UpdateFolders(AppPath());
    const TUpdateWorkLock lock(folders.Work, kWaitForPlacingDesk);
    if (lock.HeldElsewhere())
        return "";
    if (!lock.Held())
        return lock.Why();
    // Whether undone here or finished by the desk that was placing it, the installation changed
    // under this program: it starts afresh from what is in place now.
    if (PlacementUnfinished(AppPath())) {
        if (const std::string why = RecoverUpdateFolders(folders); !why.empty())
            return why;
    }
    const std::string host = AppPath() + kHostProgramName;
    ::execv(host.c_str(), argv);
    return "the program " + host + " cannot be started: " + std::strerror(errno);
}

} // namespace qm
