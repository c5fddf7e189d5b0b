#include "common/DefaultBrowser.h"
#include "tests/support/TestPrograms.h"

#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using qm::BrowserFromDesktopEntry;
using qm::DesktopEntryProgram;
using qm::FindDesktopEntry;
using qm::ForgetBrowserPathForTesting;
using qm::GetBrowserPath;
using qm::XdgDataDirs;

namespace {

class DesktopEntryTest : public ::testing::Test {
protected:
    // Writes a desktop entry under <data>/applications/<relative>.
    QString Entry(const QString& data, const QString& relative, const std::string& text) {
        const QString file = dir_.filePath(data + QStringLiteral("/applications/") + relative);
        QDir().mkpath(QFileInfo(file).absolutePath());
        WriteTextFile(file, text);
        return file;
    }
    std::string Data(const char* name) const {
        return dir_.filePath(QString::fromLatin1(name)).toStdString();
    }

    QTemporaryDir dir_;
};

} // namespace

TEST_F(DesktopEntryTest, FindsEntriesInDataFoldersInOrder) {
    const QString home =
        Entry(QStringLiteral("home"), QStringLiteral("web.desktop"), "[Desktop Entry]\nExec=a\n");
    const QString system =
        Entry(QStringLiteral("sys"), QStringLiteral("web.desktop"), "[Desktop Entry]\nExec=b\n");
    const QString onlySystem =
        Entry(QStringLiteral("sys"), QStringLiteral("other.desktop"), "[Desktop Entry]\nExec=c\n");
    const std::vector<std::string> dirs = {Data("home"), Data("missing"), Data("sys")};

    EXPECT_EQ(FindDesktopEntry("web.desktop", dirs), home.toStdString());
    EXPECT_EQ(FindDesktopEntry("web.desktop", {Data("sys")}), system.toStdString());
    EXPECT_EQ(FindDesktopEntry("other.desktop", dirs), onlySystem.toStdString());
    EXPECT_EQ(FindDesktopEntry("absent.desktop", dirs), "");
    EXPECT_EQ(FindDesktopEntry("", dirs), "");
    // An id is a name, never a way out of the applications folders.
    EXPECT_EQ(FindDesktopEntry("../applications/web.desktop", dirs), "");
}

TEST_F(DesktopEntryTest, DashInAnIdMayStandForASubFolder) {
    const QString nested = Entry(QStringLiteral("sys"), QStringLiteral("vendor/tax-browser.desktop"),
                                 "[Desktop Entry]\nExec=/opt/vendor/taxbrowser %u\n");
    EXPECT_EQ(FindDesktopEntry("vendor-tax-browser.desktop", {Data("sys")}), nested.toStdString());
    EXPECT_EQ(BrowserFromDesktopEntry("vendor-tax-browser.desktop", {Data("sys")}), "/opt/vendor/taxbrowser");
}

TEST_F(DesktopEntryTest, ExecProgramIsTheFirstWordOfTheMainGroup) {
    struct TCase {
        const char* what;
        std::string text;
        const char* program;
    };
    const TCase cases[] = {
        {"plain", "[Desktop Entry]\nName=Web\nExec=webbrowser %u\n", "webbrowser"},
        {"quoted with blanks", "[Desktop Entry]\nExec=\"/opt/My Browser/browser\" --new %u\n",
         "/opt/My Browser/browser"},
        {"escaped blank in quotes", "[Desktop Entry]\nExec=\"/opt/my\\sbrowser\" %u\n", "/opt/my browser"},
        {"quoted backslash", "[Desktop Entry]\nExec=\"/opt/a\\\\\\\\b\" %u\n", "/opt/a\\b"},
        {"env prefix", "[Desktop Entry]\nExec=env MOZ_APP=1 HINT=/x.desktop /usr/bin/webby %u\n",
         "/usr/bin/webby"},
        {"action group first",
         "[Desktop Action new-window]\nExec=wrong --new-window\n\n[Desktop Entry]\nExec = right %U\n",
         "right"},
        {"no exec", "[Desktop Entry]\nName=Nothing\n", ""},
        {"only env", "[Desktop Entry]\nExec=env A=1\n", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = Entry(QStringLiteral("d"), QStringLiteral("case.desktop"), c.text);
        EXPECT_EQ(DesktopEntryProgram(file.toStdString()), c.program);
    }
    EXPECT_EQ(DesktopEntryProgram(Data("d/applications/none.desktop")), "");
}

TEST(XdgDataDirs, HonoursTheEnvironmentLikeXdg) {
    {
        TEnvGuard home("XDG_DATA_HOME", "/tmp/qm-home-data");
        TEnvGuard dirs("XDG_DATA_DIRS", "/opt/share:relative/share::/usr/share");
        EXPECT_EQ(XdgDataDirs(), (std::vector<std::string>{"/tmp/qm-home-data", "/opt/share", "/usr/share"}));
    }
    {
        TEnvGuard userHome("HOME", "/home/tax");
        TEnvGuard home("XDG_DATA_HOME", "");
        TEnvGuard dirs("XDG_DATA_DIRS", "");
        EXPECT_EQ(XdgDataDirs(),
                  (std::vector<std::string>{"/home/tax/.local/share", "/usr/local/share/", "/usr/share/"}));
    }
}

namespace {

// A desktop whose xdg-settings (a stand-in in a private bin folder: the real one is not installed
// everywhere) names a default browser entry living in a private XDG data folder.
class BrowserSettingTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(Bin());
        QDir().mkpath(dir_.filePath(QStringLiteral("data/applications")));
        ForgetBrowserPathForTesting();
    }
    void TearDown() override { ForgetBrowserPathForTesting(); }

    QString Bin() const { return dir_.filePath(QStringLiteral("bin")); }

    void XdgSettingsAnswers(const std::string& answer, int exitCode = 0) {
        WriteScript(Bin() + QStringLiteral("/xdg-settings"),
                    "[ \"$1 $2\" = 'get default-web-browser' ] || exit 2\nprintf '%s\\n' '" + answer +
                        "'\nexit " + std::to_string(exitCode) + "\n");
    }

    void BrowserEntry(const std::string& id, const std::string& program) {
        WriteTextFile(dir_.filePath(QStringLiteral("data/applications/") + QString::fromStdString(id)),
                      "[Desktop Entry]\nType=Application\nName=Tax Browser\nExec=" + program + " %u\n");
    }

    QTemporaryDir dir_;
    TEnvGuard path_{"PATH", dir_.filePath(QStringLiteral("bin")).toStdString()};
    TEnvGuard dataHome_{"XDG_DATA_HOME", dir_.filePath(QStringLiteral("data")).toStdString()};
    TEnvGuard dataDirs_{"XDG_DATA_DIRS", dir_.filePath(QStringLiteral("none")).toStdString()};
};

} // namespace

