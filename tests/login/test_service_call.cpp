// A service call runs off the UI thread: the window keeps handling events, its buttons are
// disabled and the cursor is busy meanwhile, and everything is put back afterwards.
#include "common/ServiceCall.h"
#include "corvane/Errors.h"
#include "corvane/TransferStop.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(ServiceCall, KeepsTheWindowAliveWhileTheCallWaits) {
    QWidget window;
    auto* enabled = new QPushButton(QStringLiteral("登录"), &window);
    auto* alreadyDisabled = new QPushButton(QStringLiteral("取消"), &window);
    alreadyDisabled->setEnabled(false);

    // The call can only end when the UI thread has run a timer while it waits.
    std::promise<void> uiRan;
    std::future<void> uiRanFuture = uiRan.get_future();
    bool enabledDuringCall = true;
    bool busyCursorDuringCall = false;
    QTimer::singleShot(30, &window, [&] {
        enabledDuringCall = enabled->isEnabled();
        busyCursorDuringCall =
            QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        uiRan.set_value();
    });
    const std::thread::id uiThread = std::this_thread::get_id();
    std::thread::id workThread;
    const bool answered = qm::RunServiceCall<bool>({enabled, alreadyDisabled}, [&] {
        workThread = std::this_thread::get_id();
        return uiRanFuture.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    });

    EXPECT_TRUE(answered) << "the UI thread was blocked during the call";
    EXPECT_NE(workThread, uiThread);
    EXPECT_FALSE(enabledDuringCall);
    EXPECT_TRUE(busyCursorDuringCall);
    EXPECT_TRUE(enabled->isEnabled());
    EXPECT_FALSE(alreadyDisabled->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(ServiceCall, ACallForTheDeskKeepsItPaintingAndHandsBackItsError) {
    // The call can only end when the UI thread has run a timer meanwhile.
    std::promise<void> uiRan;
    std::future<void> uiRanFuture = uiRan.get_future();
    QObject context;
    QTimer::singleShot(30, &context, [&uiRan] { uiRan.set_value(); });
    try {
        qm::RunServiceCallHoldingInput([&uiRanFuture] {
            if (uiRanFuture.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
                return;
            throw corvane::ETax("账户服务没有在15秒内应答", "test");
        });
        ADD_FAILURE() << "the UI thread was blocked during the call, or the error was lost";
    } catch (const corvane::ETax& error) {
        EXPECT_EQ(error.Message(), "账户服务没有在15秒内应答");
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(ServiceCall, TheApplicationEndingStopsTheCallAtOnce) {
    // As on the desk: the call runs inside the application's loop, which is told to end meanwhile.
    bool stopReached = false;
    std::chrono::steady_clock::duration took{};
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(30, [] { QCoreApplication::exit(0); });
        const auto started = std::chrono::steady_clock::now();
        qm::RunServiceCallHoldingInput([&stopReached] {
            // A network call waits like this for the process-wide stop (or its time limit).
            std::promise<void> stopped;
            const corvane::TStopRegistration registration(corvane::ProcessStop(),
                                                          [&stopped] { stopped.set_value(); });
            stopReached =
                stopped.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        });
        took = std::chrono::steady_clock::now() - started;
    });
    QCoreApplication::exec();
    corvane::ProcessStop().ResetForTesting();
    EXPECT_TRUE(stopReached);
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(ServiceCall, HandsTheCallsErrorBackToTheCaller) {
    QPushButton button;
    try {
        qm::RunServiceCall({&button},
                           [] { throw corvane::ETax("组件(MERIDAPI.BrennikApi)没有安装", "test"); });
        ADD_FAILURE() << "no error";
    } catch (const corvane::ETax& error) {
        EXPECT_EQ(error.Message(), "组件(MERIDAPI.BrennikApi)没有安装");
    }
    EXPECT_TRUE(button.isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
