// Store applications on the installed sample desk, on an X server of the test's own, against the
// real reference server serving what the sample's publisher script published: the store icon
// installs, updates and starts the application 3001 "税务便签". What happened is read from the
// application's files, its runs.txt (every start of its main.lua adds its version there) and the
// host's trace channel.
#include "SampleDesk.h"
#include "ScreenSearch.h"
#include "tests/support/ReferenceServer.h"

#include <QDate>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <pwd.h>
#include <regex>
#include <thread>
#include <unistd.h>

namespace qmtest {
namespace {

namespace fs = std::filesystem;

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 800;
constexpr auto kTimeout = 30s;

// The upgrade dialog and its buttons "升级" and "取消", in its client coordinates.
const char* const kUpgradeDialog = "升级提示";
const QPoint kUpgradeButton(231 + 37, 192 + 12);
const QPoint kCancelButton(310 + 37, 192 + 12);

const char* const kUnknownAppScript =
    "local ok, problem = pcall(plugin_invoke, {plugin = \"Upgrade.dll\", req_id = 3, app_id = 4242})\n"
    "log(\"未知应用: \" .. tostring(problem))\n";

void WriteWholeFile(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

void ReplaceInFile(const fs::path& file, const std::regex& pattern, const std::string& replacement) {
    const std::string before = ReadWholeFile(file);
    const std::string after = std::regex_replace(before, pattern, replacement);
    if (after == before)
        throw std::runtime_error("nothing to replace in " + file.string());
    WriteWholeFile(file, after);
}

void RunShell(const std::string& command) {
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("failed: " + command);
}

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

class StoreSession : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qm-store-site-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        site_ = pattern;
        server_ =
            std::make_unique<qm::test::ReferenceServer>(site_, std::vector<std::string>{"--test-routes"});
        xserver_ = std::make_unique<TXServer>(kScreenWidth, kScreenHeight);
    }

    void TearDown() override {
        if (desk_) {
            EXPECT_TRUE(desk_->Host().Running()) << desk_->Host().Output();
        }
        desk_.reset();
        fs::remove_all(site_);
    }

    // Publishes the sample's updates on the server (signed with the sample's publisher key unless
    // told not to: a test that edits what was published after signing publishes unsigned) and
    // starts the desk; prepare then changes the installation or the published files before the
    // host starts. The desk's
    // own Upgrade.txt is left out unless deskUpdateSource, so no update check runs at start-up.
    void Start(const std::function<void(const fs::path&)>& prepare, bool signedPackages = true,
               const std::string& extraScript = "", bool deskUpdateSource = false) {
        desk_ = std::make_unique<TSampleDesk>(
            *xserver_, extraScript,
            [&](const fs::path& dir) {
                if (signedPackages)
                    fs::copy_file(fs::path(QM_SAMPLE_IMAGE_DIR) / "Config/brennik.xml",
                                  dir / "Config/brennik.xml");
                RunShell(std::string(QM_PUBLISH_SCRIPT) + " " + server_->BaseURL() + " " + Quoted(site_) +
                         " " + Quoted(dir) + " " + Quoted(QM_TAXNOTES_DIR) +
                         (signedPackages ? " " + std::string(QM_SIGN_FILE) : std::string()) + " >/dev/null");
                if (!deskUpdateSource)
                    fs::remove(dir / "Upgrade.txt");
                if (prepare)
                    prepare(dir);
            },
            false);
        window_ = xserver_->WindowOf(desk_->Host().Pid());
        ASSERT_FALSE(window_.isEmpty()) << desk_->Host().Output();
    }

    // Version 1.0 installed by its own installer, run the way the desk runs it.
    void Install(const fs::path& dir) const {
        fs::create_directories(dir / "Download");
        fs::copy_file(StoreFolder() / "setup.run", dir / "Download/3001.run");
        RunShell(Quoted(dir / "Download/3001.run"));
        fs::remove(dir / "Download/3001.run");
    }

    fs::path StoreFolder() const { return site_ / "appstore/3001"; }
    fs::path AppFolder() const { return desk_->Dir() / "Apps/3001"; }
    std::string Runs() const { return ReadWholeFile(AppFolder() / "runs.txt"); }
    std::string Output() const { return desk_->Host().Output(); }

