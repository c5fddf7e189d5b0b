#pragma once

#include "common/TaxLog.h"

#include <chrono>
#include <ctime>

namespace qm::test {

// A local date and time, as the log's clock reports it.
inline std::chrono::system_clock::time_point LocalTime(int year, int month, int day, int hour, int minute,
                                                       int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

// Stops the log's clock at a given moment for the lifetime of this object.
class TFixedLogClock {
public:
    explicit TFixedLogClock(std::chrono::system_clock::time_point when) { Set(when); }
    ~TFixedLogClock() { TTaxLog::SetClockForTesting({}); }
    TFixedLogClock(const TFixedLogClock&) = delete;
    TFixedLogClock& operator=(const TFixedLogClock&) = delete;

    void Set(std::chrono::system_clock::time_point when) {
        TTaxLog::SetClockForTesting([when] { return when; });
    }
};

} // namespace qm::test
