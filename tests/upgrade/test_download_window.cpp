// The download window against the real reference server and the real downloader: the queue, what
// becomes of a finished file, the user's pictures, and the network lost and found again.
#include "common/Paths.h"
#include "tests/upgrade/ArchiveMaker.h"
#include "tests/upgrade/SilentHeadServer.h"
#include "tests/upgrade/UpgradeTestSupport.h"
#include "upgrade/ClickImage.h"
#include "upgrade/DownloadState.h"
#include "upgrade/ExtractArchive.h"
#include "upgrade/FailureNotice.h"
#include "upgrade/FrmDownload.h"
#include "upgrade/MultipartDownloader.h"
#include "upgrade/ResultCodes.h"
#include "upgrade/UpdateJob.h"

#include <QCryptographicHash>
#include <QProgressBar>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

using qm::TFrmDownload;
using qm::TTaskObj;
using qm::test::ReadBytes;
using qm::test::TTempFolder;
using qm::test::WriteBytes;
using upgrade_test::WaitUntil;

QByteArray Sha256Of(const std::string& file) {
    return QCryptographicHash::hash(QByteArray::fromStdString(ReadBytes(file)), QCryptographicHash::Sha256);
}

class DownloadWindowTest : public ::testing::Test {
protected:
    // The failure messages a test left open would be counted by the next one.
    void TearDown() override { qm::CloseFailureNotices(); }

    TTaskObj& AddTask(const std::string& servedPath, const std::string& localName, bool isAppInstall,
                      const std::string& params = "") {
        auto task = std::make_unique<TTaskObj>();
        task->URL = server_.URL("/" + servedPath);
        task->LocalFile = local_.File(localName);
        task->IsAppInstall = isAppInstall;
        task->Params = params;
        task->OnDone = [this](TTaskObj&, int state, const std::string&) { reported_.push_back(state); };
        tasks_.push_back(std::move(task));
        window_.Queue.push_back(tasks_.back().get());
        return *tasks_.back();
    }
    std::string Info() const { return window_.lblInfo->text().toStdString(); }
    bool Reported() const { return !reported_.empty(); }

    TTempFolder served_;
    TTempFolder local_;
    qm::test::ReferenceServer server_{served_.Path(), {"--test-routes"}};
    std::vector<std::unique_ptr<TTaskObj>> tasks_;
    std::vector<int> reported_;
    TFrmDownload window_;
};

TEST_F(DownloadWindowTest, QueuedTasksAreNumberedAndOnlyTheLastIsReported) {
    WriteBytes(served_.File("part.bin"), std::string(3000, 'p'));
    for (const char* name : {"1.bin", "2.bin", "3.bin"})
        AddTask("slow/part.bin?rate=10000", name, false);
    std::vector<std::string> prefixes;
    window_.StartNext();
    ASSERT_TRUE(WaitUntil([&] {
        if (prefixes.empty() || prefixes.back() != window_.Prefix)
            prefixes.push_back(window_.Prefix);
        return Reported();
    }));
    EXPECT_EQ(prefixes, (std::vector<std::string>{"1/3  ", "2/2  ", "  "}));
    EXPECT_EQ(reported_, std::vector<int>{qm::kStateNone}) << "another extension ends with 0, reported once";
    for (const char* name : {"1.bin", "2.bin", "3.bin"})
        EXPECT_EQ(ReadBytes(local_.File(name)), std::string(3000, 'p')) << "left in place";
}

