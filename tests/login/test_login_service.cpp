// The login plug-in through the real bus against the real account service (the reference server,
// started by each test on a free port with a data folder of its own): registration and login in the
// dialog, the login check and account pages with a token login opened in a recording browser,
// services that cannot be reached or never answer (the desk keeps turning meanwhile), and no
// password in any trace, command line or file of the installation or the service.
#include "common/DefaultBrowser.h"
#include "common/Paths.h"
#include "common/Routing.h"
#include "corvane/Khan.h"
#include "host/UIPlugin.h"
#include "login/FrmLogin.h"
#include "login/UserList.h"
#include "tests/login/LoginTestSupport.h"
#include "tests/support/FetchOnce.h"
#include "tests/support/HoldingRelay.h"
#include "tests/support/ReferenceServer.h"
#include "tests/support/TestPrograms.h"

#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

namespace {

using corvane::IDataDocument;
using corvane::TakeDataDocument;
using Clock = std::chrono::steady_clock;

const std::string kPorlock = qm::PluginsPath() + "Login/Porlock.dll";
const QColor kRejected(0xFF, 0x6A, 0x6A);

// Every text a message window shows.
QString TextsOf(QWidget* window) {
    QStringList texts;
    for (const QLabel* label : window->findChildren<QLabel*>())
        texts << label->text();
    return texts.join(QLatin1Char('|'));
}

template <class T> T* Child(QWidget* dialog, const char* name) {
    T* child = dialog->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// Clicks the button and answers the texts of the message window it brings up, closed again;
// "" when none came up.
QString MessageAfterClick(QWidget* dialog, const char* button) {
    QString message;
    const login_test::TModalWatcher closing(
        [&message](QWidget* modal) {
            message = TextsOf(modal);
            modal->close();
        },
        dialog);
    Child<QPushButton>(dialog, button)->click();
    return message;
}

void Fill(QWidget* dialog, std::initializer_list<std::pair<const char*, const char*>> fields) {
    for (const auto& [name, text] : fields)
        Child<QLineEdit>(dialog, name)->setText(QString::fromUtf8(text));
}

// Watches the UI thread while it lives: a 16 ms timer ticks whenever the thread handles events,
// and the longest gap between ticks (up to now) tells how long the desk stood still.
class TTickWatch {
public:
    TTickWatch() {
        timer_.setInterval(16);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
            ++ticks_;
        });
        timer_.start();
    }
    Clock::duration LongestGap() const { return std::max(longest_, Clock::now() - last_); }
    int Ticks() const { return ticks_; }

private:
    QTimer timer_;
    Clock::time_point last_ = Clock::now();
    Clock::duration longest_{};
    int ticks_ = 0;
};

// Whatever the developers' trace and the log would say while the plug-in works with a password.
class TMessageRecorder {
public:
    TMessageRecorder() {
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=true"));
        instance_ = this;
        previous_ = qInstallMessageHandler(&TMessageRecorder::Record);
    }
    ~TMessageRecorder() {
        qInstallMessageHandler(previous_);
        instance_ = nullptr;
        QLoggingCategory::setFilterRules(QString());
    }
    TMessageRecorder(const TMessageRecorder&) = delete;
    TMessageRecorder& operator=(const TMessageRecorder&) = delete;

    QString Text() {
        std::lock_guard lock(mutex_);
        return text_;
    }

private:
    static void Record(QtMsgType, const QMessageLogContext&, const QString& message) {
        std::lock_guard lock(instance_->mutex_);
        instance_->text_ += message + QLatin1Char('\n');
    }
    static inline TMessageRecorder* instance_ = nullptr;
    QtMessageHandler previous_ = nullptr;
    std::mutex mutex_;
    QString text_;
};

// A password made up at run time, so that no program or object file holds it by chance.
std::string FreshPassword() {
    const char* const alphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string password = "pw";
    for (int i = 0; i < 14; ++i)
        password += alphabet[QRandomGenerator::global()->bounded(36)];
    return password;
}