TEST_F(BrowserSettingTest, BrowserIsLookedUpOnceWithoutLongWaits) {
    struct TCase {
        const char* what;
        std::string xdgSettings; // what the stand-in does after noting that it ran
        const char* browser;
    };
    const TCase cases[] = {
        {"answers", "printf 'qm-taxbrowser.desktop\\n'\n", "/opt/taxbrowser/run"},
        // A broken desktop whose xdg-settings never answers.
        {"hangs", "exec /bin/sleep 60\n", "xdg-open"},
    };
    BrowserEntry("qm-taxbrowser.desktop", "/opt/taxbrowser/run");
    int run = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        ForgetBrowserPathForTesting();
        const QString runs = dir_.filePath(QStringLiteral("runs") + QString::number(++run));
        WriteScript(Bin() + QStringLiteral("/xdg-settings"),
                    "printf 'ran\\n' >> '" + runs.toStdString() + "'\n" + c.xdgSettings);

        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(GetBrowserPath(), c.browser);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        EXPECT_EQ(GetBrowserPath(), c.browser);
        EXPECT_EQ(WaitForLines(runs), QStringList{QStringLiteral("ran")});
    }
}

TEST_F(BrowserSettingTest, WithoutADefaultBrowserTheAnswerIsXdgOpen) {
    // No xdg-settings at all.
    EXPECT_EQ(GetBrowserPath(), "xdg-open");
    // xdg-settings has no default to tell.
    XdgSettingsAnswers("", 1);
    ForgetBrowserPathForTesting();
    EXPECT_EQ(GetBrowserPath(), "xdg-open");
    // It names an entry that no data folder has.
    XdgSettingsAnswers("qm-gone.desktop");
    ForgetBrowserPathForTesting();
    EXPECT_EQ(GetBrowserPath(), "xdg-open");
}

TEST_F(BrowserSettingTest, LookedUpAheadSoThatNoCallerWaitsForXdgSettings) {
    // An xdg-settings that takes a while to answer, as it does on a slow desktop.
    BrowserEntry("qm-taxbrowser.desktop", "/opt/taxbrowser/run");
    const QString runs = dir_.filePath(QStringLiteral("runs"));
    WriteScript(Bin() + QStringLiteral("/xdg-settings"),
                "printf 'ran\\n' >> '" + runs.toStdString() +
                    "'\nsleep 0.3\nprintf 'qm-taxbrowser.desktop\\n'\n");
    qm::StartBrowserPathLookup();

    // While it runs, a caller gets the desktop's opener at once instead of waiting.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GetBrowserPath(), "xdg-open");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

    // Then every caller gets the one answer; starting again does not ask again.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (GetBrowserPath() != "/opt/taxbrowser/run" && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(GetBrowserPath(), "/opt/taxbrowser/run");
    qm::StartBrowserPathLookup();
    EXPECT_EQ(GetBrowserPath(), "/opt/taxbrowser/run");
    EXPECT_EQ(WaitForLines(runs), QStringList{QStringLiteral("ran")});
}