// A job runs without any window: everything it does reaches its listener through its signals,
// and a failure says why through error() and errorString().
TEST_F(DownloadWindowTest, AJobReportsThroughItsSignalsAlone) {
    WriteBytes(served_.File("data.bin"), std::string(200000, 'j'));
    const struct {
        const char* name;
        const char* served;
        int state;
        int error;
        const char* errorString;
    } cases[] = {
        {"fetched", "slow/data.bin?rate=25000", qm::kStateNone, 0, ""},
        {"not there", "missing.bin", qm::kStateFailed, qm::kStateFailed, "下载服务器应答了错误(HTTP 404)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTaskObj task;
        task.URL = server_.URL(std::string("/") + c.served);
        task.LocalFile = local_.File("job.bin");
        qm::TUpdateJob job(task);
        std::vector<qm::TUpdateJob::TStatus> statuses;
        std::vector<int> percents;
        std::vector<int> ends;
        QObject::connect(&job, &qm::TUpdateJob::statusChanged,
                         [&](auto status) { statuses.push_back(status); });
        QObject::connect(&job, &qm::TUpdateJob::progress, [&](int percent, qint64, qint64 total, qint64) {
            percents.push_back(percent);
            EXPECT_EQ(total, 200000);
        });
        QObject::connect(&job, &qm::TUpdateJob::finished,
                         [&](int state, const std::string&) { ends.push_back(state); });
        job.Start();
        EXPECT_TRUE(job.Running());
        ASSERT_TRUE(WaitUntil([&] { return !ends.empty(); }, 20000));
        QTest::qWait(100);
        EXPECT_EQ(ends, std::vector<int>{c.state}) << "finished once";
        EXPECT_FALSE(job.Running());
        EXPECT_EQ(job.State(), c.state);
        EXPECT_EQ(job.error(), c.error);
        EXPECT_EQ(job.errorString(), c.errorString);
        ASSERT_FALSE(statuses.empty());
        EXPECT_EQ(statuses.front(), qm::TUpdateJob::TStatus::Connecting);
        if (c.error == 0) {
            EXPECT_FALSE(percents.empty()) << "progress while the bytes came";
            EXPECT_EQ(ReadBytes(local_.File("job.bin")), std::string(200000, 'j'));
        } else {
            EXPECT_FALSE(qm::FileExists(local_.File("job.bin"))) << "a failed job leaves no partial file";
        }
        std::filesystem::remove(local_.File("job.bin"));
    }
}

TEST_F(DownloadWindowTest, AFinishedFileIsRunExtractedOrLeftByItsExtension) {
    const struct {
        const char* name;
        const char* served;
        std::string content;
        int state;
        bool kept; // the downloaded file stays
    } cases[] = {
        {"installer", "setup.run", upgrade_test::MarkerInstaller(), qm::kStateDone, false},
        {"installer, extension in capitals", "SETUP.SH", upgrade_test::MarkerInstaller(), qm::kStateDone,
         false},
        // Not a program this system can start: failed, not done.
        {"program that cannot start", "setup.exe", "MZ not a program here", qm::kStateFailed, false},
        {"installer that fails", "failing.run", "#!/bin/sh\nexit 3\n", qm::kStateFailed, false},
        {"other extension", "setup.msi", "data", qm::kStateNone, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reported_.clear();
        WriteBytes(served_.File(c.served), c.content);
        const std::string marker = local_.File(std::string("marker-") + c.served);
        AddTask(c.served, c.served, true, "\"" + marker + "\"");
        window_.StartNext();
        ASSERT_TRUE(WaitUntil([&] { return Reported(); }));
        EXPECT_EQ(reported_, std::vector<int>{c.state});
        EXPECT_EQ(qm::FileExists(local_.File(c.served)), c.kept);
        EXPECT_EQ(qm::FileExists(marker), c.state == qm::kStateDone);
        EXPECT_FALSE(window_.Busy);
    }
}

TEST_F(DownloadWindowTest, OfTwoUpgradeProgramsOnlyTheSecondIsReportedAndBothRun) {
    WriteBytes(served_.File("setup.run"), upgrade_test::MarkerInstaller());
    for (const char* name : {"first.run", "second.run"})
        AddTask("setup.run", name, false, "\"" + local_.File(std::string("marker-") + name) + "\"").Mode = 2;
    window_.StartNext();
    ASSERT_TRUE(WaitUntil([&] { return Reported(); }));
    QTest::qWait(200); // a report of the first would have come before the second's
    EXPECT_EQ(reported_, std::vector<int>{qm::kStateDone});
    EXPECT_EQ(window_.Prefix, "  ");
    for (const char* name : {"first.run", "second.run"}) {
        EXPECT_EQ(ReadBytes(local_.File(std::string("marker-") + name)), "installed") << name;
        EXPECT_FALSE(qm::FileExists(local_.File(name))) << name;
    }
}

TEST_F(DownloadWindowTest, AnArchiveIsDoneOnlyOnceExtractedIntoTheInstallation) {
    const std::string folder = qm::AppPath() + "DownloadedArchiveTest/";
    std::filesystem::remove_all(folder);
    qm::test::WriteArchive(
        served_.File("made.zip"),
        {qm::test::ArchiveEntry::File("DownloadedArchiveTest/inner/readme.txt", "unpacked")});
    const std::string good = ReadBytes(served_.File("made.zip"));
    const struct {
        const char* name;
        std::string archive;
        int state;
        const char* readme; // what the installation holds afterwards
        const char* message;
    } cases[] = {
        {"whole", good, qm::kStateDone, "unpacked", nullptr},
        {"cut short: nothing of it lands", good.substr(0, good.size() / 2), qm::kStateFailed, "before",
         "更新失败：更新包已损坏（pack.zip）"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reported_.clear();
        std::filesystem::create_directories(folder + "inner");
        WriteBytes(folder + "inner/readme.txt", "before");
        WriteBytes(served_.File("pack.zip"), c.archive);
        upgrade_test::TMessageRecorder messages;
        AddTask("pack.zip", "pack.zip", false);
        window_.StartNext();
        ASSERT_TRUE(WaitUntil([&] { return Reported(); }));
        EXPECT_EQ(reported_, std::vector<int>{c.state});
        EXPECT_FALSE(qm::ExtractionsPending()) << "reported once the extraction has ended";
        EXPECT_EQ(ReadBytes(folder + "inner/readme.txt"), c.readme);
        EXPECT_FALSE(qm::FileExists(local_.File("pack.zip"))) << "the archive is deleted after extraction";
        if (c.message != nullptr) {
            ASSERT_TRUE(WaitUntil([&] { return !messages.texts.empty(); }));
            EXPECT_EQ(messages.texts.front(), c.message);
        }
    }
    std::filesystem::remove_all(folder);
}

TEST_F(DownloadWindowTest, PauseAndResumeThroughThePicturesContinueWhereTheTransferStopped) {
    const std::string body = qm::test::ReadBytes("/proc/self/exe").substr(0, 300000);
    WriteBytes(served_.File("big.bin"), body);
    AddTask("slow/big.bin?rate=20000", "big.bin", true);
    window_.show();
    window_.StartNext();
    window_.hide();
    window_.show(); // shows the pictures of the running install task
    ASSERT_TRUE(WaitUntil([&] { return window_.Press->value() > 0; })) << Info() << " " << reported_.size();
    ASSERT_TRUE(window_.imgPause->isVisible());
    const QString tip = window_.Press->toolTip();
    EXPECT_TRUE(tip.contains(QStringLiteral("已下载")) && tip.contains(QStringLiteral("/s")))
        << tip.toStdString();
    // The pictures sit at the right edge, the status before them, the bar filling the rest; measured
    // on the window's outer size.
    const int w = window_.frameGeometry().width();
    const int h = window_.frameGeometry().height();
    EXPECT_EQ(window_.imgAbort->geometry(), QRect(w - 16 - 5, h / 2 - 8, 16, 16));
    EXPECT_EQ(window_.imgPause->geometry(), QRect(w - 16 - 5 - 17 - 5, h / 2 - 8, 17, 16));
    EXPECT_EQ(window_.imgDown->pos(), window_.imgPause->pos());
    EXPECT_EQ(window_.lblInfo->geometry().left(), w - 16 - 5 - 17 - 5 - 60 - 2);
    EXPECT_EQ(window_.lblInfo->width(), 60);
    EXPECT_EQ(window_.Press->geometry(), QRect(2, h / 2 - 5, w - 16 - 5 - 17 - 5 - 60 - 2 - 2, 10));
    QTest::mouseClick(window_.imgPause, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return Info().ends_with("暂停中... "); }));
    EXPECT_TRUE(window_.imgDown->isVisible());
    EXPECT_FALSE(window_.imgPause->isVisible());
    EXPECT_TRUE(window_.Busy) << "a pause is not the end";
    EXPECT_TRUE(qm::FileExists(local_.File("big.bin.Status")));

    // The click probes the address off the UI thread and resumes once it answers.
    QTest::mouseClick(window_.imgDown, Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return window_.imgPause->isVisible(); }));
    ASSERT_TRUE(WaitUntil([&] { return Reported(); }, 30000));
    EXPECT_EQ(reported_, std::vector<int>{qm::kStateNone});
    EXPECT_EQ(ReadBytes(local_.File("big.bin")), body);
    EXPECT_LT(window_.Job()->Downloader()->SessionBytes(), static_cast<std::int64_t>(body.size()))
        << "the resumed transfer fetched only what was missing";
    EXPECT_FALSE(qm::FileExists(local_.File("big.bin.Status")));
}

