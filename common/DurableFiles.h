#pragma once

#include <filesystem>
#include <string>

// File operations of an update's placement that report every failure. Each answers "" when done,
// else one line saying what failed and why. Nothing here needs more than the C++ and C libraries,
// so that the recovery program can use it before any library of the installation is loaded.
namespace qm {

// Writes `bytes` to a temporary file beside `file`, flushes it to disk, renames it over `file` and
// flushes the folder.
std::string WriteFileDurably(const std::filesystem::path& file, const std::string& bytes);

// Flushes a file or a folder (its entries) to disk.
std::string SyncPath(const std::filesystem::path& path);

// Flushes every file and folder under `root`, and `root`; links are not followed.
std::string SyncTree(const std::filesystem::path& root);

// Removes `path` and everything under it (nothing when it does not exist). Folders whose modes
// keep their owner out (0555, 0311) are opened up first.
std::string RemoveTree(const std::filesystem::path& path);

} // namespace qm
