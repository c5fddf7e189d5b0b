// qm-place-until INSTALLATION STOP RECOVERY-PROGRAM: places the update staged in INSTALLATION
// (Download/Extraction/Staging) as the desk does (holding the update lock, RECOVERY-PROGRAM
// standing in the host's place). Once STOP moves are done (0: before the first) it prints
// "stopped" and waits: for a line on its input, then goes on; with no input, until it is killed.
// When the placement ends it prints "placed MOVES" or "not placed: WHY".
#include "common/StagedUpdate.h"
#include "common/UpdateWorkLock.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: qm-place-until INSTALLATION STOP RECOVERY-PROGRAM\n");
        return 2;
    }
    const int stop = std::atoi(argv[2]);
    int moves = 0;
    qm::SetPlacementMoveHookForTesting([stop, &moves](int done) {
        moves = done;
        if (done != stop)
            return;
        std::printf("stopped\n");
        std::fflush(stdout);
        char line = 0;
        if (read(STDIN_FILENO, &line, 1) == 1)
            return;
        for (;;)
            pause();
    });
    const qm::TUpdateFolders folders = qm::UpdateFolders(argv[1]);
    const qm::TUpdateWorkLock lock(folders.Work, std::chrono::milliseconds(0));
    if (!lock.Held()) {
        std::printf("not placed: %s\n", lock.Why().c_str());
        return 1;
    }
    const qm::TPlacement placement = qm::PlaceStagedTree(folders, {argv[3]});
    if (placement.Placed())
        std::printf("placed %d\n", moves);
    else
        std::printf("not placed: %s\n", placement.Why.c_str());
    return placement.Placed() ? 0 : 1;
}