// The files below `folder` whose bytes hold `secret`, and how many files were read.
std::pair<QStringList, int> FilesHolding(const QString& folder, const std::string& secret) {
    QStringList holding;
    int read = 0;
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        ++read;
        if (login_test::ReadBytes(file.toStdString()).find(secret) != std::string::npos)
            holding << file;
    }
    return {holding, read};
}

class LoginServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"bin", "data/applications", "root", "accounts"})
            QDir().mkpath(dir_.filePath(QString::fromLatin1(folder)));
        WriteScript(dir_.filePath(QStringLiteral("bin/xdg-settings")), "printf 'qm-recorder.desktop\\n'\n");
        // The browser is looked up once per process; each test has a desktop of its own.
        qm::ForgetBrowserPathForTesting();
        const QString recorder = dir_.filePath(QStringLiteral("recorder"));
        WriteArgumentRecorder(recorder, BrowserOutput());
        WriteTextFile(dir_.filePath(QStringLiteral("data/applications/qm-recorder.desktop")),
                      "[Desktop Entry]\nType=Application\nExec=" + recorder.toStdString() + " %u\n");
        server_ = std::make_unique<qm::test::ReferenceServer>(
            dir_.filePath(QStringLiteral("root")).toStdString(),
            std::vector<std::string>{"--data", dir_.filePath(QStringLiteral("accounts")).toStdString(),
                                     "--test-routes"});
        std::remove(login_test::UsersPath().c_str());
        corvane::Khan().SetHostPlugin(&host_);
    }
    void TearDown() override {
        corvane::Khan_Free();
        std::remove(login_test::BrandingPath().c_str());
        std::remove(login_test::UsersPath().c_str());
    }

    // brennik.xml with the account service at `serviceAddress` and the forum page.
    void Configure(const std::string& serviceAddress, int timeoutSeconds = 15) {
        login_test::WriteBranding("<accountservice_addr>" + serviceAddress + "</accountservice_addr>" +
                                  "<accountservice_timeout>" + std::to_string(timeoutSeconds) +
                                  "</accountservice_timeout>" + "<forum_addr>" + kForum + "</forum_addr>");
    }

    QString BrowserOutput() const { return dir_.filePath(QStringLiteral("browser-args")); }
    QStringList TakeBrowserArguments() {
        const QStringList lines = WaitForLines(BrowserOutput());
        QFile::remove(BrowserOutput());
        return lines;
    }

    IDataDocument Invoke(int number, std::initializer_list<std::pair<const char*, std::string>> texts = {},
                         bool noLogin = false) {
        IDataDocument request = TakeDataDocument(number, 0);
        request->SetBoolean("NoLogin", noLogin);
        for (const auto& [name, text] : texts)
            request->SetString(name, text);
        return corvane::Khan().Invoke(kPorlock, request);
    }
    static std::string Shared(const char* key) {
        return qm::GetSharedValue("Login", key)->GetValue("value").AsString();
    }
    static void StoreUser(const std::string& user, const std::string& password) {
        qm::SetSharedValue("Login", "UserName", user);
        qm::SetSharedValue("Login", "Password", password);
    }

    // Runs a request that must show no dialog; a dialog that comes up anyway is closed and counted.
    IDataDocument InvokeWithoutDialog(int number,
                                      std::initializer_list<std::pair<const char*, std::string>> texts,
                                      bool noLogin) {
        bool dialogShown = false;
        const login_test::TModalWatcher watcher([&dialogShown](QWidget* modal) {
            dialogShown = true;
            modal->close();
        });
        IDataDocument answer = Invoke(number, texts, noLogin);
        EXPECT_FALSE(dialogShown) << "request " << number << " showed a dialog";
        return answer;
    }

    // Registers through request 2: answers the modal result, with the dialog's status line and
    // user-name tip (text and colour) as they were when registration ended or failed.
    struct TRegistration {
        int result = 0;
        QString message;
        QString status;
        QString userTip;
        QColor userTipColour;
    };
    TRegistration Register(const char* user, const char* password) {
        TRegistration outcome;
        const login_test::TModalWatcher registering([&](QWidget* dialog) {
            Fill(dialog, {{"edtSignUser", user},
                          {"edtNewPwd", password},
                          {"edtNewPwd2", password},
                          {"edtMail", "owner@example.com"}});
            outcome.message = MessageAfterClick(dialog, "btnSign");
            if (!dialog->isVisible())
                return;
            outcome.status = Child<QLabel>(dialog, "lblSignHint")->text();
            auto* tip = Child<QLabel>(dialog, "lblUserTip");
            outcome.userTip = tip->text();
            outcome.userTipColour = tip->palette().color(QPalette::WindowText);
            Child<QPushButton>(dialog, "btnUnSign")->click();
        });
        outcome.result = static_cast<int>(Invoke(2)->GetValue("Result").AsInteger());
        return outcome;
    }

    // Logs in through request 3: answers the modal result and the message a failure showed.
    std::pair<int, QString> LogIn(const char* user, const char* password) {
        QString message;
        const login_test::TModalWatcher loggingIn([&](QWidget* dialog) {
            Fill(dialog, {{"edtUser", user}, {"edtPassWord", password}});
            message = MessageAfterClick(dialog, "btnLogin");
            if (dialog->isVisible())
                Child<QPushButton>(dialog, "btnUnLogin")->click();
        });
        const int result = static_cast<int>(Invoke(3)->GetValue("Result").AsInteger());
        return {result, message};
    }

    static constexpr const char* kForum = "http://127.0.0.1:9/bbs?topic=1\\yupage=2";
    static constexpr const char* kForumOpened = "http://127.0.0.1:9/bbs?topic=1&page=2";

    QTemporaryDir dir_;
    TEnvGuard path_{"PATH", dir_.filePath(QStringLiteral("bin")).toStdString() + ":/usr/bin:/bin"};
    TEnvGuard dataHome_{"XDG_DATA_HOME", dir_.filePath(QStringLiteral("data")).toStdString()};
    TEnvGuard dataDirs_{"XDG_DATA_DIRS", dir_.filePath(QStringLiteral("none")).toStdString()};
    std::unique_ptr<qm::test::ReferenceServer> server_;
    qm::TUIPlugin host_;
};

