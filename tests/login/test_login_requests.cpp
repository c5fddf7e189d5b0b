// The login plug-in's requests through the real bus, with the real host plugin (its shared values)
// in the host slot and no account service installed. The default browser is a script that records
// its arguments.
#include "common/DefaultBrowser.h"
#include "common/Paths.h"
#include "common/Routing.h"
#include "corvane/Errors.h"
#include "corvane/Khan.h"
#include "host/UIPlugin.h"
#include "tests/login/LoginTestSupport.h"
#include "tests/support/TestPrograms.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

using corvane::IDataDocument;
using corvane::TakeDataDocument;

const std::string kPorlock = qm::PluginsPath() + "Login/Porlock.dll";

class LoginRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(dir_.filePath(QStringLiteral("bin")));
        QDir().mkpath(dir_.filePath(QStringLiteral("data/applications")));
        WriteScript(dir_.filePath(QStringLiteral("bin/xdg-settings")), "printf 'qm-recorder.desktop\\n'\n");
        // The browser is looked up once per process; each test has a desktop of its own.
        qm::ForgetBrowserPathForTesting();
        const QString recorder = dir_.filePath(QStringLiteral("recorder"));
        WriteArgumentRecorder(recorder, BrowserOutput());
        WriteTextFile(dir_.filePath(QStringLiteral("data/applications/qm-recorder.desktop")),
                      "[Desktop Entry]\nType=Application\nExec=" + recorder.toStdString() + " %u\n");
        std::remove(login_test::BrandingPath().c_str());
        corvane::Khan().SetHostPlugin(&host_);
    }
    void TearDown() override {
        // The plug-in goes with the bus.
        corvane::Khan_Free();
        std::remove(login_test::BrandingPath().c_str());
    }

    QString BrowserOutput() const { return dir_.filePath(QStringLiteral("browser-args")); }
    QStringList BrowserArguments() { return WaitForLines(BrowserOutput()); }
    bool BrowserStarted() {
        QTest::qWait(300);
        return QFile::exists(BrowserOutput());
    }

    IDataDocument Invoke(const IDataDocument& request) { return corvane::Khan().Invoke(kPorlock, request); }
    IDataDocument Request(int number, bool noLogin) {
        IDataDocument request = TakeDataDocument(number, 0);
        request->SetBoolean("NoLogin", noLogin);
        return request;
    }
    static std::string Shared(const char* key) {
        return qm::GetSharedValue("Login", key)->GetValue("value").AsString();
    }
    static void LogIn(const std::string& user, const std::string& password) {
        qm::SetSharedValue("Login", "UserName", user);
        qm::SetSharedValue("Login", "Password", password);
    }

    QTemporaryDir dir_;
    TEnvGuard path_{"PATH", dir_.filePath(QStringLiteral("bin")).toStdString() + ":/usr/bin:/bin"};
    TEnvGuard dataHome_{"XDG_DATA_HOME", dir_.filePath(QStringLiteral("data")).toStdString()};
    TEnvGuard dataDirs_{"XDG_DATA_DIRS", dir_.filePath(QStringLiteral("none")).toStdString()};
    qm::TUIPlugin host_;
};

TEST_F(LoginRequestTest, LogoutAlwaysAnswersOneAndClearsTheSharedValues) {
    LogIn("alice", "secret");
    for (int round = 0; round < 2; ++round) {
        const IDataDocument answer = Invoke(TakeDataDocument(8, 0));
        EXPECT_EQ(answer->GetValue("Result").AsInteger(), 1);
        EXPECT_EQ(Shared("UserName"), "");
        EXPECT_EQ(Shared("Password"), "");
    }
}

TEST_F(LoginRequestTest, OpeningAPageFailsWithoutAnAddress) {
    struct TCase {
        const char* url;
        const char* urlNode;
        std::string message;
    };
    const TCase cases[] = {
        {"", "", "无网页地址参数"},
        {nullptr, nullptr, "无网页地址参数"},
        {"", "forum_addr", "配置文件(" + login_test::BrandingPath() + ")不存在"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.message);
        IDataDocument request = Request(9, true);
        if (c.url != nullptr) {
            request->SetString("Url", c.url);
            request->SetString("UrlNode", c.urlNode);
        }
        try {
            Invoke(request);
            ADD_FAILURE() << "no error";
        } catch (const corvane::ETax& error) {
            EXPECT_EQ(error.Message(), c.message);
        }
    }
    EXPECT_FALSE(BrowserStarted());
}

