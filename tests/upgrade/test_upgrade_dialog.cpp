// Update checks through the real bus and the real plug-in, against the real reference server: the
// upgrade notice, silent and forced packages, duplicate checks, the thread outcomes arrive on, and
// packages refused by their digest or signature. Qt's offscreen platform.
#include "common/Paths.h"
#include "corvane/Khan.h"
#include "tests/upgrade/SigningSupport.h"
#include "tests/upgrade/UpgradeTestSupport.h"
#include "upgrade/IssuedState.h"
#include "upgrade/PackageIntegrity.h"
#include "upgrade/ResultCodes.h"

#include <QApplication>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

using corvane::IDataDocument;
using corvane::TakeDataDocument;
using qm::test::ReadBytes;
using qm::test::TTempFolder;
using qm::test::WriteBytes;
using upgrade_test::TOnline;
using upgrade_test::TRequester;
using upgrade_test::WaitUntil;

const std::string kUpgrade = qm::AppPath() + "Upgrade.dll";

// The plug-in's notice, known by its parts (its class lives in the plug-in's own copy of the code).
QDialog* UpgradeDialog() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QStringLiteral("FrmUpgrade"))
            return qobject_cast<QDialog*>(window);
    return nullptr;
}

bool DialogVisible() {
    const QDialog* dialog = UpgradeDialog();
    return dialog != nullptr && dialog->isVisible();
}

QPushButton* Button(const char* name) {
    return UpgradeDialog()->findChild<QPushButton*>(QString::fromLatin1(name));
}

// The status text of the download strip docked in the notice; "" when nothing is docked.
std::string DockedStatus() {
    const auto* dock = UpgradeDialog()->findChild<QFrame*>(QStringLiteral("pnlDock"));
    for (const QWidget* docked : dock->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (docked->isVisible())
            for (const QLabel* label : docked->findChildren<QLabel*>())
                if (!label->text().isEmpty())
                    return label->text().toStdString();
    return {};
}

// An installer (".run") that writes its first argument's file; padded so that a slow transfer of it
// takes a while.
std::string PaddedInstaller(std::size_t padding = 0) {
    return upgrade_test::MarkerInstaller() + "# " + std::string(padding, 'x') + "\n";
}

// Every top-level window seen visible while it lives.
class TVisibleWindows {
public:
    TVisibleWindows() {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget* window : QApplication::topLevelWidgets())
                if (window->isVisible())
                    seen = true;
        });
        timer_.start();
    }
    bool seen = false;

private:
    QTimer timer_;
};

// A requester that also notes the thread each outcome arrived on.
class TThreadRequester : public TRequester {
public:
    void CallBack(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
        threads.push_back(std::this_thread::get_id());
        TRequester::CallBack(req, res);
    }
    std::vector<std::thread::id> threads;

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override {
        static const corvane::TPublishedMethod methods[] = {CORVANE_PUBLISH(TThreadRequester, CallBack)};
        return methods;
    }
};

class UpgradeDialogTest : public ::testing::Test {
protected:
    void TearDown() override {
        corvane::Khan_Free();
        std::filesystem::remove_all(qm::AppPath() + "Download");
    }

    // A component folder served as /name/: its descriptor and packages; Upgrade.txt in the local
    // folder (under name/) naming main package "Setup.run" and silent package "Silent.run".
    // Both installed versions are "1".
    std::string Component(const std::string& name, const std::string& descriptor,
                          const std::string& urlPrefix = "") {
        qm::EnsureDir(served_.File(name));
        qm::EnsureDir(local_.File(name));
        WriteBytes(served_.File(name + "/upgrade.zip"), descriptor);
        WriteBytes(local_.File(name + "/Upgrade.txt"),
                   "[upgrade]\nver=1\nurl=" + server_.URL(urlPrefix + "/" + name + "/Setup.run") +
                       "\n[silent]\nver=1\nurl=" + server_.URL("/" + name + "/Silent.run") + "\n");
        return local_.File(name + "/Upgrade.txt");
    }

    IDataDocument Check(const std::string& upfile, corvane::TPlugin& requester) {
        IDataDocument check = TakeDataDocument(1, 0);
        check->SetString("upfile", upfile);
        check->SetString("StateFile", local_.File("state.ini"));
        qm::SetCallBackTarget(*check, requester);
        return corvane::Khan().Invoke(kUpgrade, check);
    }

