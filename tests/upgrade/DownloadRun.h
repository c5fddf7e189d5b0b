#pragma once

#include "upgrade/MultipartDownloader.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qm::test {

// One transfer driven the way the download window drives it: the caller's file, the downloader
// and everything it reported. The event loop runs only inside the Wait calls.
class TDownloadRun {
public:
    // The downloader opens target itself: Start makes it anew, Resume writes into what is there.
    TDownloadRun(const std::string& url, const std::string& target) {
        downloader = std::make_unique<TMultipartHttpDownloader>();
        downloader->URL = url;
        downloader->StateFileName = target + ".Status";
        downloader->FileName = target;
        QObject::connect(downloader.get(), &TMultipartHttpDownloader::RequestDone,
                         [this](int code, const std::string& reason) { done.emplace_back(code, reason); });
        QObject::connect(
            downloader.get(), &TMultipartHttpDownloader::ShowStats,
            [this](int percent, std::int64_t received) { stats.emplace_back(percent, received); });
    }

    // Also records every part that failed; `then` runs after the record (e.g. a pause).
    void WatchParts(std::function<void()> then = {}) {
        downloader->ReportLostParts = true;
        QObject::connect(downloader.get(), &TMultipartHttpDownloader::ThreadRequestDone,
                         [this, then](int part, int code) {
                             partEvents.emplace_back(part, code);
                             if (then)
                                 then();
                         });
    }

    // What a process that dies leaves behind: no pause, no notice, only what is on disk.
    void Kill() { downloader.reset(); }

    // Runs the event loop until `ready` holds; false when it still does not after `seconds`.
    static bool WaitFor(const std::function<bool()>& ready, int seconds = 60) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        // Sleeps until something happens (the overload with a time limit would spin instead); the
        // timer wakes it to look at the deadline.
        QTimer wake;
        wake.start(50);
        while (!ready()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }

    // Until the transfer reports its end.
    bool WaitDone(int seconds = 60) {
        return WaitFor([this] { return !done.empty(); }, seconds);
    }

    // Until the statistics report bytes received.
    bool WaitForData(int seconds = 60) {
        return WaitFor([this] { return !stats.empty() && stats.back().second > 0; }, seconds);
    }

    std::unique_ptr<TMultipartHttpDownloader> downloader;
    std::vector<std::pair<int, std::string>> done;
    std::vector<std::pair<int, std::int64_t>> stats;
    std::vector<std::pair<int, int>> partEvents;
};

} // namespace qm::test
