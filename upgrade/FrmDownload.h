#pragma once

#include "upgrade/TaskObj.h"

#include <QElapsedTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QFile;
class QFrame;
class QLabel;
class QProgressBar;
class QTimer;

namespace qm {

class TClickImage;
class TMultipartHttpDownloader;

// The strip window that fetches the upgrade plug-in's files one task at a time: progress, pause,
// resume and abort, a stalled connection given up, a lost network waited out; a finished program
// is run and waited for, an archive handed to extraction. Each task's end goes to its OnDone.
// Docked by its owner (the upgrade dialog, the install window) or run hidden.
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

    // Starts the first queued task unless a transfer is running.
    void StartNext();
    // Starts (tag 0) or resumes (tag 1) the current transfer; a fresh start that finds resume data
    // of the same address resumes. Errors close the file again and propagate.
    void StartTransfer();
    // Stops the transfer without touching the queue; its end (aborted) is still reported.
    void AbortQuietly();
    // Frees the window, or, while it waits for an installer, as soon as the wait is over.
    void Release();

    // The user's commands.
    void imgPauseClick();
    void imgDownClick();
    void imgAbortClick();
    // The reconnect poll, once a second while the network is lost.
    void tmr1Timer();

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
    // Runs the finished program; false when it could not be started.
    bool RunInstaller(const std::string& file, const std::string& params);
    void ShowProgressTip(std::int64_t received);

    std::unique_ptr<QFile> stream_;
    QElapsedTimer speedClock_;
    std::int64_t speedBytes_ = 0;
    bool installing_ = false;
    bool releaseWanted_ = false;
};

} // namespace qm