    void ClickStore() const {
        const QImage icon = desk_->Picture("store_nor.png");
        std::optional<QPoint> at;
        ASSERT_TRUE(WaitUntil(
            [&] {
                at = FindPicture(xserver_->Screenshot(), icon);
                return at.has_value();
            },
            10s))
            << "the store icon is not on the bench";
        xserver_->Click(*at + QPoint(icon.width() / 2, icon.height() / 2));
    }

    // Waits for the upgrade dialog and presses one of its buttons.
    void PressInDialog(QPoint button) const {
        QRect dialog;
        ASSERT_TRUE(WaitUntil(
            [&] {
                dialog = xserver_->WindowNamed(kUpgradeDialog);
                return !dialog.isEmpty();
            },
            kTimeout))
            << "no upgrade dialog\n"
            << Output();
        xserver_->Click(dialog.topLeft() + button);
    }

    bool DialogGone() const {
        return WaitUntil([&] { return xserver_->WindowNamed(kUpgradeDialog).isEmpty(); }, kTimeout);
    }

    fs::path site_;
    std::unique_ptr<qm::test::ReferenceServer> server_;
    std::unique_ptr<TXServer> xserver_;
    std::unique_ptr<TSampleDesk> desk_;
    QRect window_;
};

TEST_F(StoreSession, NotInstalledIsInstalledRegisteredAndStartedAndThenRemembered) {
    Start({}, false, kUnknownAppScript);
    EXPECT_TRUE(desk_->Host().OutputContains("未知应用: 应用(4242)不存在！")) << Output();

    ClickStore();
    QRect install;
    ASSERT_TRUE(WaitUntil(
        [&] {
            install = xserver_->WindowNamed("正在下载安装\"税务便签\"");
            return !install.isEmpty();
        },
        kTimeout))
        << "no install window\n"
        << Output();
    EXPECT_EQ(install.size(), QSize(295, 59));
    ASSERT_TRUE(WaitUntil([&] { return Runs() == "1.0\n"; }, kTimeout)) << Output();
    EXPECT_TRUE(desk_->Host().WaitForOutput("应用(3001)安装结果 3")) << Output();
    EXPECT_TRUE(desk_->Host().WaitForOutput("税务便签 1.0 已启动"));
    EXPECT_TRUE(desk_->Host().WaitForOutput("税务便签: 便签页面")) << "the installer brought the plug-in";
    EXPECT_NE(ReadWholeFile(desk_->Dir() / "Config/AppInstall.sys").find("[3001]"), std::string::npos);
    EXPECT_FALSE(fs::exists(desk_->Dir() / "Download/3001.run")) << "the installer is deleted after its run";
    EXPECT_TRUE(
        WaitUntil([&] { return xserver_->WindowNamed("正在下载安装\"税务便签\"").isEmpty(); }, kTimeout));

    // The second start runs the remembered script: the registry is not read again. The notes page
    // covers the bench; the bench's tab brings it back.
    fs::remove(desk_->Dir() / "Config/AppInstall.sys");
    xserver_->Click(OnDeskStrip(window_, qm::test::TabMiddle(DeskStrip(window_), 0)));
    ClickStore();
    ASSERT_TRUE(WaitUntil([&] { return Runs() == "1.0\n1.0\n"; }, kTimeout)) << Output();
    EXPECT_EQ(desk_->Count("应用(3001)运行"), 2);
    EXPECT_EQ(desk_->Count("应用(3001)安装结果"), 1);
    EXPECT_TRUE(WaitUntil([&] { return desk_->Count("税务便签: 便签页面") == 2; }, kTimeout)) << Output();
}

TEST_F(StoreSession, UpdateOfferedAsZipReplacesTheFilesAndTheNewMainLuaRuns) {
    Start([&](const fs::path& dir) { Install(dir); });
    ClickStore();
    PressInDialog(kUpgradeButton);
    ASSERT_TRUE(WaitUntil([&] { return Runs() == "1.1\n"; }, kTimeout)) << Runs() << Output();
    EXPECT_TRUE(desk_->Host().WaitForOutput("应用(3001)更新结果 3")) << Output();
    EXPECT_NE(ReadWholeFile(AppFolder() / "main.lua").find("税务便签 1.1 已启动"), std::string::npos);
    EXPECT_NE(ReadWholeFile(AppFolder() / "Upgrade.txt").find("ver=1.1"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(AppFolder() / "TaxNotes.so"),
              ReadWholeFile(fs::path(QM_TAXNOTES_DIR) / "1.1/TaxNotes.so"))
        << "the update carries the plug-in with the search box";
    EXPECT_TRUE(desk_->Host().WaitForOutput("税务便签: 便签页面")) << Output();
    EXPECT_FALSE(fs::exists(desk_->Dir() / "Download/taxnotes.zip")) << "the archive goes after extraction";
    EXPECT_TRUE(DialogGone());
}

TEST_F(StoreSession, VersionsThatDifferOnlyInLetterCaseStartWithoutAnyNetworkAccess) {
    Start(
        [&](const fs::path& dir) {
            Install(dir);
            ReplaceInFile(dir / "Apps/3001/Upgrade.txt", std::regex("ver=1\\.0"), "ver=v1.0");
            ReplaceInFile(dir / "Plugins/Appstore/Issue.xml", std::regex("ver=\"1\\.1\""), "ver=\"V1.0\"");
        },
        false);
    // Nothing answers any more: a check would have to report, and "state" would be written.
    ASSERT_EQ(server_->Stop(), 0);
    ClickStore();
    ASSERT_TRUE(WaitUntil([&] { return Runs() == "1.0\n"; }, kTimeout)) << Output();
    EXPECT_FALSE(desk_->Host().OutputContains("更新结果")) << "no update was attempted";
    EXPECT_TRUE(xserver_->WindowNamed(kUpgradeDialog).isEmpty());
}

// The notes page reads the user's notes kept in the application's folder, and saves a note typed
// into it at once, beside the ones it read.
TEST_F(StoreSession, NotesPageRestoresTheSavedNotesAndSavesANoteAdded) {
    const fs::path notes =
        fs::path("Apps/3001/Notes") / (std::string(getpwuid(geteuid())->pw_name) + ".json");
    Start(
        [&](const fs::path& dir) {
            Install(dir);
            // The store offers the installed version: no update check.
            ReplaceInFile(dir / "Plugins/Appstore/Issue.xml", std::regex("ver=\"1\\.1\""), "ver=\"1.0\"");
            fs::create_directories((dir / notes).parent_path());
            WriteWholeFile(dir / notes, R"({"notes": [{"date": "2026-05-31", "text": "annual return"}]})");
        },
        false);
    ClickStore();
    ASSERT_TRUE(desk_->Host().WaitForOutput("，1 条便签", kTimeout)) << Output();

    xserver_->MoveMouse(window_.center());
    xserver_->Run("xdotool type --delay 40 'pay VAT'");
    xserver_->Run("xdotool key Return");
    const fs::path file = desk_->Dir() / notes;
    ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(file).find("pay VAT") != std::string::npos; }, kTimeout))
        << ReadWholeFile(file) << Output();
    const std::string saved = ReadWholeFile(file);
    EXPECT_NE(saved.find("\"annual return\""), std::string::npos) << saved;
    // The new note has the date field's first date: today.
    EXPECT_NE(saved.find("\"date\": \"" + QDate::currentDate().toString(Qt::ISODate).toStdString()),
              std::string::npos)
        << saved;
    EXPECT_FALSE(fs::exists(file.string() + ".damaged"));
}

