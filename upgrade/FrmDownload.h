#pragma once

#include "upgrade/BackgroundCall.h"
#include "upgrade/DownloadClaims.h"
#include "upgrade/ExtractOutcome.h"
#include "upgrade/TaskObj.h"

#include <QElapsedTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QFrame;
class QLabel;
class QProgressBar;
class QTimer;

namespace qm {

class TClickImage;
class TMultipartHttpDownloader;

// The strip window that fetches the upgrade plug-in's files one task at a time: progress, pause,
// resume and abort, a stalled connection given up, a lost network waited out; a finished file is
// checked (PackageIntegrity.h), then a program is run and waited for, an archive extracted. Each
// task's end goes to its OnDone; a failure is also shown to the user and logged. Docked by its
// owner (the upgrade dialog, the install window) or run hidden.
//
// Nothing here waits for the network or hashes a file on the UI thread: reachability probes and
// package checks run on threads of their own and are acted on when they answer. A file is written
// by one window at a time in the whole process (DownloadClaims.h): a task whose file another window
// is fetching from the same address waits for that transfer and hears its outcome.
class TFrmDownload : public QWidget {
    Q_OBJECT

public:
    explicit TFrmDownload(QWidget* parent = nullptr);
    ~TFrmDownload() override;

    // Called after a user abort.
    std::function<void()> OnCancel;
    // PNG shown as the background; blank for none.
    std::string ImageFile;
    // From the start of a transfer until it ends, is aborted or fails; stays true while paused.
    bool Busy = false;
    std::string LocalFile;
    // The task being transferred; not owned.
    TTaskObj* CurrentTask = nullptr;
    // Waiting tasks, first in first out (a handful at most); not owned.
    std::vector<TTaskObj*> Queue;
    std::string URL;
    // "n/count" and two spaces, or two spaces alone; put in front of the status texts.
    std::string Prefix;
    // Tasks started since the last abort.
    int TaskNumber = 0;
    // Statistics ticks in a row without a byte; 99 marks a failed connection.
    int StallTicks = 0;

    static constexpr int kStallFailed = 99;

    // Starts the first queued task unless a transfer is running. A task that cannot start (its file
    // cannot be created, another address is being fetched into it) ends at once with state 4.
    void StartNext();
    // Starts (tag 0) or resumes (tag 1) the current transfer; a fresh start that finds resume data
    // of the same address resumes. Errors (the file cannot be opened) propagate.
    void StartTransfer();
    // Stops the transfer without touching the queue; its end (aborted) is still reported. A task
    // whose file is already being checked or applied is left to end by itself.
    void AbortQuietly();
    // Frees the window, or, while it waits for an installer, as soon as the wait is over.
    void Release();

    // The user's commands. Resuming probes the address first and goes on when it answers.
    void imgPauseClick();
    void imgDownClick();
    void imgAbortClick();
    // The reconnect poll, once a second while the network is lost: a probe of the address, and
    // the transfer resumed when it answers.
    void tmr1Timer();

    // The finished file is being checked, or extracted: the transfer is over, the task not yet.
    bool Finishing() const noexcept { return finishing_; }

    // Components, in z-order.
    QFrame* cxpnlCenter = nullptr;
    QLabel* imgMe = nullptr;
    TClickImage* imgDown = nullptr;
    TClickImage* imgPause = nullptr;
    TClickImage* imgAbort = nullptr;
    QProgressBar* Press = nullptr;
    QLabel* lblInfo = nullptr;
    TMultipartHttpDownloader* MPHttp = nullptr; // owned by this window
    QTimer* tmr1 = nullptr;                     // owned by this window

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FormShow();
    void LayoutControls();
    void SetInfo(const std::string& text);
    void MPHttpShowStats(int percent, std::int64_t received);
    void MPHttpRequestDone(int code, const std::string& reason);
    void MPHttpThreadRequestDone(int partIndex, int code);
    // Runs the finished program: its exit code, or nothing when it could not be started.
    std::optional<int> RunInstaller(const std::string& file, const std::string& params);
    void ShowProgressTip(std::int64_t received);

    // StartTransfer for the task just taken from the queue, claiming its file first.
    void ClaimAndStart();
    // StartTransfer, a failure to start ending the task.
    void StartOrFail(const std::string& why);
    // Probes the address on a worker; reachable(true/false) runs on this thread.
    void Probe(const std::string& url, std::function<void(bool reachable)> answered);
    void GiveUpConnection();
    void ResumeNow();
    // The finished file: checked on a worker, then applied by PackageChecked.
    void CheckPackage();
    struct TVerdict {
        bool passed = false;
        std::string reason;
    };
    void PackageChecked(const TVerdict& verdict);
    void PollExtraction();
    // Ends the current task: the file's claim is given up, the next task starts, and when none
    // did, the task's OnDone hears state.
    void EndTask(int state, const std::string& reason, download_claims::TEnd end);
    // A failure the user must hear of: shown, logged, partial files deleted, state 4.
    void FailTask(const std::string& why, const std::string& detail);
    void JoinedTransferEnded(const TTaskObj* task, download_claims::TEnd end, const std::string& reason);
    void ReleaseFile(download_claims::TEnd end, const std::string& reason);
    // "更新" or "下载安装": what the current task does, in failure messages.
    std::string TaskAction() const;

    QElapsedTimer speedClock_;
    std::int64_t speedBytes_ = 0;
    bool installing_ = false;
    bool releaseWanted_ = false;
    bool finishing_ = false;
    bool claimed_ = false; // this window writes LocalFile
    bool joined_ = false;  // another window writes LocalFile for this task
    // Counts transfers started, so that a probe's late answer is not applied to a later one.
    int transferSerial_ = 0;
    std::shared_future<TExtractOutcome> extraction_;
    QTimer* extractionPoll_ = nullptr; // owned by this window
    // Last members: destroyed first, they stop and wait for their threads before anything the
    // threads' answers would touch goes.
    TBackgroundCall probe_;
    TBackgroundCall check_;
};

} // namespace qm
