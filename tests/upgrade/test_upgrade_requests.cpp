// The upgrade plug-in's requests through the real bus, against the real reference server. The
// test program's folder is the installation folder; IsOnline is switched through its test seam.
#include "common/IniFile.h"
#include "common/Paths.h"
#include "common/PlacementJournal.h"
#include "corvane/HandleTable.h"
#include "corvane/Khan.h"
#include "tests/upgrade/UpgradeTestSupport.h"
#include "upgrade/FrmDownload.h"
#include "upgrade/InstallMyappFrm.h"
#include "upgrade/PluginUpgrade.h"
#include "upgrade/ResultCodes.h"

#include <QFile>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace {

using corvane::IDataDocument;
using corvane::TakeDataDocument;
using qm::test::ReadBytes;
using qm::test::TTempFolder;
using qm::test::WriteBytes;
using upgrade_test::TMessageRecorder;
using upgrade_test::TOnline;
using upgrade_test::TRequester;
using upgrade_test::WaitUntil;

const std::string kUpgrade = qm::AppPath() + "Upgrade.dll";

class UpgradeRequestTest : public ::testing::Test {
protected:
    void TearDown() override {
        corvane::Khan().Invoke(kUpgrade, TakeDataDocument(99, 0));
        corvane::Khan_Free();
    }

    IDataDocument Invoke(const IDataDocument& request) { return corvane::Khan().Invoke(kUpgrade, request); }

    // A download request for a file of the served folder, saved into the temporary folder.
    IDataDocument Download(const std::string& served, const std::string& localName, const std::string& appid,
                           TRequester* requester, const std::string& params = "") {
        IDataDocument request = TakeDataDocument(2, 0);
        request->SetString("IntelFile", server_.URL("/" + served));
        request->SetString("LocalFile", local_.File(localName));
        request->SetString("params", params);
        request->SetString("appid", appid);
        if (requester != nullptr)
            qm::SetCallBackTarget(*request, *requester);
        return request;
    }

    static bool IsLiveWindow(std::int32_t handle) {
        return corvane::Handles().Find(handle, corvane::kHandleControl | corvane::kHandleForm) != nullptr;
    }

    TTempFolder served_;
    TTempFolder local_;
    qm::test::ReferenceServer server_{served_.Path(), {"--test-routes"}};
};

TEST_F(UpgradeRequestTest, OfflineRequestsDoNothingAtAll) {
    TOnline offline(false);
    WriteBytes(served_.File("setup.run"), upgrade_test::MarkerInstaller());
    TRequester requester;
    const IDataDocument answer =
        Invoke(Download("setup.run", "setup.run", "1", &requester, local_.File("marker")));
    EXPECT_FALSE(answer->HasItem("inst"));

    IDataDocument check = TakeDataDocument(1, 0);
    check->SetString("upfile", local_.File("missing/Upgrade.txt"));
    check->SetString("StateFile", local_.File("state.ini"));
    TMessageRecorder messages;
    Invoke(check);
    QTest::qWait(300);
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_FALSE(qm::FileExists(local_.File("state.ini")));
    EXPECT_FALSE(qm::FileExists(local_.File("setup.run")));
    EXPECT_TRUE(requester.results.empty());
}

TEST_F(UpgradeRequestTest, JobsOfOneAppIdAllStayUntilRequest99FreesThem) {
    TOnline online(true);
    // Slow enough that both are still running when they are freed.
    WriteBytes(served_.File("big.bin"), std::string(200000, 'x'));
    const std::int32_t first =
        Invoke(Download("slow/big.bin?rate=20000", "a.bin", "7", nullptr))->GetValue("inst").AsInteger();
    const std::int32_t second =
        Invoke(Download("slow/big.bin?rate=20000", "b.bin", "7", nullptr))->GetValue("inst").AsInteger();
    EXPECT_NE(first, second);
    EXPECT_TRUE(IsLiveWindow(first));
    EXPECT_TRUE(IsLiveWindow(second));

    Invoke(TakeDataDocument(99, 0));
    EXPECT_FALSE(IsLiveWindow(first));
    EXPECT_FALSE(IsLiveWindow(second));
}

