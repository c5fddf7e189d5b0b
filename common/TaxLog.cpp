#include "common/TaxLog.h"

#include "common/Paths.h"
#include "corvane/Errors.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace qm {

namespace {

constexpr const char* kWriteLogLocation = "TTaxLog.WriteLog(FileName, Text: string)";
// Another writer holds the lock only while it writes one entry; waiting longer means it is stuck.
constexpr auto kLockWait = std::chrono::seconds(2);
constexpr auto kLockRetryPause = std::chrono::milliseconds(5);

using TTimePoint = std::chrono::system_clock::time_point;

struct TClockSeam {
    std::mutex mutex;
    TTaxLog::TClock clock;
};

TClockSeam& ClockSeam() {
    static TClockSeam seam;
    return seam;
}

TTimePoint Now() {
    TTaxLog::TClock clock;
    {
        TClockSeam& seam = ClockSeam();
        std::lock_guard lock(seam.mutex);
        clock = seam.clock;
    }
    return clock ? clock() : std::chrono::system_clock::now();
}

std::string FormatLocalTime(TTimePoint when, const char* format) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[64];
    const std::size_t length = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, length);
}

std::string FileNameFor(TTimePoint when) {
    return LogPath() + corvane::FormatText("LOG%s.log", FormatLocalTime(when, "%Y%m"));
}

std::string OsErrorText(int error) {
    return std::system_category().message(error);
}

[[noreturn]] void Raise(const char* what, const std::string& fileName, int error) {
    throw corvane::ETax(corvane::FormatText("Cannot %s file \"%s\". %s", what, fileName, OsErrorText(error)),
                        kWriteLogLocation);
}

// The descriptor of the open log file; closing it also drops the lock.
class TLogFile {
public:
    explicit TLogFile(int fd) : fd_(fd) {}
    ~TLogFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    int Fd() const { return fd_; }

    // 0, or the error that closing reported (a delayed write error on some file systems).
    int Close() {
        const int result = ::close(std::exchange(fd_, -1));
        return result == 0 || errno == EINTR ? 0 : errno;
    }

private:
    int fd_;
};

// Waits a little for a writer in another thread or process to finish its entry.
int LockExclusive(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return 0;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline)
            return errno;
        std::this_thread::sleep_for(kLockRetryPause);
    }
}

// 0, or the error that stopped the write.
int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

void WriteEntry(const std::string& fileName, TTimePoint when, std::string_view text) {
    // One buffer, so that the entry normally reaches the file in a single write.
    std::string entry = FormatLocalTime(when, "%Y-%m-%d %H:%M:%S");
    entry.reserve(entry.size() + text.size() + 6);
    entry += "\r\n";
    entry += text;
    entry += "\r\n\r\n";

    // Append mode: an existing file is never truncated, and every write lands at its current end.
    int fd = -1;
    do {
        fd = ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        Raise("open", fileName, errno);
    TLogFile file(fd);

    // The lock belongs to this open file description, so it also keeps out other threads of this
    // process, each of which opens the file itself.
    if (const int error = LockExclusive(file.Fd()))
        Raise("lock", fileName, error);

    const int writeError = WriteAll(file.Fd(), entry);
    const int closeError = file.Close();
    if (writeError)
        Raise("write", fileName, writeError);
    if (closeError)
        Raise("write", fileName, closeError);
}

} // namespace

std::string TTaxLog::LogFileName() {
    return FileNameFor(Now());
}

void TTaxLog::WriteLog(const std::string& fileName, std::string_view text) {
    WriteEntry(ToNativePath(fileName), Now(), text);
}

void TTaxLog::Log(std::string_view text) {
    // One reading of the clock picks the month's file and dates the entry, so an entry written at
    // midnight never carries the next month's date in the previous month's file.
    const TTimePoint when = Now();
    WriteEntry(FileNameFor(when), when, text);
}

void TTaxLog::SetClockForTesting(TClock clock) {
    TClockSeam& seam = ClockSeam();
    std::lock_guard lock(seam.mutex);
    seam.clock = std::move(clock);
}

} // namespace qm
