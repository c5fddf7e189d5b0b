// qm-download-one URL FILE: downloads one file the way the download window does, and is meant to be
// killed. A start that finds the resume data of an earlier, killed run goes on from it.
//
// Prints "recorded N" (bytes the resume data on record covers at the start), then "received N"
// every few milliseconds (bytes this run has written), and "done STATE" at the end; exits 0 when
// the file arrived whole.
#include "upgrade/DownloadState.h"
#include "upgrade/FrmDownload.h"
#include "upgrade/MultipartDownloader.h"
#include "upgrade/ResultCodes.h"
#include "upgrade/TaskObj.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <optional>

namespace {

constexpr int kReportIntervalMs = 5;

std::int64_t RecordedBytes(const std::string& stateFile, const std::string& url) {
    const std::optional<qm::TDownloadState> saved = qm::ReadDownloadState(stateFile);
    std::int64_t bytes = 0;
    if (saved && saved->url == url) {
        for (const qm::TPartState& part : saved->parts)
            bytes += part.done;
    }
    return bytes;
}

// Each line goes out at once, so that a kill loses none of what was said.
void Say(const char* what, long long value) {
    std::printf("%s %lld\n", what, value);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qm-download-one URL FILE\n");
        return 2;
    }
    QApplication app(argc, argv);
    qm::TTaskObj task;
    task.URL = argv[1];
    task.LocalFile = argv[2];
    int reported = -1;
    task.OnDone = [&reported](qm::TTaskObj&, int state, const std::string&) {
        reported = state;
        QCoreApplication::exit(0);
    };
    Say("recorded", RecordedBytes(task.LocalFile + ".Status", task.URL));

    qm::TFrmDownload window;
    window.Queue.push_back(&task);
    QTimer report;
    QObject::connect(&report, &QTimer::timeout,
                     [&window] { Say("received", window.Job()->Downloader()->SessionBytes()); });
    report.start(kReportIntervalMs);
    window.StartNext();
    app.exec();
    Say("received", window.Job()->Downloader()->SessionBytes());
    Say("done", reported);
    return reported == qm::kStateNone ? 0 : 1;
}
