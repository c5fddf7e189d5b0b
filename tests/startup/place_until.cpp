// qm-place-until INSTALLATION STOP RECOVERY-PROGRAM: places the update staged in INSTALLATION
// (Download/Extraction/Staging) with the real placement, RECOVERY-PROGRAM standing in the host's
// place. Once STOP moves are done (0: before the first) it prints "stopped" and waits to be killed;
// when the placement ends first it prints "placed MOVES" or "not placed: WHY".
#include "common/StagedUpdate.h"

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
        for (;;)
            pause();
    });
    const qm::TPlacement placement = qm::PlaceStagedTree(qm::UpdateFolders(argv[1]), {argv[3]});
    if (placement.Placed())
        std::printf("placed %d\n", moves);
    else
        std::printf("not placed: %s\n", placement.Why.c_str());
    return placement.Placed() ? 0 : 1;
}