TEST_F(DownloadWindowTest, AFreshStartFindingResumeDataOfTheSameAddressResumes) {
    const std::string body = qm::test::ReadBytes("/proc/self/exe").substr(0, 300000);
    WriteBytes(served_.File("big.bin"), body);
    const std::string url = "slow/big.bin?rate=20000";
    {
        // A desk that dies mid-transfer leaves the partial file and its resume data behind.
        TFrmDownload dying;
        TTaskObj task;
        task.URL = server_.URL("/" + url);
        task.LocalFile = local_.File("big.bin");
        dying.Queue.push_back(&task);
        dying.StartNext();
        ASSERT_TRUE(WaitUntil([&] {
            const auto saved = qm::ReadDownloadState(local_.File("big.bin.Status"));
            return saved && std::ranges::any_of(saved->parts, [](const auto& part) { return part.done > 0; });
        }));
        std::filesystem::copy_file(local_.File("big.bin"), local_.File("kept.bin"));
        std::filesystem::copy_file(local_.File("big.bin.Status"), local_.File("kept.Status"));
    }
    std::filesystem::rename(local_.File("kept.bin"), local_.File("big.bin"));
    std::filesystem::rename(local_.File("kept.Status"), local_.File("big.bin.Status"));

    AddTask(url, "big.bin", false);
    window_.StartNext();
    ASSERT_TRUE(WaitUntil([&] { return Reported(); }, 30000));
    EXPECT_EQ(ReadBytes(local_.File("big.bin")), body);
    EXPECT_LT(window_.Job()->Downloader()->SessionBytes(), static_cast<std::int64_t>(body.size()))
        << "not started over";
}

