#include "tools/tolva/Limits.h"

#include <algorithm>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace qm::tolva {

TLimits DefaultLimits(const std::string& archive, const std::string& folder) {
    TLimits limits;
    struct stat info {};
    const std::uint64_t archiveBytes =
        stat(archive.c_str(), &info) == 0 && info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    limits.maxBytes =
        std::min(kMaxExpandedBytes, std::max(kRatioFreeBytes, archiveBytes * kMaxExpansionRatio));
    struct statvfs disk {};
    if (statvfs(folder.c_str(), &disk) == 0) {
        const std::uint64_t free = static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize;
        limits.freeBytes = free > kFreeSpaceReserve ? free - kFreeSpaceReserve : 0;
    }
    return limits;
}

} // namespace qm::tolva
