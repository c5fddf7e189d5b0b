#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm {

// Writing through a symbolic link changes the file it points to, not the link.
std::string ResolvedTarget(const std::string& path);
std::string FolderOf(const std::string& path);

// Why a replacement failed: the step and the system's error number.
struct TReplaceFailure {
    bool creating; // the new file could not be created (else: not written, flushed or renamed)
    int error;
};

// Gives target (a resolved path) the content bytes: they go to a new file in the same folder,
// reach the disk, and the new file is renamed over target, so that the old content stays whole
// until the new one is complete. An existing target's permissions (and, where the writer may,
// its owner) carry over. Nothing when it worked.
std::optional<TReplaceFailure> ReplaceFileContent(const std::string& target, std::string_view bytes);

} // namespace qm
