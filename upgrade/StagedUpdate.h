#pragma once

#include "common/Result.h"

#include <filesystem>
#include <string>

namespace qm {

// Where an extraction works: inside the installation folder, so that every move is a rename on
// one file system. `Staging` receives the extracted tree; `Backup` holds, while a move is under
// way, what it replaced and the list of what it added; `Discard` is a finished move's backup on
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

// Moves everything in Staging into Target, file by file (a link as a link, a folder that is new in
// one rename), replacing what is there. What is replaced is kept in Backup until every move is
// done, and put back, with what was added removed, if one fails. A failure says why (the
// installation is then as it was, unless even the undo failed, which the reason says).
TResult<> PlaceStagedTree(const TUpdateFolders& folders);

// Undoes a move that did not finish (Backup present: a killed program), then clears Staging and
// Discard. Fails with the reason when the installation is not in order (Backup is then kept for
// the next try).
TResult<> RecoverUpdateFolders(const TUpdateFolders& folders);

} // namespace qm
