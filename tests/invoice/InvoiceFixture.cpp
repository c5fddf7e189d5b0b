#include "InvoiceFixture.h"

#include "common/Paths.h"
#include "corvane/HandleTable.h"
#include "corvane/Khan.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

void TInvoiceTest::SetUp() {
    corvane::Khan().SetHostPlugin(&host);
}

void TInvoiceTest::TearDown() {
    corvane::Khan_Free();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

std::string TInvoiceTest::InvoicePlugin() {
    return qm::PluginsPath() + "Invoice/Verrian.dll";
}

std::string TInvoiceTest::PageFile() {
    return qm::PluginsPath() + "Invoice/html/fpsearch.html";
}

std::int32_t TInvoiceTest::RequestWindow() {
    auto answer = corvane::Khan().Invoke(InvoicePlugin(), corvane::TakeDataDocument(1, 0));
    return answer->GetValue("inst").AsInteger();
}

QWidget* TInvoiceTest::WindowOf(std::int32_t handle) {
    return static_cast<QWidget*>(corvane::Handles().Resolve(
        handle, corvane::kHandleControl | corvane::kHandleForm, "inst", "invoice test"));
}

QWebEngineView* TInvoiceTest::BrowserOf(QWidget* window) {
    return window->findChild<QWebEngineView*>(QStringLiteral("wbInvoice"));
}

TInvoiceTest::TOpened TInvoiceTest::OpenWindow() {
    TOpened opened;
    opened.handle = RequestWindow();
    opened.window = WindowOf(opened.handle);
    opened.watch = opened.window;
    opened.browser = BrowserOf(opened.window);
    // Loading needs the event loop, so nothing has finished before the spy starts listening.
    if (opened.browser)
        opened.loads = std::make_shared<QSignalSpy>(opened.browser, &QWebEngineView::loadFinished);
    return opened;
}

bool TInvoiceTest::FirstLoadSucceeded(TOpened& opened) {
    if (!opened.loads)
        return false;
    if (opened.loads->isEmpty() && !opened.loads->wait(30000))
        return false;
    return opened.loads->first().first().toBool();
}

void TInvoiceTest::ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window, 10000));
    // The browser's own widget (which receives input) comes with the first paint.
    QWebEngineView* browser = BrowserOf(&window);
    EXPECT_TRUE(
        WaitFor([&] { return browser->focusProxy() != nullptr && browser->focusProxy()->isVisible(); }));
}

QVariant TInvoiceTest::RunScript(QWebEngineView& browser, const QString& script) {
    // The answer may come after a timeout; it must not land on a stack frame that is gone.
    auto result = std::make_shared<std::optional<QVariant>>();
    browser.page()->runJavaScript(script, [result](const QVariant& value) { *result = value; });
    if (!WaitFor([&] { return result->has_value(); }))
        ADD_FAILURE() << "no answer from the page for: " << script.toStdString();
    return result->value_or(QVariant());
}

void TInvoiceTest::Settle(QWebEngineView& browser) {
    RunScript(browser, QStringLiteral("window.qmSettled = false;"
                                      "requestAnimationFrame(function () {"
                                      "  setTimeout(function () { window.qmSettled = true; }, 0); });"));
    if (!WaitFor([&] { return RunScript(browser, QStringLiteral("window.qmSettled")).toBool(); }))
        ADD_FAILURE() << "the page did not reach its next frame";
    HandlePostedEvents();
}

void TInvoiceTest::HandlePostedEvents() {
    bool posted = false;
    QTimer::singleShot(0, [&posted] { posted = true; });
    if (!WaitFor([&] { return posted; }))
        ADD_FAILURE() << "the event loop did not come round";
}

bool TInvoiceTest::WaitFor(const std::function<bool()>& condition, int milliseconds) {
    return QTest::qWaitFor(condition, milliseconds);
}

std::int32_t TInvoiceTest::UsageEventCount() {
    return LastUsageEvent()->GetValue("count").AsInteger();
}

corvane::IDataDocument TInvoiceTest::LastUsageEvent() {
    return corvane::Khan().Invoke(qm::AppPath() + "Skellow.dll", corvane::TakeDataDocument(1, 0));
}

QSet<QWidget*> TInvoiceTest::VisibleTopLevels() {
    QSet<QWidget*> visible;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible())
            visible.insert(widget);
    return visible;
}

QString TInvoiceTest::PageTitleInFile() {
    QFile file(QString::fromStdString(PageFile()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const auto match =
        QRegularExpression(QStringLiteral("<title>([^<]*)</title>")).match(QString::fromUtf8(file.readAll()));
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}
