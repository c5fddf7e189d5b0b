#include "upgrade/UpdateJob.h"

#include "common/Internet.h"
#include "common/Paths.h"
#include "upgrade/ExtractArchive.h"
#include "upgrade/FinishedFile.h"
#include "upgrade/MultipartDownloader.h"
#include "upgrade/PackageIntegrity.h"
#include "upgrade/ResultCodes.h"
#include "upgrade/RunInstaller.h"
#include "upgrade/UpdateSignature.h"

#include <QPointer>
#include <QTimer>
#include <cstdio>
#include <exception>

namespace qm {

namespace {

constexpr int kPartCount = 5;
constexpr int kReconnectPollMs = 1000;
// Statistics ticks without a byte before the connection is given up.
constexpr int kMostSilentTicks = 9;

void RemoveFile(const std::string& file) {
    if (!file.empty())
        std::remove(file.c_str());
}

const char* const kCannotConnect = "无法连接下载服务器";

// Why a transfer failed, in the user's words.
std::string TransferFailureText(int code) {
    if (code == kDownloadWriteFailed)
        return "下载文件无法写入，磁盘可能已满";
    if (code == kDownloadBeyondLength)
        return "下载文件超过了升级描述给出的长度，已停止";
    if (code >= 10000)
        return kCannotConnect;
    return "下载服务器应答了错误(HTTP " + std::to_string(code) + ")";
}

} // namespace

TUpdateJob::TUpdateJob(TTaskObj& task, QObject* parent)
    : QObject(parent), task_(task), extractionGate_(std::make_shared<TCallBackGate>(this)) {
    downloader_ = new TMultipartHttpDownloader(this);
    downloader_->PartCount = kPartCount;
    // A part that loses the network is reported, so that the job waits for the network rather
    // than fails.
    downloader_->ReportLostParts = true;
    connect(downloader_, &TMultipartHttpDownloader::RequestDone, this, &TUpdateJob::OnRequestDone);
    connect(downloader_, &TMultipartHttpDownloader::ShowStats, this, &TUpdateJob::OnStats);
    connect(downloader_, &TMultipartHttpDownloader::ThreadRequestDone, this, [this] { OnPartLost(); });
    reconnect_ = new QTimer(this);
    reconnect_->setInterval(kReconnectPollMs);
    connect(reconnect_, &QTimer::timeout, this, &TUpdateJob::ReconnectTick);
}

TUpdateJob::~TUpdateJob() {
    extractionGate_->Close();
    ReleaseFile(download_claims::TEnd::Cancelled, "");
}

void TUpdateJob::SetStatus(TStatus status) {
    status_ = status;
    emit statusChanged(status);
}

void TUpdateJob::Start() {
    // A new start has a clean record; a failed connection of an earlier one says nothing here.
    stallTicks_ = 0;
    downloader_->Tag = 0;
    ClaimAndStart();
}

void TUpdateJob::ClaimAndStart() {
    running_ = true;
    aborted_ = false;
    failure_ = {};
    state_ = kStateNone;
    claimedFile_ = task_.LocalFile;
    const auto claim = download_claims::Claim(
        task_.LocalFile, task_.URL, this,
        [this](download_claims::TEnd end, const std::string& reason) { JoinedTransferEnded(end, reason); });
    switch (claim) {
    case download_claims::TClaim::Granted:
        claimed_ = true;
        StartOrFail("无法创建下载文件");
        break;
    case download_claims::TClaim::Joined:
        // The same file from the same address is on its way in another job: this one hears how
        // that one ends instead of writing the file a second time.
        joined_ = true;
        SetStatus(TStatus::Downloading);
        break;
    case download_claims::TClaim::Refused:
        Fail("另一个下载正在写入同一个文件", task_.LocalFile + " is being written from another address");
        break;
    }
}

void TUpdateJob::StartOrFail(const std::string& why) {
    try {
        StartTransfer();
    } catch (const std::exception& error) {
        Fail(why, error.what());
    }
}

void TUpdateJob::StartTransfer() {
    running_ = true;
    ++transferSerial_;
    downloader_->StateFileName = task_.LocalFile + ".Status";
    downloader_->FileName = task_.LocalFile;
    downloader_->URL = task_.URL;
    downloader_->MostBytes = task_.Length;
    speedClock_.start();
    speedBytes_ = 0;
    // Resume data of the same address beside the partial file (a desk that was closed
    // mid-transfer) is worth more than starting over.
    if (downloader_->Tag == 0 && FileExists(task_.LocalFile) && downloader_->HasResumableState())
        downloader_->Tag = 1;
    if (downloader_->Tag == 0) {
        SetStatus(TStatus::Connecting);
        downloader_->Start();
    } else {
        downloader_->Resume();
    }
}

void TUpdateJob::Probe(std::function<void(bool)> answered) {
    // One probe at a time: a tick or click while one is out waits for its answer.
    probe_.RunThenCallback<bool>(
        this, [url = task_.URL](corvane::TStopToken& stop) { return IsURLReachable(url, &stop); },
        std::move(answered));
}

void TUpdateJob::OnStats(int percent, std::int64_t received) {
    if (!running_ || finishing_ || joined_)
        return; // a tick that was under way when the transfer ended
    const double seconds = static_cast<double>(speedClock_.restart()) / 1000.0;
    const std::int64_t fresh = received - speedBytes_;
    speedBytes_ = received;
    const auto perSecond =
        seconds > 0 && fresh > 0 ? static_cast<std::int64_t>(static_cast<double>(fresh) / seconds) : 0;
    status_ = TStatus::Downloading;
    emit progress(percent, received, downloader_->ContentLength(), perSecond);
    if (received == 0)
        ++stallTicks_;
    else
        stallTicks_ = 0;
    if (stallTicks_ > kMostSilentTicks) {
        GiveUpConnection();
        return;
    }
    if (stallTicks_ > 0 && !probe_.Running()) {
        const int serial = transferSerial_;
        Probe([this, serial](bool reachable) {
            // Still the same transfer, and still nothing received.
            if (!reachable && running_ && !finishing_ && serial == transferSerial_ && stallTicks_ > 0 &&
                stallTicks_ != kStallFailed && !reconnect_->isActive())
                GiveUpConnection();
        });
    }
}

void TUpdateJob::GiveUpConnection() {
    stallTicks_ = kStallFailed;
    // The owner gives up the user's way (an abort, which also ends its queue); without one the job
    // aborts itself.
    SetStatus(TStatus::ConnectionFailed);
    if (running_ && !aborted_)
        Abort();
}

void TUpdateJob::OnRequestDone(int code, const std::string& reason) {
    if (!running_ || finishing_)
        return;
    if (joined_) {
        // Nothing of this job's own ran: only its abort ends it early.
        if (code == kDownloadAborted)
            End(task_.AbortedState(), reason, download_claims::TEnd::Cancelled);
        return;
    }
    if (code == kDownloadFinished) {
        CheckPackage();
        return;
    }
    if (code == kDownloadPaused) {
        // While the network is lost the job says so, not that it pauses.
        if (!reconnect_->isActive())
            SetStatus(TStatus::Paused);
        return;
    }
    if (reconnect_->isActive() && code != kDownloadAborted) {
        // Every part gave up under the lost network before the pause came: the downloader kept
        // the resume data, and the transfer waits for the network like a paused one.
        return;
    }
    if (code == kDownloadAborted) {
        End(task_.AbortedState(), reason, download_claims::TEnd::Cancelled);
        return;
    }
    Fail(TransferFailureText(code), reason + " (" + std::to_string(code) + ") " + task_.URL);
}

void TUpdateJob::CheckPackage() {
    finishing_ = true;
    SetStatus(TStatus::Finishing);
    TPackageCheck check{task_.Sha256, task_.Length, task_.URL};
    const bool started = check_.RunThenCallback<TResult<>>(
        this,
        [file = task_.LocalFile, check](corvane::TStopToken& stop) mutable {
            check.Stop = &stop;
            TResult<> verdict = VerifyPackage(file, check);
            // A refused package goes here rather than on the UI thread: a large file takes a
            // while to delete.
            if (!verdict)
                std::remove(file.c_str());
            return verdict;
        },
        [this](TResult<> verdict) { PackageChecked(verdict); });
    if (!started) {
        finishing_ = false;
        Fail("更新包无法校验", "a check of the last file is still under way");
    }
}

void TUpdateJob::PackageChecked(const TResult<>& verdict) {
    if (!running_ || !finishing_)
        return;
    if (!verdict) {
        // Never run or unpacked, and not left where a later start would take it for finished.
        finishing_ = false;
        if (verdict.Code() == kSignatureUnreachable)
            Fail(kCannotConnect, verdict.Reason()); // the network, not the package
        else
            Fail("文件没有通过完整性校验，已删除", verdict.Reason());
        return;
    }
    switch (FinishedFileKind(task_.LocalFile)) {
    case TFinishedFileKind::Program:
        ApplyProgram();
        return;
    case TFinishedFileKind::Archive:
        SetStatus(TStatus::Installing);
        ExtractArchive(task_.LocalFile, extractionGate_,
                       [this](const TExtractOutcome& outcome) { ExtractionEnded(outcome); });
        return;
    case TFinishedFileKind::Other:
        finishing_ = false;
        End(kStateNone, "", download_claims::TEnd::Applied);
        return;
    }
}

void TUpdateJob::ApplyProgram() {
    installing_ = true;
    const std::optional<int> started =
        StartAndWait(task_.LocalFile, task_.Params, [this] { SetStatus(TStatus::Installing); });
    installing_ = false;
    RemoveFile(task_.LocalFile);
    finishing_ = false;
    // A program that never started installed nothing: that is a failure, not done.
    if (!started) {
        Fail("安装程序无法启动", task_.LocalFile);
        return;
    }
    // An installer that says it failed installed nothing the user can rely on.
    if (*started != 0) {
        Fail("安装程序运行失败（退出代码 " + std::to_string(*started) + "）", task_.LocalFile);
        return;
    }
    // Done; of several queued packages only the last one's end is reported (the window's rule).
    End(kStateDone, "", download_claims::TEnd::Applied);
}

void TUpdateJob::ExtractionEnded(const TExtractOutcome& outcome) {
    finishing_ = false;
    if (!running_)
        return;
    // Done only once every file of the archive is in place; otherwise nothing of it is.
    if (!outcome) {
        Fail(outcome.Reason(), outcome.Detail());
        return;
    }
    End(kStateDone, "", download_claims::TEnd::Applied);
}

void TUpdateJob::JoinedTransferEnded(download_claims::TEnd end, const std::string& reason) {
    if (!joined_)
        return;
    joined_ = false; // the file's owner has let it go
    int state = kStateFailed;
    if (end == download_claims::TEnd::Cancelled)
        state = task_.AbortedState();
    else if (end == download_claims::TEnd::Applied)
        state = FinishedFileKind(task_.LocalFile) == TFinishedFileKind::Other ? kStateNone : kStateDone;
    End(state, reason, end);
}

void TUpdateJob::ReleaseFile(download_claims::TEnd end, const std::string& reason) {
    if (claimed_)
        download_claims::Release(claimedFile_, this, end, reason);
    if (joined_)
        download_claims::Leave(claimedFile_, this);
    claimed_ = false;
    joined_ = false;
}

void TUpdateJob::End(int state, const std::string& reason, download_claims::TEnd end) {
    ReleaseFile(end, reason);
    reconnect_->stop();
    running_ = false;
    state_ = state;
    // The listener may let go of the job: this is the last thing done here.
    emit finished(state, reason);
}

void TUpdateJob::Fail(const std::string& why, const std::string& detail) {
    failure_ = Failure(why, detail, kStateFailed);
    if (claimed_) {
        // Half a file is no use to anyone, and its resume data would only bring it back.
        downloader_->Discard();
        RemoveFile(task_.LocalFile);
    }
    End(kStateFailed, why, download_claims::TEnd::Failed);
}

void TUpdateJob::OnPartLost() {
    // Every part that loses the network says so; the first one pauses the transfer.
    if (!running_ || reconnect_->isActive())
        return;
    downloader_->Tag = 1;
    downloader_->Pause();
    SetStatus(TStatus::NetworkLost);
    reconnect_->start();
}

void TUpdateJob::ReconnectTick() {
    if (!running_ || status_ != TStatus::NetworkLost || probe_.Running())
        return;
    Probe([this](bool reachable) {
        if (!reachable || !running_ || !reconnect_->isActive() || status_ != TStatus::NetworkLost)
            return;
        if (downloader_->Tag != 1)
            downloader_->Tag = 0;
        reconnect_->stop();
        SetStatus(TStatus::Reconnected);
        StartOrFail("无法继续下载");
    });
}

void TUpdateJob::Pause() {
    if (joined_ || finishing_ || !running_)
        return;
    downloader_->Tag = 1;
    downloader_->Pause();
}

void TUpdateJob::Resume() {
    if (probe_.Running())
        return;
    Probe([this](bool reachable) {
        if (reachable)
            ResumeNow();
    });
}

void TUpdateJob::ResumeNow() {
    if (joined_ || finishing_)
        return; // the file is another job's, or already complete
    if (downloader_->Tag != 1)
        downloader_->Tag = 0;
    SetStatus(TStatus::Resumed);
    if (!running_) {
        // Never started, or a failed connection gave the file up: starting over claims it again.
        stallTicks_ = 0;
        ClaimAndStart();
        return;
    }
    StartOrFail("无法继续下载");
}

void TUpdateJob::Abort() {
    // A finished file being checked or applied cannot be taken back half-way.
    if (finishing_)
        return;
    aborted_ = true;
    if (joined_) {
        // The file is another job's: only this one stops waiting for it.
        AbortQuietly();
        return;
    }
    if (running_)
        downloader_->Abort();
    reconnect_->stop();
    if (FileExists(task_.LocalFile))
        RemoveFile(task_.LocalFile);
    downloader_->Discard();
    downloader_->Tag = 0;
}

void TUpdateJob::AbortQuietly() {
    // A finished file being checked or applied: nothing is left to stop, and its outcome is the
    // truth the requester must hear.
    if (finishing_)
        return;
    if (joined_) {
        CallBackOn(this, [this] { OnRequestDone(kDownloadAborted, "Transfert aborted"); });
        return;
    }
    downloader_->Abort();
}

} // namespace qm
