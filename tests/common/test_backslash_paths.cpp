#include "common/FileVersion.h"
#include "common/Internet.h"
#include "common/TaxLog.h"
#include "tests/common/TestFiles.h"
#include "tests/support/ReferenceServer.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>

using qm::test::ReadBytes;
using qm::test::ReferenceServer;
using qm::test::TTempFolder;
using qm::test::WriteBytes;

// File names from installation data and scripts join a native folder to a tail written with "\";
// each file-system edge of the support library reaches the file such a name means.
TEST(BackslashPaths, ReachTheFileTheyName) {
    TTempFolder served;
    WriteBytes(served.File("notes.txt"), "update notes\n");
    const ReferenceServer server(served.Path());

    TTempFolder dir;
    std::filesystem::create_directories(dir.Path() / "Data" / "Log");
    // This test program carries the version stamp too.
    std::filesystem::copy_file("/proc/self/exe", dir.Path() / "Data" / "stamped");

    struct TCase {
        const char* what;
        const char* tail; // below dir, with "\" separators
        // Does the work through the given name; true when the real file shows it.
        std::function<bool(const std::string& given, const std::string& real)> reach;
    };
    const TCase cases[] = {
        {"WriteLog", "Data\\Log\\LOG202401.log",
         [](const std::string& given, const std::string& real) {
             qm::TTaxLog::WriteLog(given, "发票已上传");
             return ReadBytes(real).ends_with("\r\n发票已上传\r\n\r\n");
         }},
        {"DownloadFile", "Data\\notes.txt",
         [&server](const std::string& given, const std::string& real) {
             return qm::DownloadFile(server.URL("/notes.txt"), given) && ReadBytes(real) == "update notes\n";
         }},
        {"GetFileVersionText", "Data\\stamped",
         [](const std::string& given, const std::string&) {
             return qm::GetFileVersionText(given) == QM_VERSION_TEXT;
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string given = dir.Path().string() + "/" + c.tail;
        std::string real = dir.Path().string() + "/" + c.tail;
        std::replace(real.begin(), real.end(), '\\', '/');
        EXPECT_TRUE(c.reach(given, real));
        // Nothing was made under a name with "\" in it.
        EXPECT_EQ(dir.EntryCount(), 1u);
    }
}