TEST_F(LoginServiceTest, RegisterLogInAndOpenAccountPagesWithATokenLogin) {
    Configure(server_->BaseURL());
    // A password longer than ten characters, as the rule texts allow.
    const char* password = "fifteen-chars-1";

    const TRegistration registered = Register("carol1", password);
    EXPECT_EQ(registered.result, 1);
    EXPECT_TRUE(registered.message.contains(QStringLiteral("提交注册申请成功，恭喜你成为会员！")))
        << registered.message.toStdString();
    EXPECT_EQ(Shared("UserName"), "") << "registering stores no login";

    const TRegistration taken = Register("carol1", "another-pass");
    EXPECT_EQ(taken.result, 2);
    EXPECT_EQ(taken.status, QStringLiteral("提交注册申请失败"));
    EXPECT_EQ(taken.userTip, QStringLiteral("此用户名已被注册，请另换一个"));
    EXPECT_EQ(taken.userTipColour, kRejected);

    const auto [wrongResult, wrongMessage] = LogIn("carol1", "not-the-password");
    EXPECT_EQ(wrongResult, 2);
    EXPECT_TRUE(wrongMessage.contains(QStringLiteral("用户名或密码错误"))) << wrongMessage.toStdString();
    EXPECT_EQ(Shared("UserName"), "");

    const auto [result, message] = LogIn("carol1", password);
    EXPECT_EQ(result, 1) << message.toStdString();
    EXPECT_EQ(Shared("UserName"), "carol1");
    EXPECT_EQ(Shared("Password"), password);

    // Logged in: the check needs no dialog, and the forum opens through the token-login page,
    // which sends the browser on to the forum's address.
    EXPECT_EQ(InvokeWithoutDialog(7, {}, false)->GetValue("Result").AsInteger(), 1);
    const IDataDocument forum = InvokeWithoutDialog(9, {{"UrlNode", "forum_addr"}}, false);
    EXPECT_EQ(forum->GetValue("Result").AsInteger(), 1);
    EXPECT_FALSE(forum->HasItem("ErrMsg"));
    const QStringList opened = TakeBrowserArguments();
    ASSERT_EQ(opened.size(), 1);
    const std::string tokenLogin = opened.front().toStdString();
    EXPECT_EQ(tokenLogin.rfind(server_->URL("/myaccount/loginSend.do?sendTo="), 0), 0u) << tokenLogin;
    const qm::test::TFetched redirect = qm::test::FetchOnce(tokenLogin);
    EXPECT_EQ(redirect.status, 302);
    EXPECT_EQ(redirect.location, kForumOpened);

    // A service that answers the login check and then falls silent: the check's 1 stands, the
    // token's failure is reported, the page opens plain, and the desk kept turning meanwhile.
    {
        const qm::test::HoldingRelay silentAfterCheck(server_->Port(), 2);
        Configure(silentAfterCheck.BaseURL(), 2);
        const TTickWatch ticks;
        const auto asked = Clock::now();
        const IDataDocument silent = InvokeWithoutDialog(9, {{"UrlNode", "forum_addr"}}, false);
        EXPECT_GE(Clock::now() - asked, std::chrono::milliseconds(1900)) << "the token was not waited for";
        EXPECT_LT(ticks.LongestGap(), std::chrono::milliseconds(500)) << ticks.Ticks() << " ticks";
        EXPECT_EQ(silent->GetValue("Result").AsInteger(), 1);
        ASSERT_TRUE(silent->HasItem("ErrMsg"));
        EXPECT_EQ(silent->GetValue("ErrMsg").AsString(), "账户服务没有在2秒内应答");
        EXPECT_EQ(TakeBrowserArguments(), QStringList{QString::fromLatin1(kForumOpened)});
        Configure(server_->BaseURL());
    }

    // Another user stored in the desk than the one the service knows: the token is refused for
    // that name, still without a dialog; the page opens without a token.
    StoreUser("mallory", "whatever-pass");
    EXPECT_EQ(InvokeWithoutDialog(7, {}, false)->GetValue("Result").AsInteger(), 0);
    const IDataDocument plain = InvokeWithoutDialog(9, {{"Url", "http://127.0.0.1:9/plain"}}, false);
    EXPECT_EQ(plain->GetValue("Result").AsInteger(), 0);
    EXPECT_EQ(TakeBrowserArguments(), QStringList{QStringLiteral("http://127.0.0.1:9/plain")});

    // Logged out, and no login wanted: the plain page, no answer from the check.
    EXPECT_EQ(Invoke(8)->GetValue("Result").AsInteger(), 1);
    EXPECT_FALSE(InvokeWithoutDialog(7, {}, true)->HasItem("Result"));
    const IDataDocument noLogin = InvokeWithoutDialog(9, {{"UrlNode", "forum_addr"}}, true);
    EXPECT_EQ(noLogin->GetValue("Result").AsInteger(), 0);
    EXPECT_EQ(TakeBrowserArguments(), QStringList{QString::fromLatin1(kForumOpened)});
}