    TOnline online_{true};
    TTempFolder served_;
    TTempFolder local_;
    qm::test::ReferenceServer server_{served_.Path(), {"--test-routes"}};
};

TEST_F(UpgradeDialogTest, OnlyTheSilentPackageNewerDownloadsHiddenWithoutADialog) {
    const std::string upfile = Component("comp", "[upgrade]\nver=1\n[silent]\nver=2\n");
    // The silent package gets no parameters: it knows its marker itself.
    WriteBytes(served_.File("comp/Silent.run"), "#!/bin/sh\nprintf 'silent' > \"" +
                                                    local_.File("silent-marker") + "\"\n# " +
                                                    std::string(20000, 'x') + "\n");
    TRequester requester;
    TVisibleWindows windows;
    Check(upfile, requester);
    ASSERT_TRUE(WaitUntil([&] { return !requester.results.empty(); }));
    EXPECT_EQ(requester.results, std::vector<int>{3});
    EXPECT_EQ(ReadBytes(local_.File("silent-marker")), "silent");
    EXPECT_FALSE(windows.seen) << "neither the notice nor the download strip is shown";
    EXPECT_FALSE(qm::FileExists(qm::DownloadPath() + "Silent.run"));
}

TEST_F(UpgradeDialogTest, AForcedUpgradeShowsTheDialogDownloadingWithoutItsButton) {
    const std::string upfile =
        Component("comp", "[upgrade]\nver=V2\nforce=1\nparams=" + local_.File("marker") +
                              "\nurl=" + server_.URL("/slow/comp/Setup.run?rate=10000") +
                              "\nVER 2 BUILD 1\nfaster start\n");
    WriteBytes(served_.File("comp/Setup.run"), PaddedInstaller(30000));
    TRequester requester;
    Check(upfile, requester);
    ASSERT_TRUE(WaitUntil(DialogVisible));
    QDialog* dialog = UpgradeDialog();
    EXPECT_EQ(dialog->windowTitle().toStdString(), "升级提示");
    EXPECT_EQ(dialog->size(), QSize(391, 228));
    EXPECT_TRUE(dialog->isModal());
    EXPECT_EQ(dialog->findChild<QPlainTextEdit*>(QStringLiteral("cxmInfo"))->geometry(),
              QRect(5, 5, 380, 177));
    EXPECT_EQ(dialog->findChild<QFrame*>(QStringLiteral("pnlDock"))->geometry(), QRect(5, 185, 220, 38));
    EXPECT_EQ(Button("btnDown")->geometry(), QRect(231, 192, 75, 25));
    EXPECT_EQ(Button("btnDown")->text().toStdString(), "升级");
    EXPECT_EQ(Button("btnCancle")->geometry(), QRect(310, 192, 75, 25));
    EXPECT_EQ(Button("btnCancle")->text().toStdString(), "取消");
    EXPECT_FALSE(Button("btnDown")->isVisible()) << "a forced upgrade presses 升级 itself";
    EXPECT_TRUE(Button("btnCancle")->isVisible());
    EXPECT_NE(DockedStatus().find("正在"), std::string::npos)
        << "the download is running: " << DockedStatus();
    EXPECT_EQ(dialog->findChild<QPlainTextEdit*>(QStringLiteral("cxmInfo"))->toPlainText().toStdString(),
              "Ver 2\nfaster start");
    EXPECT_TRUE(requester.results.empty());

    ASSERT_TRUE(WaitUntil([&] { return !requester.results.empty(); }));
    EXPECT_EQ(requester.results, std::vector<int>{3});
    EXPECT_EQ(ReadBytes(local_.File("marker")), "installed");
    EXPECT_FALSE(DialogVisible()) << "done closes the dialog";
}