TEST_F(DownloadWindowTest, TheBackgroundPictureIsShownOrItsAbsenceTold) {
    window_.ImageFile = qm::AppPath() + "Plugins/Upgrade/Pictures/dl_abort.png";
    window_.show();
    EXPECT_FALSE(window_.imgMe->pixmap().isNull());
    window_.hide();

    window_.ImageFile = local_.File("missing.png");
    upgrade_test::TMessageRecorder messages;
    QTimer::singleShot(0, &window_, [this] { window_.show(); });
    ASSERT_TRUE(WaitUntil([&] { return !messages.texts.empty(); }));
    EXPECT_EQ(messages.texts, std::vector<std::string>{"皮肤图片文件不存在！"});
    EXPECT_TRUE(window_.isVisible()) << "the window works without it";
}

TEST_F(DownloadWindowTest, AbortingAnInstallDeletesItsFilesAndTellsTheOwner) {
    WriteBytes(served_.File("big.run"), std::string(300000, '#'));
    AddTask("slow/big.run?rate=30000", "first.run", true);
    AddTask("big.run", "second.run", true);
    WriteBytes(local_.File("second.run"), "left from an earlier attempt");
    bool cancelled = false;
    window_.OnCancel = [&] { cancelled = true; };
    window_.StartNext();
    window_.show();
    ASSERT_TRUE(WaitUntil([&] { return window_.Press->value() > 0; }));
    QTest::mouseClick(window_.imgAbort, Qt::LeftButton);
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(window_.isVisible());
    EXPECT_FALSE(qm::FileExists(local_.File("first.run")));
    EXPECT_FALSE(qm::FileExists(local_.File("second.run")));
    ASSERT_TRUE(WaitUntil([&] { return Reported(); }));
    EXPECT_EQ(reported_, std::vector<int>{qm::kStateCancelled});
    EXPECT_TRUE(window_.Queue.empty());
}