TEST_F(LoginRequestTest, AGivenUrlOpensAsItIsWithoutTheBrandingFile) {
    IDataDocument request = Request(9, true);
    request->SetString("Url", "http://127.0.0.1:9/notice?a=1\\yub=2");
    request->SetString("UrlNode", "forum_addr");
    const IDataDocument answer = Invoke(request);
    EXPECT_EQ(answer->GetValue("Result").AsInteger(), 0);
    EXPECT_FALSE(answer->HasItem("ErrMsg"));
    EXPECT_EQ(BrowserArguments(), QStringList{QStringLiteral("http://127.0.0.1:9/notice?a=1\\yub=2")});
}

TEST_F(LoginRequestTest, BrandingAddressesTurnTheFirstEscapeIntoAnAmpersand) {
    login_test::WriteBranding("<FORUM_ADDR>http://127.0.0.1:9/bbs?a=1\\yub=2\\yuc=3</FORUM_ADDR>"
                              "<home_addr>http://127.0.0.1:9/</home_addr>");
    IDataDocument request = Request(9, true);
    request->SetString("UrlNode", "forum_addr");
    EXPECT_EQ(Invoke(request)->GetValue("Result").AsInteger(), 0);
    EXPECT_EQ(BrowserArguments(), QStringList{QStringLiteral("http://127.0.0.1:9/bbs?a=1&b=2\\yuc=3")});
}

TEST_F(LoginRequestTest, AccountPagesKeepTheirNodeInTheRequest) {
    login_test::WriteBranding("<changepassword_addr>http://127.0.0.1:9/pwd</changepassword_addr>"
                              "<changeuserinfo_addr>http://127.0.0.1:9/info</changeuserinfo_addr>");
    struct TCase {
        int number;
        const char* node;
        const char* address;
    };
    const TCase cases[] = {{5, "changepassword_addr", "http://127.0.0.1:9/pwd"},
                           {6, "changeuserinfo_addr", "http://127.0.0.1:9/info"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.number);
        QFile::remove(BrowserOutput());
        IDataDocument request = Request(c.number, true);
        EXPECT_EQ(Invoke(request)->GetValue("Result").AsInteger(), 0);
        ASSERT_TRUE(request->HasItem("UrlNode"));
        EXPECT_EQ(request->GetValue("UrlNode").AsString(), c.node);
        EXPECT_EQ(BrowserArguments(), QStringList{QString::fromLatin1(c.address)});
    }
}

TEST_F(LoginRequestTest, LoginCheckWithoutAService) {
    // Nobody logged in and no login wanted: no answer at all.
    EXPECT_FALSE(Invoke(Request(7, true))->HasItem("Result"));

    // A stored user never brings up the dialog; the service is missing, so nothing is answered.
    LogIn("alice", "secret");
    bool dialogShown = false;
    const login_test::TModalWatcher dialogWatcher([&dialogShown](QWidget* modal) {
        dialogShown = true;
        modal->close();
    });
    EXPECT_FALSE(Invoke(Request(7, false))->HasItem("Result"));
    // A dialog the request put off would be up when an event posted after the request comes round.
    bool cameRound = false;
    bool modalUp = false;
    QTimer::singleShot(0, [&] {
        cameRound = true;
        modalUp = QApplication::activeModalWidget() != nullptr;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return cameRound; }, 5000));
    EXPECT_FALSE(dialogShown || modalUp);
}

TEST_F(LoginRequestTest, DialogsCancelledAnswerTwoAndStoreNothing) {
    struct TCase {
        int number;
        const char* cancelButton;
        const char* caption;
    };
    const TCase cases[] = {{2, "btnUnSign", "注册"}, {3, "btnUnLogin", "登录"}, {7, "btnUnLogin", "登录"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.number);
        QString caption;
        const login_test::TModalWatcher cancelling([&](QWidget* modal) {
            caption = modal->windowTitle();
            modal->findChild<QPushButton*>(QString::fromLatin1(c.cancelButton))->click();
        });
        const IDataDocument answer = Invoke(Request(c.number, false));
        EXPECT_EQ(caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(answer->GetValue("Result").AsInteger(), 2);
        EXPECT_EQ(Shared("UserName"), "");
    }
}

} // namespace