TEST_F(UpgradeDialogTest, TheNoticeShowsItsNotesAndScrollsOnlyBeyondTenLines) {
    const auto notes = [](int count) {
        std::string text = "Ver 2 Build 3\n";
        for (int i = 1; i <= count; ++i)
            text += "note " + std::to_string(i) + "\n";
        return text;
    };
    const struct {
        const char* name;
        std::string force;
        std::string notes;
        std::string memo;
        bool scrollBar;
    } cases[] = {
        {"10 lines", "", notes(9),
         "2\nnote 1\nnote 2\nnote 3\nnote 4\nnote 5\nnote 6\nnote 7\nnote 8\nnote 9", false},
        {"11 lines", "", notes(10),
         "2\nnote 1\nnote 2\nnote 3\nnote 4\nnote 5\nnote 6\nnote 7\nnote 8\nnote 9\nnote 10", true},
        {"no header line", "", "first note\nlast note\n", "2\nlast note", false},
        {"force not an integer: not forced", "yes", "Ver 2 Build 3\nnote\n", "2\nnote", false},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "comp" + std::to_string(++run);
        const std::string upfile =
            Component(name, "[upgrade]\nver=2\nforce=" + c.force +
                                "\nurl=" + server_.URL("/" + name + "/Setup.run") + "\n" + c.notes);
        TRequester requester;
        Check(upfile, requester);
        ASSERT_TRUE(WaitUntil(DialogVisible));
        const auto* memo = UpgradeDialog()->findChild<QPlainTextEdit*>(QStringLiteral("cxmInfo"));
        EXPECT_EQ(memo->toPlainText().toStdString(), c.memo);
        EXPECT_EQ(memo->verticalScrollBar()->isVisible(), c.scrollBar);
        EXPECT_TRUE(Button("btnDown")->isVisible());
        EXPECT_TRUE(Button("btnDown")->isEnabled());
        EXPECT_EQ(DockedStatus(), "") << "nothing downloads before 升级";
        Button("btnCancle")->click();
        EXPECT_FALSE(DialogVisible());
        ASSERT_TRUE(WaitUntil([&] { return !requester.results.empty(); }));
        EXPECT_EQ(requester.results, std::vector<int>{qm::kStateCancelled}) << "declining is heard at once";
        corvane::Khan_Free();
    }
}

TEST_F(UpgradeDialogTest, ADeclinedNoticeLeavesNothingForTheNextOneToFetchTwice) {
    // The installer appends, so that every run of it shows.
    const std::string upfile =
        Component("comp", "[upgrade]\nver=2\nparams=" + local_.File("marker") +
                              "\nurl=" + server_.URL("/slow/comp/Setup.run?rate=20000") + "\n");
    WriteBytes(served_.File("comp/Setup.run"),
               "#!/bin/sh\nprintf 'installed;' >> \"$1\"\n# " + std::string(20000, 'x') + "\n");
    TRequester requester;
    Check(upfile, requester);
    ASSERT_TRUE(WaitUntil(DialogVisible));
    Button("btnCancle")->click();
    ASSERT_TRUE(WaitUntil([&] { return !requester.results.empty(); }));

    Check(upfile, requester);
    ASSERT_TRUE(WaitUntil(DialogVisible));
    Button("btnDown")->click();
    ASSERT_TRUE(WaitUntil([&] { return requester.results.size() == 2; }, 30000));
    QTest::qWait(300);
    EXPECT_EQ(requester.results, (std::vector<int>{qm::kStateCancelled, qm::kStateDone}));
    EXPECT_EQ(ReadBytes(local_.File("marker")), "installed;") << "the package was fetched and run once";
}

TEST_F(UpgradeDialogTest, PressingUpgradeDownloadsInTheDockedStripAndRunsThePackage) {
    const std::string upfile =
        Component("comp", "[upgrade]\nver=2\nparams=" + local_.File("marker") +
                              "\nurl=" + server_.URL("/slow/comp/Setup.run?rate=10000") + "\n");
    WriteBytes(served_.File("comp/Setup.run"), PaddedInstaller(30000));
    TRequester requester;
    Check(upfile, requester);
    ASSERT_TRUE(WaitUntil(DialogVisible));
    Button("btnDown")->click();
    EXPECT_FALSE(Button("btnDown")->isEnabled());
    EXPECT_NE(DockedStatus().find("正在"), std::string::npos) << DockedStatus();
    ASSERT_TRUE(WaitUntil([&] { return !requester.results.empty(); }));
    EXPECT_EQ(requester.results, std::vector<int>{3});
    EXPECT_EQ(ReadBytes(local_.File("marker")), "installed");
    EXPECT_FALSE(DialogVisible());
}

