// The wait of a store application's update for the outcome of its check, with the real check
// against the real reference server: a check that can never report ends the wait with 99 once
// nothing that could report has been under way for the stated limit, and the UI keeps running.
#include "common/Paths.h"
#include "tests/upgrade/UpgradeTestSupport.h"
#include "upgrade/PluginUpgrade.h"
#include "upgrade/ResultCodes.h"
#include "upgrade/WaitForResult.h"

#include <QElapsedTimer>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using qm::test::TTempFolder;
using qm::test::WriteBytes;
using upgrade_test::TOnline;

TEST(StoreAppUpdateWait, CheckThatCanNeverReportEndsWith99WithinTheLimitAndTheUiKeepsRunning) {
    TOnline online(true);
    TTempFolder served;
    qm::test::ReferenceServer server(served.Path());
    // Only the silent package is newer, and it is neither a program nor an archive: it is fetched
    // hidden and left in place, and nobody is ever told.
    std::filesystem::create_directories(served.Path() / "app");
    WriteBytes(served.File("app/upgrade.zip"), "[upgrade]\r\nver=1.0\r\n[silent]\r\nver=1.1\r\n");
    WriteBytes(served.File("app/readme.txt"), "read me");
    const std::string path = "Apps/wait-" + std::to_string(getpid());
    const std::string folder = qm::AppPath() + path + "/";
    std::filesystem::create_directories(folder);
    WriteBytes(folder + "Upgrade.txt", "[upgrade]\r\nver=1.0\r\nurl=" + server.URL("/app/app.zip") +
                                           "\r\n[silent]\r\nver=1.0\r\nurl=" + server.URL("/app/readme.txt") +
                                           "\r\n");
    const std::string silentFile = qm::DownloadPath() + "readme.txt";
    std::filesystem::remove(silentFile);

    qm::TUpgrade upgrade;
    int ticks = 0;
    QTimer uiTicks;
    uiTicks.setInterval(50);
    QObject::connect(&uiTicks, &QTimer::timeout, [&] { ++ticks; });
    uiTicks.start();
    // Were the wait unbounded, it would end only here, with 3, instead of hanging the test.
    constexpr int kRescueMs = 40000;
    QTimer::singleShot(kRescueMs, [&] {
        corvane::TBSONDocument done, unused;
        done.SetInteger("Result", qm::kStateDone);
        upgrade.CallBack(done, unused);
    });

    QElapsedTimer clock;
    clock.start();
    const int result = upgrade.UpgradeApp("990", path, "");
    const qint64 elapsed = clock.elapsed();

    EXPECT_EQ(result, qm::kStateSkipped);
    const qint64 limit = qm::kResultIdleLimit.count();
    EXPECT_GE(elapsed, limit);
    EXPECT_LT(elapsed, limit + 5000);
    EXPECT_TRUE(qm::FileExists(silentFile)) << "the check ran and fetched its silent package";
    EXPECT_FALSE(qm::FileExists(qm::DownloadPath() + "990.ini")) << "the state file goes after the wait";
    EXPECT_GT(ticks, elapsed / 50 / 2) << "the UI kept running while it waited";
    std::filesystem::remove_all(folder);
    std::filesystem::remove(silentFile);
}

} // namespace