TEST_F(UpgradeRequestTest, AMissingUpgradeFileIsToldAndMarkedCancelledInTheStateFile) {
    TOnline online(true);
    const struct {
        const char* name;
        std::string upfile;
        std::string folder; // as the message shows it
        std::string stateFile;
    } cases[] = {
        {"relative", "NoSuchComponent/Upgrade.txt", qm::AppPath() + "NoSuchComponent/",
         local_.File("rel.ini")},
        {"absolute", local_.File("gone/Upgrade.txt"), local_.File("gone/"), local_.File("abs.ini")},
        {"no state file", local_.File("gone2/Upgrade.txt"), local_.File("gone2/"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TRequester requester;
        IDataDocument check = TakeDataDocument(1, 0);
        check->SetString("upfile", c.upfile);
        check->SetString("StateFile", c.stateFile);
        qm::SetCallBackTarget(*check, requester);
        TMessageRecorder messages;
        Invoke(check);
        EXPECT_EQ(messages.texts, std::vector<std::string>{c.folder + "目录下的升级文件不存在！"});
        if (!c.stateFile.empty()) {
            EXPECT_EQ(qm::IniReadString(c.stateFile, "Down", "States"), "98");
        }
        EXPECT_TRUE(requester.results.empty()) << "no callback for a missing file";
    }
}

TEST_F(UpgradeRequestTest, AFinishedInstallerReachesTheRequestersCallBackWithItsResult) {
    TOnline online(true);
    WriteBytes(served_.File("setup.run"), upgrade_test::MarkerInstaller());
    TRequester requester;
    Invoke(Download("setup.run", "setup.run", "1", &requester, local_.File("marker")));
    ASSERT_TRUE(WaitUntil([&] { return !requester.results.empty(); }));
    EXPECT_EQ(requester.results, std::vector<int>{3});
    EXPECT_EQ(ReadBytes(local_.File("marker")), "installed");
    EXPECT_FALSE(qm::FileExists(local_.File("setup.run"))) << "the installer is deleted after its run";
}

TEST_F(UpgradeRequestTest, WithoutRebackMethodTheWorkIsDoneWithoutACallBack) {
    TOnline online(true);
    WriteBytes(served_.File("setup.run"), upgrade_test::MarkerInstaller());
    TRequester requester;
    IDataDocument request = Download("setup.run", "setup.run", "1", &requester, local_.File("marker"));
    request->Remove("reback_method");
    Invoke(request);
    ASSERT_TRUE(WaitUntil([&] { return qm::FileExists(local_.File("marker")); }));
    ASSERT_TRUE(WaitUntil([&] { return !qm::FileExists(local_.File("setup.run")); }));
    QTest::qWait(200);
    EXPECT_TRUE(requester.results.empty());
}

TEST_F(UpgradeRequestTest, ARequesterGoneBeforeTheEndIsSkipped) {
    TOnline online(true);
    WriteBytes(served_.File("setup.run"), "#!/bin/sh\nsleep 0.5\nprintf 'installed' > \"$1\"\n");
    auto requester = std::make_unique<TRequester>();
    Invoke(Download("setup.run", "setup.run", "1", requester.get(), local_.File("marker")));
    requester.reset();
    ASSERT_TRUE(WaitUntil([&] { return qm::FileExists(local_.File("marker")); }));
    EXPECT_TRUE(WaitUntil([&] { return !qm::FileExists(local_.File("setup.run")); }))
        << "the job ends normally, its callback skipped";
}

// A desk killed during an update left its staging and a half-done move: the next start of the
// plug-in puts the replaced file back and clears both.
TEST_F(UpgradeRequestTest, TheNextPluginStartClearsWhatAKilledExtractionLeft) {
    TOnline offline(false);
    const std::string work = qm::AppPath() + "Download/Extraction/";
    const std::string top = "LeftByAKill/";
    qm::EnsureDir(qm::AppPath() + top);
    qm::EnsureDir(work + "Staging/" + top);
    qm::EnsureDir(work + "Backup/replaced/" + top);
    WriteBytes(work + "Staging/" + top + "staged.txt", "left behind");
    WriteBytes(work + "Backup/replaced/" + top + "file.txt", "old");
    WriteBytes(qm::AppPath() + top + "file.txt", "new, half placed");
    ASSERT_EQ(
        qm::WriteJournal(work + "Backup/journal", {{qm::TJournalEntry::Kind::Replaced, top + "file.txt"}}),
        "");
    corvane::Khan().UnloadPlugin(kUpgrade);
    Invoke(TakeDataDocument(1, 0)); // offline: loads the plug-in and does nothing else
    EXPECT_FALSE(qm::DirectoryExists(work + "Staging"));
    EXPECT_FALSE(qm::DirectoryExists(work + "Backup"));
    EXPECT_EQ(ReadBytes(qm::AppPath() + top + "file.txt"), "old");
    std::filesystem::remove_all(qm::AppPath() + top);
}

TEST_F(UpgradeRequestTest, AfterTheObjectIsGoneTheNextRequestGetsAFreshOne) {
    TOnline online(true);
    WriteBytes(served_.File("big.bin"), std::string(200000, 'x'));
    const std::int32_t before =
        Invoke(Download("slow/big.bin?rate=20000", "a.bin", "1", nullptr))->GetValue("inst").AsInteger();
    ASSERT_TRUE(IsLiveWindow(before));
    corvane::Khan().UnloadPlugin(kUpgrade);
    EXPECT_TRUE(WaitUntil([&] { return !IsLiveWindow(before); })) << "the object freed its jobs with it";

    const std::int32_t after =
        Invoke(Download("slow/big.bin?rate=20000", "b.bin", "1", nullptr))->GetValue("inst").AsInteger();
    EXPECT_TRUE(IsLiveWindow(after));
    EXPECT_NE(after, before);
}

TEST_F(UpgradeRequestTest, AnUpgradeFileIsFoundRelativeToTheHostFolderOrAtItsAbsolutePath) {
    TOnline online(true);
    WriteBytes(served_.File("upgrade.zip"), "[upgrade]\nver=1\n");
    const std::string upgradeText = "[upgrade]\nver=1\nurl=" + server_.URL("/Setup.run") + "\n";
    const std::string relativeDir = "UpgradeHandOverTest/";
    qm::EnsureDir(qm::AppPath() + relativeDir);
    WriteBytes(qm::AppPath() + relativeDir + "Upgrade.txt", upgradeText);
    WriteBytes(local_.File("Upgrade.txt"), upgradeText);
    for (const std::string& upfile : {relativeDir + "Upgrade.txt", local_.File("Upgrade.txt")}) {
        SCOPED_TRACE(upfile);
        TRequester requester;
        IDataDocument check = TakeDataDocument(1, 0);
        check->SetString("upfile", upfile);
        check->SetString("StateFile", local_.File("state.ini"));
        qm::SetCallBackTarget(*check, requester);
        TMessageRecorder messages;
        const IDataDocument answer = Invoke(check);
        EXPECT_EQ(answer->GetCount(), 0);
        ASSERT_TRUE(WaitUntil([&] { return !requester.results.empty(); }));
        EXPECT_EQ(requester.results, std::vector<int>{99}) << "found, read, and already current";
        EXPECT_TRUE(messages.texts.empty());
    }
    EXPECT_FALSE(qm::FileExists(local_.File("state.ini")));
    EXPECT_FALSE(qm::FileExists(local_.File("Upgrade.ini"))) << "the descriptor copy is deleted";
    std::filesystem::remove_all(qm::AppPath() + relativeDir);
}

} // namespace

TEST_F(UpgradeRequestTest, AFileIsWrittenByOneTransferAtATime) {
    TOnline online(true);
    // Slow enough that the second request comes while the first transfer runs; the installer
    // appends, so that every run of it shows.
    const std::string installer =
        "#!/bin/sh\nprintf 'installed;' >> \"$1\"\n# " + std::string(40000, 'x') + "\n";
    WriteBytes(served_.File("setup.run"), installer);
    WriteBytes(served_.File("other.run"), installer);
    const struct {
        const char* name;
        const char* secondAddress;
        int secondResult;
        const char* marker;
    } cases[] = {
        {"same address: the second joins the first", "slow/setup.run?rate=40000", qm::kStateDone,
         "installed;"},
        {"another address: the second is refused", "slow/other.run?rate=40000", qm::kStateFailed,
         "installed;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(local_.File("marker").c_str());
        TMessageRecorder messages;
        TRequester first;
        TRequester second;
        Invoke(Download("slow/setup.run?rate=40000", "setup.run", "1", &first, local_.File("marker")));
        Invoke(Download(c.secondAddress, "setup.run", "1", &second, local_.File("marker")));
        ASSERT_TRUE(WaitUntil([&] { return !first.results.empty() && !second.results.empty(); }, 30000));
        EXPECT_EQ(first.results, std::vector<int>{qm::kStateDone});
        EXPECT_EQ(second.results, std::vector<int>{c.secondResult});
        EXPECT_EQ(ReadBytes(local_.File("marker")), c.marker) << "fetched and run once";
        EXPECT_EQ(messages.texts.empty(), c.secondResult == qm::kStateDone);
        Invoke(TakeDataDocument(99, 0));
    }
}

TEST_F(UpgradeRequestTest, ADownloadFileThatCannotBeMadeEndsTheTaskAndTheInstallWindow) {
    TOnline online(true);
    WriteBytes(served_.File("setup.run"), upgrade_test::MarkerInstaller());
    TMessageRecorder messages;
    TRequester requester;
    Invoke(Download("setup.run", "missing-folder/setup.run", "1", &requester, local_.File("marker")));
    ASSERT_TRUE(WaitUntil([&] { return !requester.results.empty(); }));
    EXPECT_EQ(requester.results, std::vector<int>{qm::kStateFailed});
    ASSERT_TRUE(WaitUntil([&] { return !messages.texts.empty(); }));
    EXPECT_EQ(messages.texts.front(), "下载安装失败：无法创建下载文件（setup.run）");

    // The store's install window closes by itself instead of waiting without a close box.
    const std::string outcome = qm::InstallDialog(local_.File("missing-folder/app.run"),
                                                  server_.URL("/setup.run"), "正在下载安装", "", "");
    EXPECT_EQ(outcome, "4");
    EXPECT_FALSE(qm::FileExists(local_.File("marker")));
}