// A user without a mouse: every key goes to whatever has the focus. Registration is filled field to
// field with Enter and sent with Return on the focused 注册, its message closed with Return; the
// login dialog is sent with Return on 登录; 注册新用户 is reached with Tab and followed with Return.
TEST_F(LoginServiceTest, DialogsAreFilledAndSentWithKeysAlone) {
    Configure(server_->BaseURL());
    const std::string password = FreshPassword();
    const QString typedPassword = QString::fromStdString(password);
    // Keys go where the focus is, once the window that shows up has it.
    const auto focusIn = [](QWidget* window) { ASSERT_TRUE(QTest::qWaitForWindowActive(window)); };
    const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        // Enter moves on through a Tab it posts.
        QCoreApplication::processEvents();
    };
    const auto type = [](const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); };
    const auto focused = [] { return QApplication::focusWidget()->objectName().toStdString(); };
    QString message;
    std::vector<std::string> sentFrom;
    // Answers the message a dialog brings up with Return, as read from the keyboard.
    const auto sendAndAnswer = [&](QWidget* dialog) {
        sentFrom.push_back(focused());
        const login_test::TModalWatcher answering(
            [&message, &focusIn](QWidget* modal) {
                message = TextsOf(modal);
                focusIn(modal);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            },
            dialog);
        press(Qt::Key_Return);
    };

    const login_test::TModalWatcher registering([&](QWidget* dialog) {
        focusIn(dialog);
        for (const QString& text : {QStringLiteral("dave12"), typedPassword, typedPassword})
            type(text), press(Qt::Key_Return);
        type(QStringLiteral("dave@example.com"));
        press(Qt::Key_Enter, Qt::KeypadModifier);
        sendAndAnswer(dialog);
        // Still up when the keys did not send it.
        if (dialog->isVisible())
            dialog->close();
    });
    EXPECT_EQ(Invoke(2)->GetValue("Result").AsInteger(), 1);
    EXPECT_TRUE(message.contains(QStringLiteral("提交注册申请成功"))) << message.toStdString();

    // The user name is filled in from the last registration; Tab to the password.
    message.clear();
    const login_test::TModalWatcher loggingIn([&](QWidget* dialog) {
        focusIn(dialog);
        press(Qt::Key_Tab);
        type(typedPassword);
        press(Qt::Key_Return);
        sentFrom.push_back(focused());
        press(Qt::Key_Return);
        if (dialog->isVisible())
            dialog->close();
    });
    EXPECT_EQ(Invoke(3)->GetValue("Result").AsInteger(), 1) << message.toStdString();
    EXPECT_EQ(Shared("UserName"), "dave12");
    EXPECT_EQ(Shared("Password"), password);
    EXPECT_EQ(sentFrom, (std::vector<std::string>{"btnSign", "btnLogin"}));

    // The link to the register layout, in the order Tab reaches things after 登录 and 取消.
    std::vector<std::string> stops;
    int layoutAfterLink = -1;
    const login_test::TModalWatcher following([&](QWidget* dialog) {
        focusIn(dialog);
        for (int i = 0; i < 5; ++i) {
            press(Qt::Key_Tab);
            stops.push_back(focused());
        }
        press(Qt::Key_Return);
        layoutAfterLink = static_cast<qm::TfrmLogin*>(dialog)->Layout();
        press(Qt::Key_Escape);
    });
    EXPECT_EQ(Invoke(3)->GetValue("Result").AsInteger(), 2) << "Esc cancels";
    EXPECT_EQ(stops,
              (std::vector<std::string>{"edtPassWord", "btnLogin", "btnUnLogin", "imgUserList", "lblSign"}));
    EXPECT_EQ(layoutAfterLink, qm::TfrmLogin::kLayoutRegister);
}

