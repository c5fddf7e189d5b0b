#include "HostFixture.h"
#include "common/DefaultBrowser.h"
#include "common/Paths.h"
#include "common/Routing.h"
#include "corvane/Errors.h"
#include "corvane/Requests.h"
#include "tests/support/TestPrograms.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QStringList>
#include <algorithm>

namespace {

using SharedStore = THostTest;

TEST_F(SharedStore, NamesAndKeysCompareWithoutRegardToCase) {
    ASSERT_EQ(Run(R"(
        plugin_invoke{plugin="uip", req_id=10, method="set", namespace="Login", key="a", value="1"}
        local answer = plugin_invoke{plugin="uip", req_id=10, method="GET", namespace="login", key="A"}
        got, gotkey = answer.value, answer.key
    )"),
              0)
        << qm::TaxLua().LastScriptError();
    EXPECT_EQ(Global("got"), "1");
    EXPECT_EQ(Global("gotkey"), "A");
}

// Only ASCII letters fold; every other byte (punctuation next to the letters, UTF-8 text) must match.
TEST(SharedStoreNames, OnlyAsciiLettersFold) {
    struct TCase {
        const char *setNamespace, *setKey, *getNamespace, *getKey;
        bool found;
    };
    const TCase cases[] = {
        {"Login", "UserName", "LOGIN", "username", true},
        {"Upgrade", "calc_01", "upgrade", "CALC_01", true},
        {"用户", "名字", "用户", "名字", true},
        {"Login", "\xc3\x84", "Login", "\xc3\xa4", false}, // capital and small of a non-ASCII letter
        {"Login", "[@", "Login", "{`", false},             // one case bit apart, but not letters
        {"Login", "key", "Login", "key ", false},
        {"Login", "key", "Logins", "key", false},
    };
    for (const TCase& c : cases) {
        qm::TSharedStore store;
        store.Set(c.setNamespace, c.setKey, "v");
        EXPECT_EQ(store.Get(c.getNamespace, c.getKey), c.found ? "v" : "")
            << c.setNamespace << "/" << c.setKey << " read as " << c.getNamespace << "/" << c.getKey;
        EXPECT_EQ(store.HasKey(c.getNamespace, c.getKey), c.found);
    }
}

TEST_F(SharedStore, EmptyValueAndOtherMethodsRemoveTheKey) {
    ASSERT_EQ(Run(R"(
        local function store(t) t.plugin = "uip"; t.req_id = 10; return plugin_invoke(t) end
        store{method="set", namespace="Upgrade", key="calc", value="C:\\apps\\main.lua"}
        store{method="set", namespace="Upgrade", key="notes", value="x"}
        store{method="set", namespace="Upgrade", key="calc", value=""}
        emptied = store{method="get", namespace="Upgrade", key="calc"}.value
        store{method="forget", namespace="Upgrade", key="NOTES"}
    )"),
              0)
        << qm::TaxLua().LastScriptError();
    EXPECT_EQ(Global("emptied"), "");
    EXPECT_FALSE(host.SharedStore().HasKey("Upgrade", "calc"));
    EXPECT_FALSE(host.SharedStore().HasKey("Upgrade", "notes"));
}

TEST_F(SharedStore, EmptyMethodNamespaceOrKeyDoesNothing) {
    ASSERT_EQ(Run(R"(
        local function count(t) local n = 0; for _ in pairs(t) do n = n + 1 end; return n end
        answers = count(plugin_invoke{plugin="uip", req_id=10, method="get", namespace="", key="a"})
                + count(plugin_invoke{plugin="uip", req_id=10, method="get", namespace="Login", key=""})
                + count(plugin_invoke{plugin="uip", req_id=10, method="", namespace="Login", key="a"})
    )"),
              0)
        << qm::TaxLua().LastScriptError();
    EXPECT_EQ(Global("answers"), "0");
    EXPECT_FALSE(host.SharedStore().HasNamespace("Login"));
}

using HostRequests = THostTest;

TEST_F(HostRequests, DeskPropAnswersTypeAndTitleFromTheSystemConfiguration) {
    ASSERT_EQ(Run("local p = desk_prop(); kind, title = p.type, p.title"), 0);
    EXPECT_EQ(Global("kind"), "5");
    EXPECT_EQ(Global("title"), "测试桌面");
}

TEST_F(HostRequests, AppPropFindsTheFirstNestedAppRecord) {
    ASSERT_EQ(Run(R"(
        local r = app_prop{id="Calc"}
        name, ver, url, intro = r.name, r.ver, r.url, r.intro
        local none = app_prop{id="absent"}
        missing = (next(none) == nil) and "empty" or "not empty"
    )"),
              0)
        << qm::TaxLua().LastScriptError();
    EXPECT_EQ(Global("name"), "计算器");
    EXPECT_EQ(Global("ver"), "1.2");
    EXPECT_EQ(Global("url"), "http://127.0.0.1/calc");
    EXPECT_EQ(Global("intro"), "");
    EXPECT_EQ(Global("missing"), "empty");
}

TEST_F(HostRequests, RunLuaFileRunsNestedAndAMissingFileStopsTheScript) {
    Script("inner.lua", "inner_ran = 'yes'");
    const std::string main =
        Script("main.lua", "runluaf{luaf='inner.lua'}\nrunluaf{luaf='missing.lua'}\nafter = 1");
    try {
        qm::TaxLua().RunFile(main);
        FAIL() << "no error";
    } catch (const corvane::EPlugin& error) {
        EXPECT_EQ(error.Message(), "文件(" + scripts.File("missing.lua") + ")不存在！");
        EXPECT_EQ(error.Location(), "TUIPlugin.REQ_103(const req, res: TBSONDocument)");
    }
    EXPECT_EQ(Global("inner_ran"), "yes");
    EXPECT_EQ(Global("after"), std::nullopt) << "the error ends the script";
}

TEST_F(HostRequests, UnloadReleasesALoadedPlugin) {
    const std::string channels = qm::AppPath() + "Skellow.dll";
    ASSERT_EQ(Run("plugin_invoke{plugin='" + channels + "', req_id=1}"), 0) << qm::TaxLua().LastScriptError();
    EXPECT_TRUE(corvane::Khan().IsLoaded(channels));
    ASSERT_EQ(Run("plugin_unload{plugin='" + channels + "'}"), 0) << qm::TaxLua().LastScriptError();
    EXPECT_FALSE(corvane::Khan().IsLoaded(channels));
}

TEST_F(HostRequests, LuaFileGivenWithBackslashesRunsTheFileThatWasChecked) {
    std::string file = Script("backslash.lua", "runs = (runs or 0) + 1\n");
    std::replace(file.begin(), file.end(), '/', '\\');
    auto request = corvane::TakeDataDocument(corvane::kReqRunLuaFile, 0);
    request->SetString("luaf", file);
    corvane::Khan().Invoke(std::string(corvane::kHostAddress), *request);
    qm::ExecLuaFile(file);
    EXPECT_EQ(Global("runs"), "2");
}

TEST_F(HostRequests, PluginUnloadedFromItsOwnEventHandlerGoesOnceTheHandlerHasReturned) {
    const std::string plugin = qm::AppPath() + "SelfUnload.so";
    const std::string report = scripts.File("report.txt");
    auto start = corvane::TakeDataDocument(1, 0);
    start->SetString("luaf",
                     Script("unload.lua", "plugin_unload{plugin='" + plugin + "'}\nunload_ran = 'yes'\n"));
    start->SetString("report", report);
    corvane::Khan().Invoke(plugin, *start);

    QElapsedTimer clock;
    clock.start();
    while ((corvane::Khan().IsLoaded(plugin) || !qm::FileExists(report)) && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
    EXPECT_EQ(Global("unload_ran"), "yes");
    EXPECT_EQ(qm::test::ReadBytes(report), "handler returned");
    EXPECT_FALSE(corvane::Khan().IsLoaded(plugin));
    // It really went: a new request loads it afresh.
    EXPECT_EQ(
        corvane::Khan().Invoke(plugin, corvane::TakeDataDocument(2, 0))->GetValue("requests").AsInteger(), 1);
}

TEST_F(HostRequests, LogReachesTheTraceChannelInOrder) {
    static QStringList traced;
    QLoggingCategory::setFilterRules(QStringLiteral("quillmere.trace.debug=true"));
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& message) {
            if (QString::fromLatin1(context.category) == QStringLiteral("quillmere.trace"))
                traced << message;
        });
    const int status = Run("log('a', 2)");
    qInstallMessageHandler(previous);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(traced, (QStringList{QStringLiteral("TTaxLua a"), QStringLiteral("TTaxLua 2")}));
}

