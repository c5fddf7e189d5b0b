#include "common/TaxLog.h"
#include "tests/common/TestFiles.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <gtest/gtest.h>
#include <latch>
#include <map>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using qm::TTaxLog;
using qm::test::ReadBytes;
using qm::test::TTempFolder;

namespace {

constexpr int kEntriesPerWriter = 1000;

// A multi-line text long enough that an entry split into pieces by another writer shows.
std::string EntryText(char writer, int index) {
    char number[16];
    std::snprintf(number, sizeof number, "%04d", index);
    return std::string("writer ") + writer + " entry " + number + "\r\n" + std::string(300, writer) +
           "\r\nend of " + writer + " " + number;
}

void WriteEntries(const std::string& file, char writer) {
    for (int i = 0; i < kEntriesPerWriter; ++i)
        TTaxLog::WriteLog(file, EntryText(writer, i));
}

// True for a timestamp of the form "YYYY-MM-DD HH:MM:SS".
bool IsTimestamp(std::string_view text) {
    constexpr std::string_view shape = "0000-00-00 00:00:00";
    if (text.size() != shape.size())
        return false;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == '0' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != shape[i])
            return false;
    return true;
}

// Every entry of every writer is in the file whole, exactly once, and in its writer's order.
void ExpectWholeEntriesInOrder(const std::string& bytes, const std::string& writers) {
    constexpr std::size_t kStampLength = 19;
    constexpr std::string_view kWriterTag = "writer ";
    constexpr std::size_t kNumberAt = kWriterTag.size() + std::string_view("X entry ").size();
    ASSERT_TRUE(bytes.ends_with("\r\n\r\n"));
    std::map<char, std::vector<int>> seen;
    std::size_t start = 0;
    int entries = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n\r\n", start);
        const std::string_view entry = std::string_view(bytes).substr(start, end - start);
        start = end + 4;
        ++entries;
        // "YYYY-MM-DD HH:MM:SS" CR LF "writer X entry NNNN" ...
        const std::string_view text = entry.substr(std::min(entry.size(), kStampLength + 2));
        ASSERT_TRUE(IsTimestamp(entry.substr(0, kStampLength)) && entry.substr(kStampLength, 2) == "\r\n" &&
                    text.starts_with(kWriterTag) && text.size() > kNumberAt + 4)
            << "entry " << entries << " is broken:\n"
            << entry;
        const char writer = text[kWriterTag.size()];
        const int index = std::atoi(std::string(text.substr(kNumberAt, 4)).c_str());
        ASSERT_EQ(text, EntryText(writer, index)) << "entry " << entries << " is broken";
        seen[writer].push_back(index);
    }
    EXPECT_EQ(entries, static_cast<int>(writers.size()) * kEntriesPerWriter);
    std::vector<int> inOrder(kEntriesPerWriter);
    for (int i = 0; i < kEntriesPerWriter; ++i)
        inOrder[static_cast<std::size_t>(i)] = i;
    for (char writer : writers)
        EXPECT_EQ(seen[writer], inOrder) << "entries of writer " << writer;
}

} // namespace

TEST(TaxLogConcurrency, TwoThreadsKeepEveryEntryWhole) {
    TTempFolder folder;
    const std::string file = folder.File("threads.log");
    std::latch start(2); // both writers begin together, so that their entries really meet
    // A writer's failure (a lock it waited for too long, say) fails the test instead of ending the
    // test program from inside the thread.
    std::exception_ptr failures[2];
    const auto writer = [&](char name, std::exception_ptr& failure) {
        start.arrive_and_wait();
        try {
            WriteEntries(file, name);
        } catch (...) {
            failure = std::current_exception();
        }
    };
    std::thread first(writer, 'A', std::ref(failures[0]));
    std::thread second(writer, 'B', std::ref(failures[1]));
    first.join();
    second.join();
    for (const std::exception_ptr& failure : failures) {
        try {
            if (failure)
                std::rethrow_exception(failure);
        } catch (const std::exception& error) {
            FAIL() << "a writer failed: " << error.what();
        }
    }
    ExpectWholeEntriesInOrder(ReadBytes(file), "AB");
}

TEST(TaxLogConcurrency, TwoProcessesKeepEveryEntryWhole) {
    TTempFolder folder;
    const std::string file = folder.File("processes.log");
    // Both writers wait until the start pipe closes, so that they begin together.
    int startPipe[2];
    ASSERT_EQ(::pipe(startPipe), 0);
    std::vector<pid_t> children;
    for (char writer : {'P', 'Q'}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(startPipe[1]);
            char ignored = 0;
            while (::read(startPipe[0], &ignored, 1) < 0 && errno == EINTR) {
            }
            try {
                WriteEntries(file, writer);
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        children.push_back(child);
    }
    ::close(startPipe[1]);
    ::close(startPipe[0]);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer process failed";
    }
    ExpectWholeEntriesInOrder(ReadBytes(file), "PQ");
}
