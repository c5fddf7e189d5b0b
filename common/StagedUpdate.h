#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace qm {

// Where an extraction works: inside the installation folder, so that every move is a rename on
// one file system. `Staging` receives the extracted tree; `Backup` holds, while a move is under
// way, the journal of the moves and what they replace; `Discard` is a finished move's backup on
// its way out.
struct TUpdateFolders {
    std::filesystem::path Target;  // the installation folder
    std::filesystem::path Work;    // Target / "Download/Extraction"
    std::filesystem::path Staging; // Work / "Staging"
    std::filesystem::path Backup;  // Work / "Backup"
    std::filesystem::path Discard; // Work / "Discard"
};

// The folders for the installation at `target`.
TUpdateFolders UpdateFolders(const std::filesystem::path& target);

// The name of the host program in the installation folder.
inline constexpr const char* kHostProgramName = "Quillmere";

// How a placement treats the host program.
struct TPlacementOptions {
    // A program that undoes an unfinished placement and then starts the host (the recovery
    // program). When set and the installation holds the host, the host's place holds a copy of it
    // from the first move to the last, so that a start in between, whatever libraries are in place
    // by then, first puts the old installation back. Empty: the host is moved like any file.
    std::filesystem::path Trampoline;
};

// Moves everything in Staging into Target, file by file (a link as a link, a folder that is new in
// one rename), replacing what is there. The journal of the moves and what they replace are kept
// in Backup, flushed to disk with the staged tree before the first move; after the last move the
// installation is flushed and Backup retired in one rename, the moment the update counts as
// placed. If a move fails, everything is put back.
struct TPlacement {
    std::string Why;       // "" when placed, else why not and what became of the installation
    bool Unchanged = true; // when not placed: whether the installation is as it was
    bool Placed() const noexcept { return Why.empty(); }
};
TPlacement PlaceStagedTree(const TUpdateFolders& folders, const TPlacementOptions& options = {});

// Undoes a placement that did not finish (Backup present: a killed program), then clears Staging
// and Discard. A journal that is cut short or damaged undoes nothing. "" when the installation is
// in order, else why not (Backup is then kept for a later try).
std::string RecoverUpdateFolders(const TUpdateFolders& folders);

// Whether a placement left unfinished waits in the installation at `target`.
bool PlacementUnfinished(const std::filesystem::path& target);

// Tests only: called once everything is ready and before the first move with 0, then after each
// move with the number of moves done so far.
void SetPlacementMoveHookForTesting(std::function<void(int)> hook);

} // namespace qm
