#include "upgrade/StagedUpdate.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

namespace qm {

namespace fs = std::filesystem;

namespace {

// In Backup: the replaced items under their own relative paths, and the list of added paths.
const char* const kReplacedFolder = "replaced";
const char* const kAddedList = "added";

// One rename of the move, by path relative to the installation.
struct TMove {
    fs::path Relative;
    bool Replaces = false; // what is there now goes to Backup first
    bool Adds = false;     // nothing was at this path before (or only what Replaces keeps)
};

bool IsRealFolder(const fs::file_status& status) {
    return status.type() == fs::file_type::directory;
}

// The moves that put `relative` (a folder of Staging) into place, in a fixed order. False when
// the update would overwrite the extraction's own folders.
bool PlanFolder(const TUpdateFolders& folders, const fs::path& relative, std::vector<TMove>& moves) {
    std::vector<fs::path> children;
    std::error_code error;
    for (const auto& child : fs::directory_iterator(folders.Staging / relative, error))
        children.push_back(relative / child.path().filename());
    std::sort(children.begin(), children.end());
    const fs::path work = folders.Work.lexically_relative(folders.Target);
    for (const fs::path& child : children) {
        if (child == work)
            return false;
        const fs::file_status staged = fs::symlink_status(folders.Staging / child, error);
        const fs::file_status present = fs::symlink_status(folders.Target / child, error);
        if (!fs::exists(present)) {
            moves.push_back({child, false, true});
        } else if (IsRealFolder(present)) {
            // A folder is merged; a file put in a folder's place fails on its rename.
            if (IsRealFolder(staged) && !PlanFolder(folders, child, moves))
                return false;
            if (!IsRealFolder(staged))
                moves.push_back({child, false, false});
        } else {
            moves.push_back({child, true, IsRealFolder(staged)});
        }
    }
    return true;
}

// Paths separated by NUL, which no file name holds.
std::string Joined(const std::vector<TMove>& moves) {
    std::string text;
    for (const TMove& move : moves) {
        if (move.Adds)
            text += move.Relative.string() + '\0';
    }
    return text;
}

// The list of added paths must be complete before the first rename: written aside, then renamed.
bool WriteAddedList(const fs::path& backup, const std::string& text) {
    const fs::path temporary = backup / (std::string(kAddedList) + ".tmp");
    {
        std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
        stream << text;
        stream.flush();
        if (!stream)
            return false;
    }
    std::error_code error;
    fs::rename(temporary, backup / kAddedList, error);
    return !error;
}

std::vector<fs::path> ReadAddedList(const fs::path& backup) {
    std::ifstream stream(backup / kAddedList, std::ios::binary);
    std::vector<fs::path> added;
    std::string item;
    while (std::getline(stream, item, '\0')) {
        if (!item.empty())
            added.emplace_back(item);
    }
    return added;
}

// Removes what the move added, then puts every replaced item back. Safe to run again after an
// interruption.
TResult<> RollBack(const TUpdateFolders& folders) {
    std::error_code error;
    const std::vector<fs::path> added = ReadAddedList(folders.Backup);
    for (auto at = added.rbegin(); at != added.rend(); ++at)
        fs::remove_all(folders.Target / *at, error);
    const fs::path replaced = folders.Backup / kReplacedFolder;
    std::vector<fs::path> items;
    for (auto walk = fs::recursive_directory_iterator(replaced, error); !error && walk != fs::end(walk);
         walk.increment(error)) {
        if (!IsRealFolder(walk->symlink_status()))
            items.push_back(walk->path().lexically_relative(replaced));
    }
    std::string failures;
    for (const fs::path& item : items) {
        fs::rename(replaced / item, folders.Target / item, error);
        if (error)
            failures += " " + item.string() + ": " + error.message() + ";";
    }
    if (!failures.empty())
        return Failure("could not put back" + failures);
    fs::remove_all(folders.Backup, error);
    return Success();
}

// One rename, keeping what it replaces.
TResult<> Move(const TUpdateFolders& folders, const TMove& move) {
    std::error_code error;
    if (move.Replaces) {
        const fs::path kept = folders.Backup / kReplacedFolder / move.Relative;
        fs::create_directories(kept.parent_path(), error);
        fs::rename(folders.Target / move.Relative, kept, error);
        if (error)
            return Failure(move.Relative.string() + ": cannot be set aside: " + error.message());
    }
    fs::rename(folders.Staging / move.Relative, folders.Target / move.Relative, error);
    if (error)
        return Failure(move.Relative.string() + ": cannot be moved into place: " + error.message());
    return Success();
}

} // namespace

TUpdateFolders UpdateFolders(const fs::path& target) {
    const fs::path work = target / "Download" / "Extraction";
    return {target, work, work / "Staging", work / "Backup", work / "Discard"};
}

TResult<> PlaceStagedTree(const TUpdateFolders& folders) {
    std::vector<TMove> moves;
    if (!PlanFolder(folders, {}, moves))
        return Failure("the update would overwrite the extraction folder");
    std::error_code error;
    fs::remove_all(folders.Backup, error);
    fs::create_directories(folders.Backup, error);
    if (error || !WriteAddedList(folders.Backup, Joined(moves)))
        return Failure("cannot write the backup list in " + folders.Backup.string());
    for (const TMove& move : moves) {
        const TResult<> moved = Move(folders, move);
        if (moved)
            continue;
        const TResult<> undone = RollBack(folders);
        return undone ? moved : Failure(moved.Reason() + "; " + undone.Reason());
    }
    // Done: the backup goes, first out of the way in one rename, so a killed program cannot undo
    // a finished move.
    fs::remove_all(folders.Discard, error);
    fs::rename(folders.Backup, folders.Discard, error);
    fs::remove_all(folders.Discard, error);
    return Success();
}

TResult<> RecoverUpdateFolders(const TUpdateFolders& folders) {
    std::error_code error;
    TResult<> recovered;
    if (fs::exists(folders.Backup, error))
        recovered = RollBack(folders);
    fs::remove_all(folders.Staging, error);
    fs::remove_all(folders.Discard, error);
    return recovered;
}

} // namespace qm