// Starting programs: a recording program stands in for the browser and for a program.
class StartProgram : public THostTest {
protected:
    void SetUp() override {
        THostTest::SetUp();
        // Each test has a browser of its own; the desk remembers the one it found first.
        qm::ForgetBrowserPathForTesting();
        std::filesystem::create_directories(dir.Path() / "bin");
        std::filesystem::create_directories(dir.Path() / "data/applications");
        WriteScript(QString::fromStdString(dir.File("bin/xdg-settings")), "printf 'recorder.desktop\\n'\n");
        WriteArgumentRecorder(QString::fromStdString(dir.File("recorder")), QString::fromStdString(Out()));
        WriteTextFile(QString::fromStdString(dir.File("data/applications/recorder.desktop")),
                      "[Desktop Entry]\nType=Application\nExec=" + dir.File("recorder") + " %u\n");
    }
    std::string Out() const { return dir.File("arguments"); }

    qm::test::TTempFolder dir;
    TEnvGuard path{"PATH", dir.File("bin") + ":/usr/bin:/bin"};
    TEnvGuard dataHome{"XDG_DATA_HOME", dir.File("data")};
    TEnvGuard dataDirs{"XDG_DATA_DIRS", dir.File("none")};
};

TEST_F(StartProgram, DefaultBrowserInLowerCaseOpensTheAddress) {
    ASSERT_EQ(Run("plugin_invoke{plugin='uip', req_id=104, fname='http://127.0.0.1:9/fp.html', "
                  "param='defaultbrowser'}"),
              0)
        << qm::TaxLua().LastScriptError();
    EXPECT_EQ(WaitForLines(QString::fromStdString(Out())),
              QStringList{QStringLiteral("http://127.0.0.1:9/fp.html")});
}

TEST_F(StartProgram, RelativeArgumentResolvesAgainstTheInstallation) {
    ASSERT_EQ(Run("plugin_invoke{plugin='uip', req_id=104, fname='Config\\\\SysConfig.Xml', param='" +
                  dir.File("recorder") + "'}"),
              0)
        << qm::TaxLua().LastScriptError();
    EXPECT_EQ(WaitForLines(QString::fromStdString(Out())),
              QStringList{QString::fromStdString(qm::AppPath() + "Config/SysConfig.Xml")});
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
