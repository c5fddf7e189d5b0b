#pragma once

#include "common/AsyncTask.h"
#include "common/Result.h"
#include "upgrade/DownloadClaims.h"
#include "upgrade/ExtractOutcome.h"
#include "upgrade/TaskObj.h"

#include <QElapsedTimer>
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QTimer;

namespace qm {

class TMultipartHttpDownloader;

// One package's way from download to result: the transfer (five parts, pause, resume, abort), a
// connection that brings nothing given up, a lost network waited out, the finished file checked
// (PackageIntegrity.h), then a program run and waited for or an archive extracted. It reports
// through signals only, driven by the same signal whichever thread did the work (the probes, the
// check and the extraction answer through CallBackOn); the download window shows it and passes
// the user's commands on. UI thread only.
//
// A file is written by one job at a time in the whole process (DownloadClaims.h): a job whose file
// another job is fetching from the same address waits for that transfer and ends as it ends.
class TUpdateJob : public QObject {
    Q_OBJECT

public:
    // What the job is doing, for the window to show.
    enum class TStatus {
        Connecting,       // a fresh transfer asks the server
        Downloading,      // bytes arrive, or another job's transfer brings the file
        Resumed,          // by the user
        Reconnected,      // by itself, once the network came back
        Paused,           // by the user
        NetworkLost,      // waiting for the network; the transfer goes on by itself
        ConnectionFailed, // nothing came: the owner gives up the user's way (an abort)
        Finishing,        // the file is complete: being checked
        Installing,       // the program runs or the archive is extracted
    };

    // task must outlive the job.
    explicit TUpdateJob(TTaskObj& task, QObject* parent = nullptr);
    // A transfer still running is aborted (its file deleted); a claim is given up.
    ~TUpdateJob() override;

    // Starts the transfer; a task whose file cannot be started ends at once (failed). A fresh
    // start that finds resume data of the same address beside the file resumes.
    void Start();
    // The user's pause: the resume data is written, the job waits.
    void Pause();
    // The user's resume: the address is probed off this thread, and the transfer goes on (or,
    // after a given-up connection, starts again) when it answers.
    void Resume();
    // The user's abort: the transfer stops, its file and resume data are deleted; finished follows
    // (cancelled, or failed for a forced upgrade). Nothing happens while the file is being checked
    // or applied.
    void Abort();
    // Stops the transfer without touching the file; finished follows as for Abort.
    void AbortQuietly();
    // The reconnect poll's tick, once a second while the network is lost: the address is probed
    // off this thread, and the transfer resumed when it answers.
    void ReconnectTick();

    // The task it runs.
    TTaskObj& Task() const noexcept { return task_; }
    // True from Start until finished was emitted (also while paused).
    bool Running() const noexcept { return running_; }
    // The file is complete and being checked, run or extracted: it can no longer be stopped.
    bool Finishing() const noexcept { return finishing_; }
    // Another job writes the file; this one waits for it.
    bool Joined() const noexcept { return joined_; }
    // A program started by the job is running.
    bool Installing() const noexcept { return installing_; }
    // Statistics ticks in a row without a byte; kStallFailed once the connection was given up.
    int StallTicks() const noexcept { return stallTicks_; }
    static constexpr int kStallFailed = 99;
    TStatus Status() const noexcept { return status_; }

    // How it ended: the state reported by finished (kStateNone until then).
    int State() const noexcept { return state_; }
    // kStateFailed when the job failed in a way the user must hear of (errorString says why in
    // the user's words, errorDetail for the log); 0 otherwise.
    int error() const noexcept { return failure_.code; }
    const std::string& errorString() const noexcept { return failure_.reason; }
    const std::string& errorDetail() const noexcept { return failure_.detail; }

    // The downloader, for the window's statistics (content length) and for tests. Owned.
    TMultipartHttpDownloader* Downloader() const noexcept { return downloader_; }
    // The reconnect poll, running while the network is lost. Owned.
    QTimer* ReconnectTimer() const noexcept { return reconnect_; }

signals:
    // Once a second while bytes are expected: percent done, bytes so far and in all (0: unknown),
    // and the speed since the last tick.
    void progress(int percent, qint64 received, qint64 total, qint64 bytesPerSecond);
    void statusChanged(TUpdateJob::TStatus status);
    // Once, when the job has ended; state is the requester's code (ResultCodes.h).
    void finished(int state, const std::string& reason);

private:
    void SetStatus(TStatus status);
    void ClaimAndStart();
    void StartTransfer();
    void StartOrFail(const std::string& why);
    void Probe(std::function<void(bool reachable)> answered);
    void OnStats(int percent, std::int64_t received);
    void OnRequestDone(int code, const std::string& reason);
    void OnPartLost();
    void ResumeNow();
    void GiveUpConnection();
    void CheckPackage();
    void PackageChecked(const TResult<>& verdict);
    void ApplyProgram();
    void ExtractionEnded(const TExtractOutcome& outcome);
    void JoinedTransferEnded(download_claims::TEnd end, const std::string& reason);
    // Ends the job: the file's claim is given up, finished is emitted.
    void End(int state, const std::string& reason, download_claims::TEnd end);
    // A failure the user must hear of: partial files deleted, error() set, state 4.
    void Fail(const std::string& why, const std::string& detail);
    void ReleaseFile(download_claims::TEnd end, const std::string& reason);

    TTaskObj& task_;
    TMultipartHttpDownloader* downloader_ = nullptr; // owned by this job
    QTimer* reconnect_ = nullptr;                    // owned by this job
    TStatus status_ = TStatus::Connecting;
    QElapsedTimer speedClock_;
    std::int64_t speedBytes_ = 0;
    int stallTicks_ = 0;
    int state_ = 0;
    TFailure failure_;
    // The extraction's way back; closed when the job goes, the extraction may run on.
    std::shared_ptr<TCallBackGate> extractionGate_;
    bool running_ = false;
    bool aborted_ = false;
    bool finishing_ = false;
    bool installing_ = false;
    bool claimed_ = false; // this job writes the file
    bool joined_ = false;  // another job writes the file for this task
    // The file claimed or joined, kept here: a job let go of after its task must still release it.
    std::string claimedFile_;
    // Counts transfers started, so that a probe's late answer is not applied to a later one.
    int transferSerial_ = 0;
    // Last members: destroyed first, they stop and wait for their threads before anything the
    // threads' answers would touch goes.
    TAsyncTask probe_;
    TAsyncTask check_;
};

} // namespace qm
