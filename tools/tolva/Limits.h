#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qm::tolva {

// What the tool's exit code says. The upgrade plug-in turns each into a reason for the user.
enum TExitCode : int {
    kExitDone = 0,      // every entry written
    kExitDamaged = 1,   // unreadable, truncated, empty or corrupt archive
    kExitUsage = 2,     // wrong command line
    kExitRefused = 3,   // an entry could land outside the folder (name or link)
    kExitTooLarge = 4,  // over the entry count, expanded size or name length limits
    kExitDiskFull = 5,  // the expanded files do not fit on the disk
    kExitTimeLimit = 6, // the extraction ran longer than its time limit
    kExitNotWritten = 7 // an entry could not be written for another reason
};

// Limits for one archive, so that a small hostile archive cannot fill the disk or hold the tool.
constexpr std::size_t kMaxEntries = 100000;
constexpr std::uint64_t kMaxExpandedBytes = 4ULL << 30;  // absolute ceiling
constexpr std::uint64_t kMaxExpansionRatio = 100;        // expanded bytes per archive byte...
constexpr std::uint64_t kRatioFreeBytes = 64ULL << 20;   // ...though any archive may expand this far
constexpr std::uint64_t kFreeSpaceReserve = 64ULL << 20; // left free on the target's file system
constexpr std::size_t kMaxNameBytes = 1024;              // an entry's name or a link's target
constexpr std::size_t kMaxNameParts = 64;                // folders deep
constexpr int kTimeLimitSeconds = 300;

struct TLimits {
    std::size_t maxEntries = kMaxEntries;
    std::uint64_t maxBytes = kMaxExpandedBytes; // from the ceiling and the ratio
    std::uint64_t freeBytes = UINT64_MAX;       // free space of the target, less the reserve
    int timeLimitSeconds = kTimeLimitSeconds;
};

// The limits for extracting `archive` into `folder`: the byte ceiling is the smaller of the
// absolute ceiling and the ratio to the archive's size; the free space is measured now.
TLimits DefaultLimits(const std::string& archive, const std::string& folder);

} // namespace qm::tolva