// A notice offering two packages (the silent one is fetched first), closed after 升级 while the
// first downloads: that transfer is aborted, the second is never fetched, nothing is installed.
TEST_F(UpgradeDialogTest, ClosingTheNoticeDuringTheDownloadCancelsItOrFailsAForcedOne) {
    const struct {
        const char* name;
        std::string force;
        int result;
    } cases[] = {{"not forced", "0", 98}, {"forced", "1", 4}};
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "comp" + std::to_string(++run);
        const std::string upfile =
            Component(name, "[upgrade]\nver=2\nforce=" + c.force + "\nparams=" + local_.File("marker") +
                                "\nurl=" + server_.URL("/slow/" + name + "/Setup.run?rate=2000") +
                                "\n[silent]\nver=2\n");
        WriteBytes(local_.File(name + "/Upgrade.txt"),
                   "[upgrade]\nver=1\nurl=" + server_.URL("/" + name + "/Setup.run") +
                       "\n[silent]\nver=1\nurl=" + server_.URL("/slow/" + name + "/Silent.run?rate=2000") +
                       "\n");
        WriteBytes(served_.File(name + "/Setup.run"), PaddedInstaller(60000));
        WriteBytes(served_.File(name + "/Silent.run"), "#!/bin/sh\nprintf 'installed' > '" +
                                                           local_.File("silent-marker") + "'\n# " +
                                                           std::string(6000, 'x') + "\n");
        TRequester requester;
        Check(upfile, requester);
        ASSERT_TRUE(WaitUntil(DialogVisible));
        if (Button("btnDown")->isVisible())
            Button("btnDown")->click();
        ASSERT_NE(DockedStatus(), "");
        Button("btnCancle")->click();
        EXPECT_FALSE(DialogVisible());
        ASSERT_TRUE(WaitUntil([&] { return !requester.results.empty(); }));
        QTest::qWait(5000); // time for the second package, were it fetched
        EXPECT_EQ(requester.results, std::vector<int>{c.result});
        EXPECT_FALSE(qm::FileExists(local_.File("marker")));
        EXPECT_FALSE(qm::FileExists(local_.File("silent-marker")));
        corvane::Khan_Free();
    }
}

// One component's notice while another component's silent package downloads hidden: the offered
// package waits for 升级 (and is not fetched when the hidden one ends), and 取消 takes back only
// the notice's own package; the silent one is still installed and reported.
TEST_F(UpgradeDialogTest, ANoticeAndAnotherComponentsHiddenTransferStayApart) {
    enum class TUser { UpgradeThenCancel, LeavesItOpenThenCancels, Upgrades };
    const struct {
        const char* name;
        TUser user;
        std::vector<int> results; // sorted
    } cases[] = {
        {"升级 then 取消 during the hidden transfer",
         TUser::UpgradeThenCancel,
         {qm::kStateDone, qm::kStateCancelled}},
        {"left open until the hidden package is in, then 取消",
         TUser::LeavesItOpenThenCancels,
         {qm::kStateDone, qm::kStateCancelled}},
        {"升级 during the hidden transfer", TUser::Upgrades, {qm::kStateDone, qm::kStateDone}},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string quietName = "quiet" + std::to_string(++run),
                          noisyName = "noisy" + std::to_string(run);
        const std::string quiet = Component(quietName, "[upgrade]\nver=1\n[silent]\nver=2\n");
        WriteBytes(quiet, "[upgrade]\nver=1\nurl=" + server_.URL("/" + quietName + "/Setup.run") +
                              "\n[silent]\nver=1\nurl=" + server_.URL("/slow/" + quietName + "/Silent.run") +
                              "\n");
        WriteBytes(served_.File(quietName + "/Silent.run"), "#!/bin/sh\nprintf 'quiet' > '" +
                                                                local_.File(quietName + "-marker") + "'\n# " +
                                                                std::string(100000, 'x') + "\n");
        const std::string marker = local_.File(noisyName + "-marker");
        const std::string noisy =
            Component(noisyName, "[upgrade]\nver=2\nparams=" + marker + "\nurl=" +
                                     server_.URL("/slow/" + noisyName + "/Setup.run?rate=4000") + "\n");
        WriteBytes(served_.File(noisyName + "/Setup.run"), PaddedInstaller(60000));
        TRequester requester;
        Check(quiet, requester);
        Check(noisy, requester);
        ASSERT_TRUE(WaitUntil(DialogVisible));
        if (c.user == TUser::LeavesItOpenThenCancels) {
            ASSERT_TRUE(WaitUntil([&] { return !requester.results.empty(); }, 30000));
            QTest::qWait(1000);
            EXPECT_EQ(requester.results, std::vector<int>{qm::kStateDone});
            EXPECT_FALSE(qm::FileExists(qm::DownloadPath() + "Setup.run")) << "fetched before 升级";
            ASSERT_TRUE(DialogVisible());
        } else {
            Button("btnDown")->click();
            ASSERT_NE(DockedStatus(), "");
        }
        if (c.user != TUser::Upgrades)
            Button("btnCancle")->click();
        ASSERT_TRUE(WaitUntil([&] { return requester.results.size() == 2; }, 40000))
            << ::testing::PrintToString(requester.results);
        std::vector<int> results = requester.results;
        std::sort(results.begin(), results.end());
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(ReadBytes(local_.File(quietName + "-marker")), "quiet")
            << "the hidden package is installed";
        EXPECT_EQ(qm::FileExists(marker), c.user == TUser::Upgrades);
        corvane::Khan_Free();
    }
}

