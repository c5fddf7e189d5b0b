#pragma once

#include <string>
#include <unordered_set>

namespace qm::tolva {

// The extraction folder (the current folder) as it is on disk, for an extraction that must write
// nothing outside it. Names are normalized (NormalizedName) and already passed RefuseName. Every
// answer is "" when the entry may be written, else why not.
class TTreeGuard {
public:
    // The entry would be reached through a symbolic link (on disk before, or made by this archive).
    // When it may be written, a link in its own place is removed first: replaced, not written through.
    std::string PrepareWrite(const std::string& name);

    // A symbolic link may not be made at `name` pointing at `target`: its place is a folder, or the
    // target, read from the link's folder and following the links on disk, leaves the folder, climbs
    // ("..") out of a path that does not exist yet, or needs more than a few links in a row.
    std::string RefuseSymlink(const std::string& name, const std::string& target);

    // A hard link to `target` may not be made: the target is reached through a link or is itself a
    // symbolic link (the new name would be one too).
    std::string RefuseHardlink(const std::string& target);

    // The symbolic link at `name`, already made, leads outside now: a link made later can change
    // where an earlier one leads, so every link is checked again once all are made.
    std::string RecheckSymlink(const std::string& name);

private:
    // A folder of the name is a symbolic link.
    std::string ParentsThroughLink(const std::string& name);

    // Folders known to be real folders (or about to be made as such): never a link.
    std::unordered_set<std::string> realFolders_;
};

} // namespace qm::tolva
