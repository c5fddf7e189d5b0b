#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace qm {

// The monthly log files in the installation's "Log" folder, shared by every deliverable (and by
// every process that runs from the same installation). Log files are UTF-8 text.
//
// Each entry is the local time "YYYY-MM-DD HH:MM:SS", CR LF, the text exactly as given, CR LF, CR LF.
// Writers never truncate a file, and an exclusive lock on the file for the length of one entry keeps
// entries of concurrent writers (threads or processes) whole and in order.
class TTaxLog {
public:
    TTaxLog() = delete;

    using TClock = std::function<std::chrono::system_clock::time_point()>;

    // Creates the log folder if needed and returns the current month's file, e.g. ".../Log/LOG202401.log".
    static std::string LogFileName();
    // Appends one entry to fileName. Raises corvane::ETax when the file cannot be opened, locked
    // (within about two seconds) or written; the file is closed in every case.
    static void WriteLog(const std::string& fileName, std::string_view text);
    // Appends one entry to the current month's file.
    static void Log(std::string_view text);

    // Replaces the clock that dates entries and picks the month; an empty clock restores the
    // system clock.
    static void SetClockForTesting(TClock clock);
};

} // namespace qm