// One component's descriptor refused while another's notice is shown: the notice stays, and its
// package is still installed when the user asks for it.
TEST_F(UpgradeDialogTest, OneComponentsRefusedDescriptorLeavesAnothersNoticeOpen) {
    TTempFolder keys;
    const upgrade_test::TPublisherKey publisher = upgrade_test::MakePublisherKey(keys.Path().string());
    const upgrade_test::TUpdateKeySetting setting(publisher.publicKey);
    qm::EnsureDir(served_.File("good"));
    WriteBytes(served_.File("good/Setup.run"), PaddedInstaller());
    upgrade_test::SignPackage(publisher, served_.File("good/Setup.run"));
    const std::string good =
        Component("good", "[upgrade]\nver=2\nissued=1\ncomponent=/good/\nexpires=20991231000000\n" +
                              upgrade_test::PackageLines(served_.File("good/Setup.run")) + "\nparams=" +
                              local_.File("marker") + "\nurl=" + server_.URL("/good/Setup.run") + "\n");
    upgrade_test::SignDescriptor(publisher, served_.File("good/upgrade.zip"));
    const std::string refused = Component("refused", "[upgrade]\nver=2\nissued=1\n");
    upgrade_test::TMessageRecorder messages;
    TRequester requester;
    Check(good, requester);
    ASSERT_TRUE(WaitUntil(DialogVisible));
    Check(refused, requester);
    ASSERT_TRUE(WaitUntil([&] { return !requester.results.empty(); }));
    QTest::qWait(200);
    EXPECT_EQ(requester.results, std::vector<int>{qm::kStateFailed});
    ASSERT_TRUE(DialogVisible()) << "the other component's notice stays";
    Button("btnDown")->click();
    ASSERT_TRUE(WaitUntil([&] { return requester.results.size() == 2; }, 30000));
    EXPECT_EQ(requester.results, (std::vector<int>{qm::kStateFailed, qm::kStateDone}));
    EXPECT_EQ(ReadBytes(local_.File("marker")), "installed");
}

TEST_F(UpgradeDialogTest, ASecondCheckOfAPendingFileIsDropped) {
    // The first check's descriptor trickles in, so the next two wait behind it.
    const std::string late =
        Component("late", "[upgrade]\nver=1\n;" + std::string(6000, 'x') + "\n", "/slow");
    const std::string other = Component("other", "[upgrade]\nver=1\n");
    TThreadRequester requester;
    Check(late, requester);
    // Only once the worker is inside the first check, its copy of the descriptor begun: a worker that
    // woke late would take the first two checks together, and the third would then find nothing
    // pending and rightly be checked.
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(local_.File("late/Upgrade.ini")); }));
    Check(other, requester);
    Check(other, requester);
    ASSERT_TRUE(WaitUntil([&] { return requester.results.size() >= 2; }));
    QTest::qWait(500);
    EXPECT_EQ(requester.results, (std::vector<int>{99, 99})) << "one outcome per file";
}

TEST_F(UpgradeDialogTest, SkippedOutcomesArriveOnTheUiThread) {
    const std::string current = Component("current", "[upgrade]\nver=1\n");
    WriteBytes(local_.File("gone.txt"), "[upgrade]\nver=1\nurl=" + server_.URL("/gone/Setup.run") + "\n");
    for (const std::string& upfile : {current, local_.File("gone.txt")}) {
        SCOPED_TRACE(upfile);
        TThreadRequester requester;
        Check(upfile, requester);
        ASSERT_TRUE(WaitUntil([&] { return !requester.results.empty(); }));
        EXPECT_EQ(requester.results, std::vector<int>{99});
        EXPECT_EQ(requester.threads, std::vector<std::thread::id>{std::this_thread::get_id()});
    }
}