TEST_F(LoginServiceTest, PasswordsReachNoTraceLogCommandLineOrFile) {
    const std::string password = FreshPassword();
    TMessageRecorder messages;
    QStringList opened;

    // Without a service: a stored login opens a page, is checked and logged out; a dialog login
    // fails for want of the component.
    login_test::WriteBranding(std::string("<forum_addr>") + kForum + "</forum_addr>");
    StoreUser("alice", password);
    Invoke(9, {{"UrlNode", "forum_addr"}});
    opened << TakeBrowserArguments();
    Invoke(7);
    Invoke(8);
    const auto [failedResult, failedMessage] = LogIn("alice", password.c_str());
    EXPECT_EQ(failedResult, 2);
    EXPECT_TRUE(failedMessage.contains(QStringLiteral("没有安装"))) << failedMessage.toStdString();

    // Against the service: two registrations (each creates or rewrites the remembered users, and
    // logs in), a login as the user who is not the last one (the list is rewritten again), the
    // login check and a token login.
    Configure(server_->BaseURL());
    EXPECT_EQ(Register("leaka", password.c_str()).result, 1);
    EXPECT_EQ(Register("leakb", password.c_str()).result, 1);
    const auto [result, message] = LogIn("leaka", password.c_str());
    ASSERT_EQ(result, 1) << message.toStdString();
    EXPECT_EQ(Shared("Password"), password);
    EXPECT_EQ(InvokeWithoutDialog(7, {}, false)->GetValue("Result").AsInteger(), 1);
    EXPECT_EQ(InvokeWithoutDialog(9, {{"UrlNode", "forum_addr"}}, false)->GetValue("Result").AsInteger(), 1);
    opened << TakeBrowserArguments();
    // The login rewrote the remembered users: the scan below covers that file as written then.
    const std::vector<std::string> users = qm::ReadRememberedUsers(login_test::UsersPath());
    EXPECT_EQ(users, (std::vector<std::string>{"leaka", "leakb"}));

    const QString secret = QString::fromStdString(password);
    EXPECT_FALSE(messages.Text().isEmpty()) << "the trace recorded nothing at all";
    EXPECT_FALSE(messages.Text().contains(secret)) << messages.Text().toStdString();
    EXPECT_EQ(opened.size(), 2);
    EXPECT_FALSE(opened.join(QLatin1Char(' ')).contains(secret))
        << opened.join(QLatin1Char(' ')).toStdString();
    // Every file of the installation (remembered users, log, configuration) and of the service's
    // folder (its database among them).
    for (const QString& folder : {QString::fromStdString(qm::AppPath()), dir_.path()}) {
        SCOPED_TRACE(folder.toStdString());
        const auto [holding, read] = FilesHolding(folder, password);
        EXPECT_TRUE(holding.isEmpty()) << holding.join(QLatin1Char(' ')).toStdString();
        EXPECT_GT(read, 3);
    }
}