struct TRefusal {
    const char* name;
    bool signedPackages;
    // Spoils the published update (the store folder is given).
    std::function<void(const fs::path&)> spoil;
};

// Names the refusal in test listings instead of dumping the struct's bytes.
void PrintTo(const TRefusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class StoreRefusal : public StoreSession, public ::testing::WithParamInterface<TRefusal> {};

TEST_P(StoreRefusal, UpdateIsRefusedTheApplicationDoesNotStartAndItsFilesStayAsTheyWere) {
    std::string mainBefore, upgradeBefore;
    Start(
        [&](const fs::path& dir) {
            Install(dir);
            mainBefore = ReadWholeFile(dir / "Apps/3001/main.lua");
            upgradeBefore = ReadWholeFile(dir / "Apps/3001/Upgrade.txt");
            GetParam().spoil(StoreFolder());
        },
        GetParam().signedPackages);
    ClickStore();
    PressInDialog(kUpgradeButton);
    ASSERT_TRUE(desk_->Host().WaitForOutput("应用(3001)更新结果 4", kTimeout)) << Output();
    EXPECT_TRUE(DialogGone());
    EXPECT_EQ(Runs(), "") << "the application did not start";
    EXPECT_FALSE(desk_->Host().OutputContains("应用(3001)运行"));
    EXPECT_EQ(ReadWholeFile(AppFolder() / "main.lua"), mainBefore);
    EXPECT_EQ(ReadWholeFile(AppFolder() / "Upgrade.txt"), upgradeBefore);
    EXPECT_FALSE(fs::exists(desk_->Dir() / "Download/taxnotes.zip")) << "a refused package is deleted";
}

INSTANTIATE_TEST_SUITE_P(
    Packages, StoreRefusal,
    ::testing::Values(TRefusal{"BadSha256", false,
                               [](const fs::path& store) {
                                   ReplaceInFile(store / "upgrade.zip", std::regex("sha256=[0-9a-f]{64}"),
                                                 "sha256=" + std::string(64, '0'));
                               }},
                      // A true signature, but of another package.
                      TRefusal{"BadSignature", true,
                               [](const fs::path& store) {
                                   fs::copy_file(store / "setup.run.sig", store / "taxnotes.zip.sig",
                                                 fs::copy_options::overwrite_existing);
                               }}),
    [](const ::testing::TestParamInfo<TRefusal>& test) { return std::string(test.param.name); });

// A signed descriptor changed on the server after signing is refused before anything is
// downloaded: the user is told, the refusal is logged, and the application does not start.
TEST_F(StoreSession, AForgedDescriptorIsRefusedShownAndLogged) {
    std::string mainBefore;
    Start(
        [&](const fs::path& dir) {
            Install(dir);
            mainBefore = ReadWholeFile(dir / "Apps/3001/main.lua");
            ReplaceInFile(StoreFolder() / "upgrade.zip", std::regex("/appstore/3001/taxnotes\\.zip"),
                          "/appstore/3001/other.zip");
        },
        true);
    ClickStore();
    ASSERT_TRUE(WaitUntil([&] { return !xserver_->WindowNamed("提示").isEmpty(); }, kTimeout))
        << "no message about the refusal\n"
        << Output();
    EXPECT_TRUE(xserver_->WindowNamed(kUpgradeDialog).isEmpty()) << "nothing is offered";
    std::string log;
    for (const auto& file : fs::directory_iterator(desk_->Dir() / "Log"))
        log += ReadWholeFile(file.path());
    EXPECT_NE(log.find("拒绝升级描述文件"), std::string::npos) << log;
    EXPECT_NE(log.find("does not match the descriptor"), std::string::npos) << log;
    EXPECT_EQ(Runs(), "") << "the application did not start";
    EXPECT_EQ(ReadWholeFile(AppFolder() / "main.lua"), mainBefore);
}

TEST_F(StoreSession, CancelledUpdateStillStartsTheInstalledVersion) {
    std::string mainBefore;
    Start(
        [&](const fs::path& dir) {
            Install(dir);
            mainBefore = ReadWholeFile(dir / "Apps/3001/main.lua");
            // The package trickles in, so that the download is still running when the user cancels.
            ReplaceInFile(StoreFolder() / "upgrade.zip", std::regex("/appstore/3001/taxnotes\\.zip"),
                          "/slow/appstore/3001/taxnotes.zip?rate=40");
        },
        false);
    ClickStore();
    PressInDialog(kUpgradeButton);
    std::this_thread::sleep_for(2s);
    PressInDialog(kCancelButton);
    ASSERT_TRUE(WaitUntil([&] { return Runs() == "1.0\n"; }, kTimeout)) << Output();
    EXPECT_TRUE(desk_->Host().OutputContains("应用(3001)更新结果 98")) << Output();
    EXPECT_EQ(ReadWholeFile(AppFolder() / "main.lua"), mainBefore);
}

TEST_F(StoreSession, StartUpCheckOffersTheDesksSignedUpdateAndAppliesIt) {
    Start({}, true, "", true);
    EXPECT_TRUE(desk_->Host().OutputContains("Upgrade.lua: 启动检查已交给升级插件")) << Output();
    PressInDialog(kUpgradeButton);
    const fs::path deskUpgrade = desk_->Dir() / "Upgrade.txt";
    ASSERT_TRUE(
        WaitUntil([&] { return ReadWholeFile(deskUpgrade).find("ver=1.1") != std::string::npos; }, kTimeout))
        << Output();
    EXPECT_TRUE(WaitUntil(
        [&] {
            return ReadWholeFile(desk_->Dir() / "Config/Scripts/actions/help.lua").find("桌面组件 1.1") !=
                   std::string::npos;
        },
        kTimeout));
    EXPECT_TRUE(DialogGone());
}

} // namespace
} // namespace qmtest
