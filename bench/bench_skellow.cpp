// The channels plug-in under load: what request 301 costs the sending thread while 8 threads send
// usage events (through the plugin object, as any thread may), and how many events per second the
// worker records into the statistics files. Shipping is off (no logging service configured), so
// the figures are the plug-in's own. The plug-in counts into BKLOG/ beside this program (its
// installation folder), which is removed at the end; the worker alone runs on a scratch folder.
#include "corvane/Khan.h"
#include "skellow/ChanThrd.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kThreads = 8;
constexpr int kEventsPerThread = 1250;

corvane::IDataDocument Event(int n) {
    corvane::IDataDocument event = corvane::TakeDataDocument(301, 0);
    event->SetString("FProductID", "1");
    event->SetString("FProductVer", "0.1.0");
    event->SetString("FBKUser", "bench");
    event->SetString("FFunctionKey", "S2S007S005S" + std::to_string(100 + n % 240) + "S001");
    event->SetString("LogName", "user" + std::to_string(n % 3));
    return event;
}

// Request 301 on the callers' threads: the median and the 99th percentile of the per-call time.
void MeasureRequestCost(const std::string& skellow) {
    corvane::Khan().Invoke(skellow, Event(0));
    void* library = dlopen(corvane::LibraryAddress(skellow).c_str(), RTLD_NOW | RTLD_NOLOAD);
    auto create = reinterpret_cast<corvane::TCreatePluginFunc>(dlsym(library, "CreatePlugin"));
    corvane::TPlugin* plugin = nullptr;
    create(&plugin);
    dlclose(library);

    std::vector<std::vector<double>> times(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::vector<corvane::IDataDocument> events;
            for (int i = 0; i < kEventsPerThread; ++i)
                events.push_back(Event(i * kThreads + t));
            for (const corvane::IDataDocument& event : events) {
                const auto start = Clock::now();
                plugin->Invoke(*event);
                times[t].push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::vector<double> all;
    for (const auto& perThread : times)
        all.insert(all.end(), perThread.begin(), perThread.end());
    std::sort(all.begin(), all.end());
    std::printf("request 301 on the caller's thread, %d threads x %d events: median %.2f us, p99 %.2f us, "
                "max %.1f us\n",
                kThreads, kEventsPerThread, all[all.size() / 2], all[all.size() * 99 / 100], all.back());
    const auto stop = Clock::now();
    corvane::Khan_Free(); // the worker records what is still queued before it ends
    std::printf("  plug-in stopped (remaining events recorded) in %.0f ms\n",
                std::chrono::duration<double, std::milli>(Clock::now() - stop).count());
}

// The worker alone: events queued at once, then the time until all are in the files.
void MeasureRecording(const std::string& folder) {
    constexpr int kEvents = 20000;
    qm::skellow::TUsageRecorder recorder(
        folder, [] { return qm::skellow::CreateRegistrationNumber("/nonexistent/SysConfig.Xml"); },
        [](std::string_view) {});
    qm::skellow::TUsageShipper shipper(
        folder, [](corvane::TStopToken*) { return qm::skellow::CreateSendLog(std::nullopt); },
        [](std::string_view) {});
    qm::skellow::TChanThrd worker(std::move(recorder), std::move(shipper), [](std::string_view) {});
    const auto start = Clock::now();
    for (int i = 0; i < kEvents; ++i) {
        qm::skellow::TUsageEvent event{"1", "0.1.0", "bench",
                                       "S2S007S005S" + std::to_string(100 + i % 240) + "S001",
                                       "user" + std::to_string(i % 3)};
        worker.Queue(std::move(event));
    }
    worker.WaitIdle();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("worker: %d events recorded in %.2f s: %.0f events/s\n", kEvents, seconds, kEvents / seconds);
}

} // namespace

int main() {
    const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "qm-bench-skellow";
    std::filesystem::remove_all(scratch);
    std::filesystem::create_directories(scratch);
    MeasureRequestCost(SKELLOW_FILE);
    MeasureRecording((scratch / "BKLOG").string() + "/");
    std::filesystem::remove_all(scratch);
    std::filesystem::remove_all(std::filesystem::read_symlink("/proc/self/exe").parent_path() / "BKLOG");
    return 0;
}