TEST_F(LoginServiceTest, UnreachableOrSilentServicesFailClearlyWithinTheirLimit) {
    // A port that nobody listens on any more, and the server's held requests that never answer.
    qm::test::ReferenceServer gone(dir_.filePath(QStringLiteral("root")).toStdString());
    const std::string goneAddress = gone.BaseURL();
    gone.Stop();
    struct TCase {
        std::string address;
        int timeoutSeconds;
        QString message;
    };
    const TCase cases[] = {
        {goneAddress, 15, QStringLiteral("无法连接账户服务")},
        {server_->URL("/hang"), 2, QStringLiteral("账户服务没有在2秒内应答")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.address);
        Configure(c.address, c.timeoutSeconds);
        const auto started = Clock::now();
        const auto [result, message] = LogIn("carol1", "fifteen-chars-1");
        EXPECT_EQ(result, 2);
        EXPECT_TRUE(message.contains(c.message)) << message.toStdString();

        // The login check with a stored user swallows the failures: no answer, no dialog, no hang;
        // an account page opens without a token. The service is asked off the UI thread, which
        // keeps turning meanwhile, however long the service keeps it waiting.
        StoreUser("carol1", "fifteen-chars-1");
        for (const int number : {7, 9}) {
            SCOPED_TRACE(number);
            const TTickWatch ticks;
            const auto asked = Clock::now();
            const IDataDocument answer = number == 7
                                             ? InvokeWithoutDialog(7, {}, false)
                                             : InvokeWithoutDialog(9, {{"UrlNode", "forum_addr"}}, false);
            const auto took = Clock::now() - asked;
            EXPECT_LT(ticks.LongestGap(), std::chrono::milliseconds(500)) << ticks.Ticks() << " ticks";
            if (c.timeoutSeconds == 2) {
                EXPECT_GE(took, std::chrono::milliseconds(1900)) << "the service was not waited for";
            }
            if (number == 7) {
                EXPECT_FALSE(answer->HasItem("Result"));
                continue;
            }
            EXPECT_EQ(answer->GetValue("Result").AsInteger(), 0);
            EXPECT_FALSE(answer->HasItem("ErrMsg"));
            EXPECT_EQ(TakeBrowserArguments(), QStringList{QString::fromLatin1(kForumOpened)});
        }
        StoreUser("", "");
        EXPECT_LT(Clock::now() - started, std::chrono::seconds(15));
    }
}

} // namespace
