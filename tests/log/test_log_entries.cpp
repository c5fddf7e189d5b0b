#include "common/Paths.h"
#include "common/TaxLog.h"
#include "corvane/Errors.h"
#include "tests/common/TestFiles.h"
#include "tests/log/LogTestSupport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using qm::TTaxLog;
using qm::test::LocalTime;
using qm::test::ReadBytes;
using qm::test::TFixedLogClock;
using qm::test::TTempFolder;
using qm::test::WriteBytes;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Holds an exclusive lock on a file through an open file description of its own, as another
// writer would while it writes an entry.
class THeldLock {
public:
    explicit THeldLock(const std::string& fileName) : fd_(::open(fileName.c_str(), O_RDWR | O_CREAT, 0644)) {
        if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0)
            throw std::runtime_error("cannot lock " + fileName);
    }
    ~THeldLock() { Release(); }
    THeldLock(const THeldLock&) = delete;
    THeldLock& operator=(const THeldLock&) = delete;

    void Release() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

} // namespace

TEST(TaxLog, EntriesAreAppendedExactlyAsGiven) {
    TTempFolder folder;
    const std::string file = folder.File("entries.log");
    WriteBytes(file, "older entry\r\n\r\n");
    TFixedLogClock clock(LocalTime(2024, 3, 5, 7, 8, 9));

    TTaxLog::WriteLog(file, "Class:EPlugin\r\nMsg:插件(Login.dll)不存在");
    TTaxLog::WriteLog(file, "");            // still a timestamp line and two empty line ends
    TTaxLog::WriteLog(file, "ends in\r\n"); // not trimmed: two more CR LF pairs follow
    TTaxLog::WriteLog(file, "same second"); // same timestamp, kept in call order

    EXPECT_EQ(ReadBytes(file), "older entry\r\n\r\n"
                               "2024-03-05 07:08:09\r\nClass:EPlugin\r\nMsg:插件(Login.dll)不存在\r\n\r\n"
                               "2024-03-05 07:08:09\r\n\r\n\r\n"
                               "2024-03-05 07:08:09\r\nends in\r\n\r\n\r\n"
                               "2024-03-05 07:08:09\r\nsame second\r\n\r\n");
}

TEST(TaxLog, MonthlyFilesInTheLogFolderNextToTheProgram) {
    // The month changes between two entries one second apart; each goes to its own month's file.
    const fs::path logFolder = qm::AppPath() + "Log";
    const fs::path january = logFolder / "LOG200101.log";
    const fs::path february = logFolder / "LOG200102.log";
    const auto cleanUp = [&] {
        std::error_code ignored;
        fs::remove(january, ignored);
        fs::remove(february, ignored);
        fs::remove(logFolder, ignored); // only when empty: nothing else is ever deleted
    };
    cleanUp();
    ASSERT_FALSE(fs::exists(logFolder)) << logFolder << " holds files this test did not write";
    struct TCleanUp {
        decltype(cleanUp)& run;
        ~TCleanUp() { run(); }
    } atExit{cleanUp};

    TFixedLogClock clock(LocalTime(2001, 1, 31, 23, 59, 59));
    EXPECT_EQ(TTaxLog::LogFileName(), january.string());
    EXPECT_TRUE(fs::is_directory(logFolder)) << "the Log folder is created when missing";
    TTaxLog::Log("before midnight");

    clock.Set(LocalTime(2001, 2, 1, 0, 0, 0));
    EXPECT_EQ(TTaxLog::LogFileName(), february.string());
    TTaxLog::Log("after midnight");

    EXPECT_EQ(ReadBytes(january.string()), "2001-01-31 23:59:59\r\nbefore midnight\r\n\r\n");
    EXPECT_EQ(ReadBytes(february.string()), "2001-02-01 00:00:00\r\nafter midnight\r\n\r\n");
}

TEST(TaxLog, FailuresRaiseWithTheSystemsReason) {
    TTempFolder folder;

    const std::string inMissingFolder = folder.File("missing/LOG202401.log");
    try {
        TTaxLog::WriteLog(inMissingFolder, "lost");
        FAIL() << "no error for a file in a missing folder";
    } catch (const corvane::ETax& error) {
        EXPECT_TRUE(Contains(error.Message(), inMissingFolder)) << error.Message();
        EXPECT_TRUE(Contains(error.Message(), std::strerror(ENOENT))) << error.Message();
        EXPECT_TRUE(Contains(error.Location(), "TTaxLog.WriteLog")) << error.Location();
    }

    const std::string asFolder = folder.File("a_folder");
    fs::create_directory(asFolder);
    EXPECT_THROW(TTaxLog::WriteLog(asFolder, "lost"), corvane::ETax);

    // A device that accepts the open but refuses every byte: the write error reaches the caller.
    if (fs::exists("/dev/full")) {
        try {
            TTaxLog::WriteLog("/dev/full", "lost");
            FAIL() << "no error for a failed write";
        } catch (const corvane::ETax& error) {
            EXPECT_TRUE(Contains(error.Message(), std::strerror(ENOSPC))) << error.Message();
        }
    }
}

TEST(TaxLog, WaitsForAnotherWriterButNotForever) {
    TTempFolder folder;
    const std::string file = folder.File("busy.log");

    // A writer that finishes soon: the entry waits for it, then goes in whole.
    THeldLock shortHold(file);
    auto pending = std::async(std::launch::async, [&] { TTaxLog::WriteLog(file, "after the other writer"); });
    EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    EXPECT_EQ(ReadBytes(file), "") << "written while another writer held the file";
    shortHold.Release();
    EXPECT_NO_THROW(pending.get());
    EXPECT_TRUE(ReadBytes(file).ends_with("\r\nafter the other writer\r\n\r\n")) << ReadBytes(file);

    // A writer that never lets go: an error, and the file stays as it was.
    const std::string before = ReadBytes(file);
    THeldLock stuck(file);
    try {
        TTaxLog::WriteLog(file, "never written");
        FAIL() << "no error while the file stays locked";
    } catch (const corvane::ETax& error) {
        EXPECT_TRUE(Contains(error.Message(), file)) << error.Message();
    }
    EXPECT_EQ(ReadBytes(file), before);
}
