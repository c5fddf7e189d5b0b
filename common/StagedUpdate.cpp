#include "common/StagedUpdate.h"

#include "common/DurableFiles.h"
#include "common/PlacementJournal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace qm {

namespace fs = std::filesystem;

namespace {

using TKind = TJournalEntry::Kind;

// In Backup: the replaced items under their own relative paths, and the journal.
const char* const kReplacedFolder = "replaced";
const char* const kJournal = "journal";
// In Work: the copy of the recovery program that stands in the host's place during the moves.
const char* const kTrampolineCopy = "trampoline";

std::function<void(int)>& MoveHook() {
    static std::function<void(int)> hook;
    return hook;
}

std::string Errno(const fs::path& path, const std::string& what) {
    return path.string() + ": " + what + ": " + std::strerror(errno);
}

bool Exists(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool IsRealFolder(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFolderOrLinkToOne(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool SameFile(const fs::path& a, const fs::path& b) {
    struct stat first {
    }, second{};
    return ::lstat(a.c_str(), &first) == 0 && ::lstat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// The moves that put `relative` (a folder of Staging) into place, in a fixed order. A folder of
// the installation, or a link to one, takes in a staged folder's content; anything else at a
// staged path is replaced. "" when planned, else why the update cannot be placed.
std::string PlanFolder(const TUpdateFolders& folders, const fs::path& relative,
                       std::vector<TJournalEntry>& moves) {
    std::vector<fs::path> children;
    std::error_code error;
    for (auto list = fs::directory_iterator(folders.Staging / relative, error);
         !error && list != fs::end(list); list.increment(error))
        children.push_back(relative / list->path().filename());
    if (error)
        return (folders.Staging / relative).string() + ": cannot be listed: " + error.message();
    std::sort(children.begin(), children.end());
    const fs::path work = folders.Work.lexically_relative(folders.Target);
    for (const fs::path& child : children) {
        if (child == work || child == work.parent_path())
            return "the update would overwrite the extraction folder";
        const fs::path present = folders.Target / child;
        const bool stagedFolder = IsRealFolder(folders.Staging / child);
        if (!Exists(present)) {
            moves.push_back({TKind::Added, child});
        } else if (IsFolderOrLinkToOne(present) && stagedFolder) {
            if (std::string why = PlanFolder(folders, child, moves); !why.empty())
                return why;
        } else if (IsRealFolder(present)) {
            return child.string() + ": a file cannot take the place of a folder";
        } else {
            moves.push_back({stagedFolder ? TKind::FileToFolder : TKind::Replaced, child});
        }
    }
    return "";
}

// Keeps what is at `relative` in Backup: a second name for it, so that the installation never
// lacks it; a rename where the file system has no such names.
std::string SetAside(const TUpdateFolders& folders, const fs::path& relative) {
    const fs::path kept = folders.Backup / kReplacedFolder / relative;
    std::error_code error;
    fs::create_directories(kept.parent_path(), error);
    if (error)
        return kept.parent_path().string() + ": cannot be made: " + error.message();
    const fs::path present = folders.Target / relative;
    if (::linkat(AT_FDCWD, present.c_str(), AT_FDCWD, kept.c_str(), 0) == 0)
        return SyncPath(kept.parent_path());
    if (::rename(present.c_str(), kept.c_str()) != 0)
        return Errno(present, "cannot be set aside");
    return SyncPath(kept.parent_path());
}

// One move of the placement. `from` is where the new item waits.
std::string Move(const TUpdateFolders& folders, const TJournalEntry& move, const fs::path& from,
                 bool setAside) {
    const fs::path to = folders.Target / move.Relative;
    if (setAside && move.What != TKind::Added) {
        if (std::string why = SetAside(folders, move.Relative); !why.empty())
            return why;
    }
    if (move.What == TKind::FileToFolder && ::unlink(to.c_str()) != 0 && errno != ENOENT)
        return Errno(to, "cannot make way for a folder");
    const unsigned flags = move.What == TKind::Added ? RENAME_NOREPLACE : 0;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags) != 0)
        return Errno(to, "cannot be moved into place");
    return "";
}

// Puts back one journal entry's path. Safe to run again after an interruption: a replaced item is
// restored only while Backup still holds it, and only then is what took its place removed.
std::string PutBack(const TUpdateFolders& folders, const TJournalEntry& entry) {
    const fs::path target = folders.Target / entry.Relative;
    const fs::path kept = folders.Backup / kReplacedFolder / entry.Relative;
    if (entry.What == TKind::Added)
        return RemoveTree(target);
    if (!Exists(kept))
        return "";
    if (entry.What == TKind::FileToFolder && Exists(target) && !SameFile(target, kept)) {
        if (std::string why = RemoveTree(target); !why.empty())
            return why;
    }
    if (::rename(kept.c_str(), target.c_str()) != 0)
        return Errno(target, "cannot be put back");
    return "";
}

// Undoes the journal's moves, last first, then removes Backup. "" when done.
std::string RollBack(const TUpdateFolders& folders, const std::vector<TJournalEntry>& entries) {
    std::string failures;
    std::set<fs::path> touched;
    for (auto at = entries.rbegin(); at != entries.rend(); ++at) {
        if (std::string why = PutBack(folders, *at); !why.empty())
            failures += (failures.empty() ? "" : "; ") + why;
        touched.insert((folders.Target / at->Relative).parent_path());
    }
    if (!failures.empty())
        return "could not put back: " + failures;
    for (const fs::path& folder : touched) {
        if (std::string why = SyncPath(folder); !why.empty())
            return why;
    }
    if (std::string why = RemoveTree(folders.Backup); !why.empty())
        return why;
    return SyncPath(folders.Work);
}

// What an undo after a failed move says: the installation is as it was, or what is left.
TPlacement AfterUndo(const TUpdateFolders& folders, const std::string& why,
                     const std::vector<TJournalEntry>& done) {
    const std::string undo = RollBack(folders, done);
    if (undo.empty())
        return {why + "; the installation is as it was", true};
    return {why + "; putting the old files back failed too (" + undo + "), what is left is kept in " +
                folders.Backup.string(),
            false};
}

// The moves in the order they run, and where each new item waits. With a trampoline, the host's
// place first takes the trampoline and last the new host.
struct TPlan {
    std::vector<TJournalEntry> Journal; // each path once
    std::vector<TJournalEntry> Moves;
    std::vector<fs::path> From;
    std::vector<bool> SetsAside;
};

std::string Prepare(const TUpdateFolders& folders, const TPlacementOptions& options, TPlan& plan) {
    const fs::path host = folders.Target / kHostProgramName;
    const fs::path stagedHost = folders.Staging / kHostProgramName;
    const bool trampoline =
        !options.Trampoline.empty() && Exists(host) && !IsRealFolder(host) && !IsRealFolder(stagedHost);
    if (trampoline) {
        // The host that stays comes back last, as the same file.
        if (!Exists(stagedHost) && ::linkat(AT_FDCWD, host.c_str(), AT_FDCWD, stagedHost.c_str(), 0) != 0)
            return Errno(stagedHost, "cannot be made");
        std::error_code error;
        const fs::path copy = folders.Work / kTrampolineCopy;
        fs::copy_file(options.Trampoline, copy, fs::copy_options::overwrite_existing, error);
        if (error)
            return options.Trampoline.string() + ": cannot be copied: " + error.message();
        fs::permissions(copy, fs::perms(0755), error);
        if (std::string why = SyncPath(copy); !why.empty())
            return why;
    }
    std::vector<TJournalEntry> moves;
    if (std::string why = PlanFolder(folders, {}, moves); !why.empty())
        return why;
    const auto hostMove = std::find_if(moves.begin(), moves.end(), [](const TJournalEntry& move) {
        return move.Relative == kHostProgramName && move.What == TKind::Replaced;
    });
    if (trampoline && hostMove != moves.end()) {
        const TJournalEntry hostEntry = *hostMove;
        moves.erase(hostMove);
        plan.Moves.push_back(hostEntry);
        plan.From.push_back(folders.Work / kTrampolineCopy);
        plan.SetsAside.push_back(true);
    }
    for (const TJournalEntry& move : moves) {
        plan.Moves.push_back(move);
        plan.From.push_back(folders.Staging / move.Relative);
        plan.SetsAside.push_back(true);
    }
    plan.Journal = plan.Moves;
    if (!plan.From.empty() && plan.From.front() == folders.Work / kTrampolineCopy) {
        plan.Moves.push_back(plan.Moves.front());
        plan.From.push_back(stagedHost);
        plan.SetsAside.push_back(false);
    }
    return "";
}

// Clears what an earlier update may have left, makes Backup and flushes the staged tree and the
// journal: all before the first move.
std::string MakeReady(const TUpdateFolders& folders, const std::vector<TJournalEntry>& journal) {
    for (const fs::path& old : {folders.Discard, folders.Backup}) {
        if (std::string why = RemoveTree(old); !why.empty())
            return why;
    }
    std::error_code error;
    fs::create_directories(folders.Backup / kReplacedFolder, error);
    if (error)
        return folders.Backup.string() + ": cannot be made: " + error.message();
    for (const fs::path& flushed : {folders.Staging, folders.Backup}) {
        if (std::string why = SyncTree(flushed); !why.empty())
            return why;
    }
    if (std::string why = WriteJournal(folders.Backup / kJournal, journal); !why.empty())
        return why;
    return SyncPath(folders.Work);
}

// After the last move: the installation's changed folders and Backup reach the disk, then Backup
// is retired in one rename, the moment the update counts as placed.
std::string Commit(const TUpdateFolders& folders, const std::vector<TJournalEntry>& moves) {
    std::set<fs::path> touched;
    for (const TJournalEntry& move : moves)
        touched.insert((folders.Target / move.Relative).parent_path());
    for (const fs::path& folder : touched) {
        if (std::string why = SyncPath(folder); !why.empty())
            return why;
    }
    if (std::string why = SyncTree(folders.Backup); !why.empty())
        return why;
    if (::rename(folders.Backup.c_str(), folders.Discard.c_str()) != 0)
        return Errno(folders.Backup, "cannot be retired");
    // Placed: a flush that fails now cannot be answered by an undo, whose backup is retired.
    SyncPath(folders.Work);
    return "";
}

} // namespace

TUpdateFolders UpdateFolders(const fs::path& target) {
    const fs::path work = target / "Download" / "Extraction";
    return {target, work, work / "Staging", work / "Backup", work / "Discard"};
}

TPlacement PlaceStagedTree(const TUpdateFolders& folders, const TPlacementOptions& options) {
    TPlan plan;
    std::string why = Prepare(folders, options, plan);
    if (why.empty())
        why = MakeReady(folders, plan.Journal);
    if (!why.empty()) {
        const std::string undo = RemoveTree(folders.Backup);
        return {undo.empty() ? why + "; nothing was moved" : why + "; nothing was moved, but " + undo, true};
    }
    if (MoveHook())
        MoveHook()(0);
    for (std::size_t i = 0; i < plan.Moves.size(); ++i) {
        why = Move(folders, plan.Moves[i], plan.From[i], plan.SetsAside[i]);
        if (!why.empty())
            return AfterUndo(folders, why, plan.Journal);
        if (MoveHook())
            MoveHook()(static_cast<int>(i + 1));
    }
    why = Commit(folders, plan.Moves);
    if (!why.empty())
        return AfterUndo(folders, "the update could not be finished: " + why, plan.Journal);
    // The update is placed; what Discard still holds is cleared before the next one.
    RemoveTree(folders.Discard);
    return {};
}

std::string RecoverUpdateFolders(const TUpdateFolders& folders) {
    if (Exists(folders.Backup)) {
        const fs::path journal = folders.Backup / kJournal;
        std::error_code error;
        if (Exists(journal)) {
            const TJournalRead read = ReadJournal(journal);
            if (!read.Why.empty())
                return "the unfinished update cannot be undone: " + read.Why + "; nothing was changed, " +
                       folders.Backup.string() + " is kept";
            if (std::string why = RollBack(folders, read.Entries); !why.empty())
                return "the unfinished update cannot be undone: " + why;
        } else if (!fs::is_empty(folders.Backup / kReplacedFolder, error) && !error) {
            return "the unfinished update has no journal; nothing was changed, " + folders.Backup.string() +
                   " is kept";
        } else if (std::string why = RemoveTree(folders.Backup); !why.empty()) {
            return why; // the journal is written before the first move: nothing was moved
        }
    }
    for (const fs::path& old : {folders.Staging, folders.Discard, folders.Work / kTrampolineCopy}) {
        if (std::string why = RemoveTree(old); !why.empty())
            return why;
    }
    return "";
}

bool PlacementUnfinished(const fs::path& target) {
    return Exists(UpdateFolders(target).Backup);
}

void SetPlacementMoveHookForTesting(std::function<void(int)> hook) {
    MoveHook() = std::move(hook);
}

} // namespace qm
