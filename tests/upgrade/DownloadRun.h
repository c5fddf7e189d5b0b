#pragma once

#include "upgrade/MultipartDownloader.h"

#include <QCoreApplication>
#include <QFile>
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
    QFile file_; // first, so the downloader goes before it

public:
    // A fresh file (truncated) for Start, or the existing one opened for writing for Resume.
    TDownloadRun(const std::string& url, const std::string& target, bool forResume = false)
        : file_(QString::fromStdString(target)) {
        file_.open(forResume ? QIODevice::ReadWrite : QIODevice::ReadWrite | QIODevice::Truncate);
        downloader = std::make_unique<TMultipartHttpDownloader>();
        downloader->URL = url;
        downloader->StateFileName = target + ".Status";
        downloader->SetFileStream(&file_);
        QObject::connect(downloader.get(), &TMultipartHttpDownloader::RequestDone,
                         [this](int code, const std::string& reason) {
                             done.emplace_back(code, reason);
                             file_.close(); // as the window does
                         });
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
    void Kill() {
        downloader.reset();
        file_.close();
    }

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
