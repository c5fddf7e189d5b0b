#pragma once

#include "upgrade/TaskObj.h"
#include "upgrade/UpdateJob.h"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QFrame;
class QLabel;
class QProgressBar;

namespace qm {

class TClickImage;

// The strip window that fetches the upgrade plug-in's files one task at a time. Each task runs as
// a TUpdateJob (download, check, apply); the window only shows the current job (progress, status,
// the pause/resume/abort pictures) and passes the user's commands on. Each task's end goes to its
// OnDone; a failure is also shown to the user and logged. Docked by its owner (the upgrade dialog,
// the install window) or run hidden.
class TFrmDownload : public QWidget {
    Q_OBJECT

public:
    explicit TFrmDownload(QWidget* parent = nullptr);
    ~TFrmDownload() override;

    // Called after a user abort.
    std::function<void()> OnCancel;
    // PNG shown as the background; blank for none.
    std::string ImageFile;
    // From the start of a task until it ends, is aborted or fails; stays true while paused.
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
    // Parts of each transfer.
    int PartCount = 5;

    // Starts the first queued task unless one is running. A task that cannot start (its file
    // cannot be created, another address is being fetched into it) ends at once with state 4.
    void StartNext();
    // Stops the transfer without touching the queue; its end (aborted) is still reported. A task
    // whose file is already being checked or applied is left to end by itself.
    void AbortQuietly();
    // Frees the window, or, while it waits for an installer, as soon as the wait is over.
    void Release();

    // The user's commands. Resuming probes the address first and goes on when it answers.
    void imgPauseClick();
    void imgDownClick();
    void imgAbortClick();

    // The job of the current task (also once it has ended, until the next one starts); null
    // before the first. Owned by this window.
    TUpdateJob* Job() const noexcept { return job_; }
    // The finished file is being checked, or applied: the transfer is over, the task not yet.
    bool Finishing() const noexcept { return job_ != nullptr && job_->Finishing(); }

    // Components, in z-order.
    QFrame* cxpnlCenter = nullptr;
    QLabel* imgMe = nullptr;
    TClickImage* imgDown = nullptr;
    TClickImage* imgPause = nullptr;
    TClickImage* imgAbort = nullptr;
    QProgressBar* Press = nullptr;
    QLabel* lblInfo = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FormShow();
    void LayoutControls();
    void SetInfo(const std::string& text);
    // A new job for CurrentTask, replacing the last one.
    TUpdateJob& NewJob();
    // What the window shows of the job.
    void JobProgress(int percent, qint64 received, qint64 total, qint64 bytesPerSecond);
    void JobStatus(TUpdateJob::TStatus status);
    // The job has ended: a failure is told, the next task starts, and when none did, the task's
    // OnDone hears state.
    void JobFinished(int state, const std::string& reason);
    // "更新" or "下载安装": what the current task does, in failure messages.
    std::string TaskAction() const;

    TUpdateJob* job_ = nullptr; // owned by this window
    bool releaseWanted_ = false;
};

} // namespace qm
