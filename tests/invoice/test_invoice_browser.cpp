// The browser settings of the invoice window: silent mode, no context menus, no new windows, the
// desk's language.
#include "InvoiceFixture.h"
#include "tests/common/TestFiles.h"
#include "tests/support/ReferenceServer.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QMenu>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <mutex>

namespace {

using InvoiceBrowser = TInvoiceTest;

// Collects every message the program logs while it lives, with its category, and turns on the
// developers' trace channel meanwhile.
class TLogCapture {
public:
    TLogCapture() {
        QLoggingCategory::setFilterRules(QStringLiteral("quillmere.invoice.debug=true"));
        current_ = this;
        previous_ = qInstallMessageHandler(&TLogCapture::Handle);
    }
    ~TLogCapture() {
        qInstallMessageHandler(previous_);
        current_ = nullptr;
        QLoggingCategory::setFilterRules(QString());
    }
    TLogCapture(const TLogCapture&) = delete;
    TLogCapture& operator=(const TLogCapture&) = delete;

    // Messages of category containing text.
    QStringList Find(const QString& category, const QString& text) const {
        std::lock_guard lock(mutex_);
        QStringList found;
        for (const auto& [messageCategory, message] : messages_)
            if (messageCategory == category && message.contains(text))
                found.append(message);
        return found;
    }
    QStringList OfCategory(const QString& category) const { return Find(category, QString()); }

private:
    static void Handle(QtMsgType, const QMessageLogContext& context, const QString& message) {
        if (current_ == nullptr)
            return;
        std::lock_guard lock(current_->mutex_);
        current_->messages_.append({QString::fromLatin1(context.category ? context.category : ""), message});
    }

    static inline TLogCapture* current_ = nullptr;
    QtMessageHandler previous_ = nullptr;
    mutable std::mutex mutex_;
    QList<std::pair<QString, QString>> messages_;
};

// Closes any modal window that appears while it lives and remembers its class, so that a dialog
// waiting for a user fails the test instead of hanging it.
class TModalWatch {
public:
    TModalWatch() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                seen_.append(QString::fromLatin1(modal->metaObject()->className()));
                modal->close();
            }
        });
        timer_.start(100);
    }
    const QStringList& Seen() const { return seen_; }

private:
    QTimer timer_;
    QStringList seen_;
};

TEST_F(InvoiceBrowser, ScriptErrorsAndScriptDialogsNeverReachTheUser) {
    TOpened opened = OpenWindow();
    ASSERT_TRUE(FirstLoadSucceeded(opened));
    ShowActive(*opened.window);
    const QSet<QWidget*> before = VisibleTopLevels();
    TLogCapture log;
    TModalWatch modals;

    // The dialogs return at once with "no": nothing waits for a user.
    const QVariantList answers =
        RunScript(*opened.browser,
                  QStringLiteral("alert('警告一下');"
                                 "[confirm('确定吗？'), prompt('请输入', '默认值'), 'done']"))
            .toList();
    ASSERT_EQ(answers.size(), 3);
    EXPECT_EQ(answers[0], QVariant(false));
    EXPECT_TRUE(answers[1].isNull()) << "prompt answers like a cancelled dialog";
    EXPECT_EQ(answers[2].toString(), QStringLiteral("done"));

    // An uncaught error in one of the page's own scripts.
    RunScript(*opened.browser, QStringLiteral("setTimeout(function () { notDefinedAnywhere(); }, 0); 1"));
    ASSERT_TRUE(WaitFor([&] { return !log.Find("quillmere.invoice", "notDefinedAnywhere").isEmpty(); }))
        << "the script error goes to the invoice plug-in's debug channel";
    EXPECT_FALSE(log.Find("quillmere.invoice", QStringLiteral("警告一下")).isEmpty());

    // Console output comes in order: once a message written now has arrived, any earlier one has.
    Settle(*opened.browser);
    RunScript(*opened.browser, QStringLiteral("console.log('qm-settled'); 1"));
    ASSERT_TRUE(WaitFor([&] { return !log.Find("quillmere.invoice", "qm-settled").isEmpty(); }));
    EXPECT_TRUE(modals.Seen().isEmpty()) << modals.Seen().join(' ').toStdString();
    EXPECT_EQ(VisibleTopLevels(), before) << "no message box or dialog appeared";
    EXPECT_TRUE(log.OfCategory("js").isEmpty())
        << "the engine's own console output stays silent: " << log.OfCategory("js").join('\n').toStdString();
}

TEST_F(InvoiceBrowser, RightClickShowsNoMenu) {
    TOpened opened = OpenWindow();
    ASSERT_TRUE(FirstLoadSucceeded(opened));
    ShowActive(*opened.window);
    RunScript(*opened.browser, QStringLiteral("window.menuRequests = 0;"
                                              "document.addEventListener('contextmenu', function () {"
                                              "  window.menuRequests++; });"));
    const QSet<QWidget*> before = VisibleTopLevels();

    QWidget* input = opened.browser->focusProxy();
    QTest::mouseClick(input, Qt::RightButton, {}, input->rect().center());
    ASSERT_TRUE(WaitFor([&] {
        return RunScript(*opened.browser, QStringLiteral("window.menuRequests")).toInt() == 1;
    })) << "the right click reached the page";
    Settle(*opened.browser);
    EXPECT_EQ(VisibleTopLevels(), before);
    for (QWidget* widget : VisibleTopLevels())
        EXPECT_EQ(qobject_cast<QMenu*>(widget), nullptr) << "a menu is shown";
}

