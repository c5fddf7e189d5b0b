#pragma once

#include "corvane/BsonDocument.h"
#include "host/UIPlugin.h"

#include <QPointer>
#include <QSet>
#include <QSignalSpy>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QWebEngineView>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

// Readable failure messages for Qt values.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QUrl& url, std::ostream* out) {
    *out << url.toString().toStdString();
}

// The real host plugin in the bus's host slot, the real invoice plug-in loaded from the test
// installation (the test program's folder) and the test channels plug-in "Skellow.so" beside the
// program, which keeps the usage events it receives.
class TInvoiceTest : public ::testing::Test {
public:
    void SetUp() override;
    // Unloads every plug-in, so each test starts with a fresh library and no window.
    void TearDown() override;

    static std::string InvoicePlugin();
    static std::string PageFile();

    // REQ_1 of the invoice plug-in: the window's handle ("inst").
    static std::int32_t RequestWindow();
    // The live window behind a handle, checked as a form and control.
    static QWidget* WindowOf(std::int32_t handle);
    static QWebEngineView* BrowserOf(QWidget* window);

    // A new window (none may exist yet) with its first page load being watched.
    struct TOpened {
        std::int32_t handle = 0;
        QWidget* window = nullptr;
        QWebEngineView* browser = nullptr;
        std::shared_ptr<QSignalSpy> loads;
        // Whether the window has been destroyed since.
        bool Gone() const { return watch.isNull(); }
        QPointer<QWidget> watch;
    };
    static TOpened OpenWindow();
    // The outcome of the first page load of the window (false as well when none finished in time).
    static bool FirstLoadSucceeded(TOpened& opened);
    // Shows the window on the screen, active, and waits until the page paints.
    static void ShowActive(QWidget& window);

    // Runs script in the page and waits for its value.
    static QVariant RunScript(QWebEngineView& browser, const QString& script);
    // Waits until the page has run what was queued in it so far (input events with their default actions,
    // timers due at once) up to its next frame, and the application has handled every event posted
    // meanwhile: what the page would have asked of the window by then (a menu, a dialog, a new window, a
    // navigation) has been asked. Fails the test when the page does not get there in time.
    static void Settle(QWebEngineView& browser);
    // Waits until the application has handled every event posted so far.
    static void HandlePostedEvents();
    // Processes events until condition holds or the time is up.
    static bool WaitFor(const std::function<bool()>& condition, int milliseconds = 20000);

    // The usage events the test channels plug-in has recorded, and the last one.
    static std::int32_t UsageEventCount();
    static corvane::IDataDocument LastUsageEvent();

    // The visible top-level windows of the application.
    static QSet<QWidget*> VisibleTopLevels();

    // The <title> of the installed page, read from the file itself.
    static QString PageTitleInFile();

    qm::TUIPlugin host;
};