// Under a key the descriptor must be signed as well: a refused one is reported failed and shown to
// the user, and nothing is downloaded.
TEST_F(UpgradeDialogTest, APackageOrDescriptorFailingItsDigestOrSignatureIsRefused) {
    TTempFolder keys;
    const upgrade_test::TPublisherKey publisher = upgrade_test::MakePublisherKey(keys.Path().string());
    const std::string installer = "#!/bin/sh\nprintf 'silent' > \"" + local_.File("silent-marker") + "\"\n";
    const std::string refusedMessage = "升级信息未通过安全校验，已拒绝本次升级！";
    // The main package stays at version 1; under a key its digest is named all the same.
    const std::string mainDigest(64, 'c');
    enum class Descriptor { Plain, Signed, ForgedAfterSigning };
    const struct {
        const char* name;
        bool keyConfigured;
        bool signedPackage;
        bool rightDigest;
        Descriptor descriptor;
        int result;
    } cases[] = {
        {"right digest", false, false, true, Descriptor::Plain, 3},
        {"wrong digest", false, false, false, Descriptor::Plain, 4},
        {"signed", true, true, true, Descriptor::Signed, 3},
        {"unsigned under a key", true, false, true, Descriptor::Signed, 4},
        {"signed, wrong digest", true, true, false, Descriptor::Signed, 4},
        {"descriptor not signed under a key", true, true, true, Descriptor::Plain, 4},
        {"descriptor changed after signing", true, true, true, Descriptor::ForgedAfterSigning, 4},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(local_.File("silent-marker"));
        const std::string name = "comp" + std::to_string(++run);
        qm::EnsureDir(served_.File(name));
        WriteBytes(served_.File(name + "/Silent.run"), installer);
        if (c.signedPackage)
            upgrade_test::SignPackage(publisher, served_.File(name + "/Silent.run"));
        const std::string digest =
            c.rightDigest ? qm::FileSha256(served_.File(name + "/Silent.run")) : std::string(64, '0');
        const std::string head = "[upgrade]\nver=1\nissued=7\ncomponent=/" + name +
                                 "/\nexpires=20991231000000\nsha256=" + mainDigest +
                                 "\nlength=1\n[silent]\nsha256=" + digest +
                                 "\nlength=" + std::to_string(installer.size()) + "\n";
        const std::string upfile = Component(name, head + "ver=2\n");
        if (c.descriptor != Descriptor::Plain)
            upgrade_test::SignDescriptor(publisher, served_.File(name + "/upgrade.zip"));
        if (c.descriptor == Descriptor::ForgedAfterSigning)
            WriteBytes(served_.File(name + "/upgrade.zip"), head + "ver=3\n");
        std::unique_ptr<upgrade_test::TUpdateKeySetting> setting;
        if (c.keyConfigured)
            setting = std::make_unique<upgrade_test::TUpdateKeySetting>(publisher.publicKey);
        const bool descriptorRefused = c.keyConfigured && c.descriptor != Descriptor::Signed;
        upgrade_test::TMessageRecorder messages;
        TRequester requester;
        Check(upfile, requester);
        ASSERT_TRUE(WaitUntil([&] { return !requester.results.empty(); }));
        // A refused descriptor or package is told to the user; a good one says nothing.
        std::vector<std::string> told;
        if (descriptorRefused)
            told = {refusedMessage};
        else if (c.result == 4)
            told = {"更新失败：文件没有通过完整性校验，已删除（Silent.run）"};
        ASSERT_TRUE(WaitUntil([&] { return messages.texts.size() == told.size(); }));
        QTest::qWait(100);
        EXPECT_EQ(requester.results, std::vector<int>{c.result});
        EXPECT_EQ(messages.texts, told);
        EXPECT_EQ(qm::FileExists(local_.File("silent-marker")), c.result == 3);
        EXPECT_FALSE(qm::FileExists(qm::DownloadPath() + "Silent.run"));
    }
    std::filesystem::remove(qm::IssuedStateFile());
}

} // namespace