TEST_F(InvoiceBrowser, CtrlNOpensNothingAndNeverReachesThePage) {
    TOpened opened = OpenWindow();
    ASSERT_TRUE(FirstLoadSucceeded(opened));
    ShowActive(*opened.window);
    RunScript(*opened.browser, QStringLiteral("window.keys = [];"
                                              "document.addEventListener('keydown', function (e) {"
                                              "  if (e.key !== 'Control')"
                                              "    window.keys.push((e.ctrlKey ? 'Ctrl+' : '') + e.key); });"
                                              "document.getElementById('fpNumber').focus();"));
    const QSet<QWidget*> before = VisibleTopLevels();

    QWidget* input = opened.browser->focusProxy();
    QTest::keyClick(input, Qt::Key_1);
    QTest::keyClick(input, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(input, Qt::Key_2);
    ASSERT_TRUE(WaitFor([&] {
        return RunScript(*opened.browser, QStringLiteral("window.keys.join(' ')")).toString().endsWith('2');
    }));
    EXPECT_EQ(RunScript(*opened.browser, QStringLiteral("window.keys.join(' ')")).toString(),
              QStringLiteral("1 2"));
    EXPECT_EQ(
        RunScript(*opened.browser, QStringLiteral("document.getElementById('fpNumber').value")).toString(),
        QStringLiteral("12"));
    Settle(*opened.browser);
    EXPECT_EQ(VisibleTopLevels(), before);
}

TEST_F(InvoiceBrowser, RequestsForNewBrowserWindowsAreRefused) {
    TOpened opened = OpenWindow();
    ASSERT_TRUE(FirstLoadSucceeded(opened));
    ShowActive(*opened.window);
    const QUrl pageUrl = opened.browser->url();
    const QSet<QWidget*> before = VisibleTopLevels();

    EXPECT_EQ(RunScript(*opened.browser, QStringLiteral("window.open('fpsearch.html') === null")),
              QVariant(true));

    // A link that asks for a new window, clicked by the user (which lifts the popup blocker).
    RunScript(*opened.browser,
              QStringLiteral("var a = document.createElement('a'); a.id = 'elsewhere'; a.target = '_blank';"
                             "a.href = 'fpsearch.html?other'; a.textContent = 'elsewhere';"
                             "a.style = 'position:fixed;left:0;top:0;width:200px;height:60px;display:block;"
                             "z-index:99;background:#fff';"
                             "document.body.appendChild(a); window.linkClicks = 0;"
                             "a.addEventListener('click', function () { window.linkClicks++; });"
                             "a.addEventListener('auxclick', function () { window.linkClicks++; });"));
    QWidget* input = opened.browser->focusProxy();
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(50, 30));
    QTest::mouseClick(input, Qt::LeftButton, Qt::ControlModifier, QPoint(50, 30));
    QTest::mouseClick(input, Qt::MiddleButton, {}, QPoint(50, 30));
    ASSERT_TRUE(WaitFor([&] {
        return RunScript(*opened.browser, QStringLiteral("window.linkClicks")).toInt() == 3;
    })) << "the three clicks reached the link";
    Settle(*opened.browser);
    EXPECT_EQ(VisibleTopLevels(), before);
    EXPECT_EQ(opened.browser->url(), pageUrl) << "the window itself stays on its page";
}

TEST_F(InvoiceBrowser, SpeaksTheDesksLanguageToPagesAndServers) {
    TOpened opened = OpenWindow();
    ASSERT_TRUE(FirstLoadSucceeded(opened));

    // The page's own view of its language, and the formats its date fields are shown in.
    EXPECT_EQ(RunScript(*opened.browser, QStringLiteral("navigator.language")).toString(),
              QStringLiteral("zh-CN"));
    EXPECT_EQ(RunScript(*opened.browser, QStringLiteral("Intl.DateTimeFormat().resolvedOptions().locale"))
                  .toString(),
              QStringLiteral("zh-CN"));
    EXPECT_EQ(RunScript(*opened.browser, QStringLiteral("new Intl.DateTimeFormat(undefined, {year: 'numeric',"
                                                        " month: '2-digit', day: '2-digit'})"
                                                        ".format(new Date(2026, 0, 5))"))
                  .toString(),
              QStringLiteral("2026/01/05"));
    EXPECT_EQ(
        RunScript(*opened.browser, QStringLiteral("document.getElementById('dateFrom').type")).toString(),
        QStringLiteral("date"))
        << "the search page's date fields are the browser's own";

    // What a server really receives from the window.
    qm::test::TTempFolder root;
    qm::test::ReferenceServer server(root.Path(), {"--test-routes"});
    QSignalSpy loads(opened.browser, &QWebEngineView::loadFinished);
    opened.browser->setUrl(QUrl(QString::fromStdString(server.URL("/echo/headers"))));
    ASSERT_TRUE(loads.wait(30000));
    ASSERT_TRUE(loads.first().first().toBool());
    const QString body = RunScript(*opened.browser, QStringLiteral("document.body.innerText")).toString();
    const QJsonObject headers = QJsonDocument::fromJson(body.toUtf8()).object();
    ASSERT_FALSE(headers.isEmpty()) << body.toStdString();
    const QString accepted = headers.value(QStringLiteral("Accept-Language")).toString();
    EXPECT_TRUE(accepted.startsWith(QStringLiteral("zh-CN"))) << accepted.toStdString();
}

} // namespace
