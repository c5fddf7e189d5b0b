// The one way results come back to the UI thread: work on a worker thread, its answer on the
// thread of the object that asked, never to an object that has gone, and a task whose owner goes
// stops its work and waits for it.
#include "common/AsyncTask.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Runs the event loop until ready holds or ms have passed.
bool WaitFor(const std::function<bool()>& ready, int ms = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(CallBackOn, RunsOnTheContextsThreadLaterAndNeverForAContextThatHasGone) {
    const struct {
        const char* name;
        bool fromWorker;
        bool contextGoes;
    } cases[] = {
        {"from a worker", true, false},
        {"from the same thread, after the caller has returned", false, false},
        {"context gone before the loop runs", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto context = std::make_unique<QObject>();
        std::atomic<bool> ran{false};
        QThread* ranOn = nullptr;
        const auto post = [&] {
            qm::CallBackOn(context.get(), [&] {
                ranOn = QThread::currentThread();
                ran = true;
            });
        };
        if (c.fromWorker) {
            std::thread worker(post);
            worker.join();
        } else {
            post();
        }
        EXPECT_FALSE(ran) << "never before the event loop runs";
        if (c.contextGoes)
            context.reset();
        const bool arrived = WaitFor([&] { return ran.load(); }, c.contextGoes ? 300 : 5000);
        EXPECT_EQ(arrived, !c.contextGoes);
        if (arrived) {
            EXPECT_EQ(ranOn, QThread::currentThread());
        }
    }
}

TEST(AsyncTask, AnswersOnTheOwnersThreadOneWorkAtATime) {
    QObject owner;
    qm::TAsyncTask task;
    std::atomic<bool> release{false};
    std::atomic<QThread*> workedOn{nullptr};
    int answer = 0;
    ASSERT_TRUE(task.RunThenCallback<int>(
        &owner,
        [&](corvane::TStopToken&) {
            workedOn = QThread::currentThread();
            while (!release)
                std::this_thread::sleep_for(1ms);
            return 42;
        },
        [&](int value) { answer = value; }));
    EXPECT_TRUE(task.Running());
    EXPECT_FALSE(task.RunThenCallback<int>(
        &owner, [](corvane::TStopToken&) { return 1; }, [](int) {}))
        << "a second work waits for the first";
    release = true;
    ASSERT_TRUE(WaitFor([&] { return answer != 0; }));
    EXPECT_EQ(answer, 42);
    EXPECT_NE(workedOn.load(), QThread::currentThread());
    EXPECT_FALSE(task.Running());
}

// An owner that goes stops the work's network calls through its token and waits for the thread:
// nothing is answered afterwards.
TEST(AsyncTask, GoingStopsTheWorkAndDropsItsAnswer) {
    QObject owner;
    bool answered = false;
    std::atomic<bool> stopped{false};
    const auto started = std::chrono::steady_clock::now();
    {
        qm::TAsyncTask task;
        ASSERT_TRUE(task.RunThenCallback<bool>(
            &owner,
            [&](corvane::TStopToken& stop) {
                while (!stop.Stopped() && std::chrono::steady_clock::now() - started < 20s)
                    std::this_thread::sleep_for(1ms);
                stopped = stop.Stopped();
                return true;
            },
            [&](bool) { answered = true; }));
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    WaitFor([] { return false; }, 200);
    EXPECT_FALSE(answered);
}

} // namespace