TEST_F(DownloadWindowTest, AConnectionThatBringsNothingIsGivenUp) {
    const struct {
        const char* name;
        int getStatus;    // what a reachability check of the address sees
        int minimumTicks; // statistics ticks before giving up
        int mode;
        int state;
    } cases[] = {
        {"address not reachable", 404, 1, 0, qm::kStateCancelled},
        {"forced upgrade", 404, 1, 3, qm::kStateFailed},
        {"reachable but silent", 200, 10, 0, qm::kStateCancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reported_.clear();
        upgrade_test::TSilentHeadServer silent(c.getStatus);
        TTaskObj& task = AddTask("", "stalled.run", true);
        task.URL = silent.URL("/stalled.run");
        task.Mode = c.mode;
        QElapsedTimer clock;
        clock.start();
        window_.StartNext();
        ASSERT_TRUE(WaitUntil([&] { return Reported(); }, 20000));
        EXPECT_EQ(reported_, std::vector<int>{c.state});
        EXPECT_GE(clock.elapsed(), c.minimumTicks * 900);
        EXPECT_EQ(Info(), "  连接失败... ") << "one task: the prefix is two spaces";
        EXPECT_EQ(window_.Job()->StallTicks(), qm::TUpdateJob::kStallFailed);
        EXPECT_FALSE(qm::FileExists(local_.File("stalled.run")));
    }
}

TEST_F(DownloadWindowTest, AFailedTransferLeavesNoPartialFileAndTellsTheUser) {
    // Resume data of an earlier try of the same address would only bring the failure back.
    WriteBytes(local_.File("missing.run.Status"), "[GLOBAL]\r\nUrl=" + server_.URL("/missing.run") + "\r\n");
    upgrade_test::TMessageRecorder messages;
    AddTask("missing.run", "missing.run", true);
    window_.StartNext();
    ASSERT_TRUE(WaitUntil([&] { return Reported(); }));
    EXPECT_EQ(reported_, std::vector<int>{qm::kStateFailed});
    EXPECT_FALSE(qm::FileExists(local_.File("missing.run")));
    EXPECT_FALSE(qm::FileExists(local_.File("missing.run.Status")));
    ASSERT_TRUE(WaitUntil([&] { return !messages.texts.empty(); }));
    EXPECT_EQ(messages.texts.front(), "下载安装失败：下载服务器应答了错误(HTTP 404)（missing.run）");
}

TEST_F(DownloadWindowTest, ALostNetworkIsWaitedOutAndTheTransferGoesOnByItself) {
    WriteBytes(served_.File("big.bin"), std::string(400000, 'd'));
    AddTask("drop/big.bin", "big.bin", true);
    window_.StartNext();
    ASSERT_TRUE(WaitUntil([&] { return Info() == " 网络已断开"; }));
    EXPECT_TRUE(window_.Busy);
    EXPECT_EQ(reported_, std::vector<int>{});
    ASSERT_TRUE(WaitUntil([&] { return Info() != " 网络已断开"; }, 5000))
        << "the poll finds the address again";
    EXPECT_TRUE(window_.Busy);
    // The server cuts every answer short, so the loss comes back: the window keeps waiting it out.
    EXPECT_TRUE(WaitUntil([&] { return Info() == " 网络已断开"; }));
    EXPECT_FALSE(Reported());
    window_.imgAbortClick();
    ASSERT_TRUE(WaitUntil([&] { return Reported(); }));
    EXPECT_EQ(reported_, std::vector<int>{qm::kStateCancelled});
}

// The network goes in the middle of a transfer and comes back: the window says so, goes on by
// itself, and the file ends up exact.
TEST_F(DownloadWindowTest, ATransferSurvivesANetworkThatGoesAndComesBack) {
    std::string body = ReadBytes("/proc/self/exe").substr(0, 1500000);
    WriteBytes(served_.File("big.bin"), body);
    const QByteArray served = Sha256Of(served_.File("big.bin"));
    enum class Loss { ConnectionsCut, ServerGoneAWhile };
    const struct {
        const char* name;
        Loss loss;
        const char* path;
    } cases[] = {
        {"connections cut, three times", Loss::ConnectionsCut, "flaky/big.bin?times=3"},
        {"server killed and started again", Loss::ServerGoneAWhile, "slow/big.bin?rate=150000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reported_.clear();
        // A server of this case's own, so that it can go away and come back on its port.
        std::optional<qm::test::ReferenceServer> server(std::in_place, served_.Path(),
                                                        std::vector<std::string>{"--test-routes"});
        const std::string port = std::to_string(server->Port());
        TTaskObj& task = AddTask(c.path, "big.bin", true);
        task.URL = server->URL(std::string("/") + c.path);
        window_.StartNext();
        bool sawLoss = false;
        const auto watchLoss = [&] { return sawLoss = sawLoss || Info() == " 网络已断开"; };
        if (c.loss == Loss::ServerGoneAWhile) {
            ASSERT_TRUE(WaitUntil([&] { return window_.Press->value() >= 10; }));
            ::kill(server->ProcessId(), SIGKILL);
            server.reset();
            ASSERT_TRUE(WaitUntil(watchLoss));
            QTest::qWait(2500); // the poll finds nobody there
            EXPECT_EQ(Info(), " 网络已断开");
            EXPECT_TRUE(window_.Busy);
            server.emplace(served_.Path(), std::vector<std::string>{"--port", port, "--test-routes"});
        }
        ASSERT_TRUE(WaitUntil([&] { return watchLoss() && Reported(); }, 60000)) << Info();
        EXPECT_TRUE(sawLoss);
        EXPECT_EQ(reported_, std::vector<int>{qm::kStateNone});
        EXPECT_EQ(Sha256Of(local_.File("big.bin")).toHex().toStdString(), served.toHex().toStdString());
        EXPECT_FALSE(qm::FileExists(local_.File("big.bin.Status")));
        std::filesystem::remove(local_.File("big.bin"));
    }
}

} // namespace
