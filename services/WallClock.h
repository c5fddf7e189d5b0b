#pragma once

#include <chrono>
#include <cstdint>

namespace qm::server {

// Milliseconds since 1970 by the system clock: the time every server sharing a database writes
// and compares, so their clocks must agree (NTP) to within a small part of the shortest lifetime.
inline std::int64_t WallMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace qm::server
