#include "upgrade/FrmDownload.h"

#include "common/Internet.h"
#include "common/MsgDialog.h"
#include "common/Paths.h"
#include "common/Trace.h"
#include "corvane/HandleTable.h"
#include "upgrade/ClickImage.h"
#include "upgrade/DownloadPictures.h"
#include "upgrade/ExtractArchive.h"
#include "upgrade/FailureNotice.h"
#include "upgrade/FinishedFile.h"
#include "upgrade/MultipartDownloader.h"
#include "upgrade/PackageIntegrity.h"
#include "upgrade/ResultCodes.h"
#include "upgrade/RunInstaller.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <cstdio>

namespace qm {

namespace {

const char* const kNetworkLost = " 网络已断开";
const char* const kDownloading = "正在下载... ";

constexpr int kFormWidth = 320;
constexpr int kFormHeight = 73;
constexpr int kPartCount = 5;

void RemoveFile(const std::string& file) {
    if (!file.empty())
        std::remove(file.c_str());
}

std::string StateFileOf(const std::string& localFile) {
    return localFile + ".Status";
}

// Why a transfer failed, in the user's words.
std::string TransferFailureText(int code) {
    if (code == kDownloadWriteFailed)
        return "下载文件无法写入，磁盘可能已满";
    if (code >= 10000)
        return "无法连接下载服务器";
    return "下载服务器应答了错误(HTTP " + std::to_string(code) + ")";
}

QString ByteText(std::int64_t bytes) {
    if (bytes >= 1024 * 1024)
        return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1) +
               QStringLiteral(" MB");
    if (bytes >= 1024)
        return QString::number(static_cast<double>(bytes) / 1024.0, 'f', 1) + QStringLiteral(" KB");
    return QString::number(bytes) + QStringLiteral(" B");
}

// A control that lets the window's background picture show through.
void MakeTransparent(QWidget* control) {
    control->setAttribute(Qt::WA_TranslucentBackground);
    control->setAutoFillBackground(false);
}

} // namespace

TFrmDownload::TFrmDownload(QWidget* parent) : QWidget(parent) {
    resize(kFormWidth, kFormHeight);
    cxpnlCenter = new QFrame(this); // owned by this window, as are the components below
    cxpnlCenter->setFrameShape(QFrame::NoFrame);
    imgMe = new QLabel(cxpnlCenter);
    imgMe->setScaledContents(true);
    MakeTransparent(imgMe);
    imgDown = new TClickImage(DownloadPicturePath(kPictureResume), 15, 16, cxpnlCenter);
    imgPause = new TClickImage(DownloadPicturePath(kPicturePause), 17, 16, cxpnlCenter);
    imgAbort = new TClickImage(DownloadPicturePath(kPictureAbort), 16, 16, cxpnlCenter);
    for (TClickImage* image : {imgDown, imgPause, imgAbort})
        image->hide();
    imgDown->setObjectName(QStringLiteral("imgDown"));
    imgPause->setObjectName(QStringLiteral("imgPause"));
    imgAbort->setObjectName(QStringLiteral("imgAbort"));
    Press = new QProgressBar(cxpnlCenter);
    Press->setRange(0, 100);
    Press->setValue(0);
    Press->setTextVisible(false);
    MakeTransparent(Press);
    lblInfo = new QLabel(QStringLiteral("信息提示"), cxpnlCenter);
    MakeTransparent(lblInfo);

    MPHttp = new TMultipartHttpDownloader(this);
    MPHttp->PartCount = kPartCount;
    // The downloader's notices come from the event loop, so the end of a transfer may run an
    // installer in a nested loop, or end with the window's owner freeing the window and the
    // downloader with it.
    MPHttp->ReportLostParts = true;
    connect(MPHttp, &TMultipartHttpDownloader::RequestDone, this, &TFrmDownload::MPHttpRequestDone);
    connect(MPHttp, &TMultipartHttpDownloader::ShowStats, this, &TFrmDownload::MPHttpShowStats);
    connect(MPHttp, &TMultipartHttpDownloader::ThreadRequestDone, this,
            &TFrmDownload::MPHttpThreadRequestDone);
    extractionPoll_ = new QTimer(this);
    extractionPoll_->setInterval(50);
    connect(extractionPoll_, &QTimer::timeout, this, &TFrmDownload::PollExtraction);
    tmr1 = new QTimer(this);
    tmr1->setInterval(1000);
    connect(tmr1, &QTimer::timeout, this, &TFrmDownload::tmr1Timer);
    connect(imgPause, &TClickImage::clicked, this, &TFrmDownload::imgPauseClick);
    connect(imgDown, &TClickImage::clicked, this, &TFrmDownload::imgDownClick);
    connect(imgAbort, &TClickImage::clicked, this, &TFrmDownload::imgAbortClick);
    LayoutControls();
    corvane::Handles().Register(static_cast<QWidget*>(this), corvane::kHandleControl | corvane::kHandleForm);
}

TFrmDownload::~TFrmDownload() {
    corvane::Handles().Unregister(static_cast<QWidget*>(this));
    // The owner is being torn down: no call back into it.
    OnCancel = nullptr;
    if (Busy && !finishing_)
        imgAbortClick();
    ReleaseFile(download_claims::TEnd::Cancelled, "");
    CurrentTask = nullptr;
    Queue.clear();
}

void TFrmDownload::Release() {
    if (installing_) {
        OnCancel = nullptr;
        releaseWanted_ = true;
        hide();
        return;
    }
    delete this;
}

void TFrmDownload::SetInfo(const std::string& text) {
    lblInfo->setText(QString::fromStdString(text));
}

std::string TFrmDownload::TaskAction() const {
    return CurrentTask != nullptr && CurrentTask->IsAppInstall ? "下载安装" : "更新";
}

void TFrmDownload::StartNext() {
    if (Busy || Queue.empty())
        return;
    ++TaskNumber;
    Prefix.clear();
    if (Queue.size() > 1)
        Prefix = std::to_string(TaskNumber) + "/" + std::to_string(Queue.size());
    Prefix += "  ";
    CurrentTask = Queue.front();
    Queue.erase(Queue.begin());
    // A new task starts with a clean record; a failed connection of the last one says nothing here.
    StallTicks = 0;
    MPHttp->Tag = 0;
    URL = CurrentTask->URL;
    LocalFile = CurrentTask->LocalFile;
    ClaimAndStart();
}

void TFrmDownload::ClaimAndStart() {
    const TTaskObj* task = CurrentTask;
    QPointer<TFrmDownload> self(this);
    const auto claim = download_claims::Claim(
        LocalFile, URL, this, [self, task](download_claims::TEnd end, const std::string& reason) {
            if (self)
                self->JoinedTransferEnded(task, end, reason);
        });
    Busy = true;
    switch (claim) {
    case download_claims::TClaim::Granted:
        claimed_ = true;
        StartOrFail("无法创建下载文件");
        break;
    case download_claims::TClaim::Joined:
        // The same file from the same address is on its way in another window: this task hears
        // how that one ends instead of writing the file a second time.
        joined_ = true;
        SetInfo(Prefix + kDownloading);
        break;
    case download_claims::TClaim::Refused:
        FailTask("另一个下载正在写入同一个文件", LocalFile + " is being written from another address");
        break;
    }
}

void TFrmDownload::StartOrFail(const std::string& why) {
    try {
        StartTransfer();
    } catch (const std::exception& error) {
        FailTask(why, error.what());
    }
}

void TFrmDownload::StartTransfer() {
    Busy = true;
    ++transferSerial_;
    MPHttp->StateFileName = StateFileOf(LocalFile);
    MPHttp->FileName = LocalFile;
    MPHttp->URL = URL;
    speedClock_.start();
    speedBytes_ = 0;
    // Resume data of the same address beside the partial file (a desk that was closed
    // mid-transfer) is worth more than starting over.
    if (MPHttp->Tag == 0 && FileExists(LocalFile) && MPHttp->HasResumableState())
        MPHttp->Tag = 1;
    if (MPHttp->Tag == 0) {
        SetInfo(Prefix + "正在创建连接");
        MPHttp->Start();
    } else {
        MPHttp->Resume();
    }
}

void TFrmDownload::AbortQuietly() {
    // A finished file being checked or applied: nothing is left to stop, and its outcome is the
    // truth the requester must hear.
    if (finishing_)
        return;
    if (joined_) {
        QTimer::singleShot(0, this, [this] { MPHttpRequestDone(kDownloadAborted, "Transfert aborted"); });
        return;
    }
    MPHttp->Abort();
}

void TFrmDownload::ShowProgressTip(std::int64_t received) {
    const double seconds = static_cast<double>(speedClock_.restart()) / 1000.0;
    const std::int64_t fresh = received - speedBytes_;
    speedBytes_ = received;
    const auto perSecond =
        seconds > 0 && fresh > 0 ? static_cast<std::int64_t>(static_cast<double>(fresh) / seconds) : 0;
    QString tip = QStringLiteral("已下载 ") + ByteText(received);
    if (MPHttp->ContentLength() > 0)
        tip += QStringLiteral(" / ") + ByteText(MPHttp->ContentLength());
    tip += QStringLiteral("，速度 ") + ByteText(perSecond) + QStringLiteral("/s");
    Press->setToolTip(tip);
}

void TFrmDownload::Probe(const std::string& url, std::function<void(bool)> answered) {
    // One probe at a time: a tick or click while one is out waits for its answer.
    probe_.Start<bool>(
        this, [url](corvane::TStopToken& stop) { return IsURLReachable(url, &stop); }, std::move(answered));
}

void TFrmDownload::MPHttpShowStats(int percent, std::int64_t received) {
    if (!Busy || finishing_ || joined_)
        return; // a tick that was under way when the transfer ended
    Press->setValue(percent);
    SetInfo(Prefix + kDownloading);
    ShowProgressTip(received);
    if (received == 0)
        ++StallTicks;
    else
        StallTicks = 0;
    if (StallTicks > 9) {
        GiveUpConnection();
        return;
    }
    if (StallTicks > 0 && !probe_.Running()) {
        const int serial = transferSerial_;
        Probe(MPHttp->URL, [this, serial](bool reachable) {
            // Still the same transfer, and still nothing received.
            if (!reachable && Busy && !finishing_ && serial == transferSerial_ && StallTicks > 0 &&
                StallTicks != kStallFailed && !tmr1->isActive())
                GiveUpConnection();
        });
    }
}

void TFrmDownload::GiveUpConnection() {
    StallTicks = kStallFailed;
    SetInfo(Prefix + "连接失败... ");
    NoticeFailure(FailureText(TaskAction(), "无法连接下载服务器", LocalFile), "no data from " + URL);
    imgAbortClick();
}

std::optional<int> TFrmDownload::RunInstaller(const std::string& file, const std::string& params) {
    installing_ = true;
    const std::optional<int> started = StartAndWait(file, params, [this] {
        for (TClickImage* image : {imgDown, imgPause, imgAbort})
            image->hide();
        SetInfo(Prefix + "正在安装 ");
        Press->setValue(100);
    });
    installing_ = false;
    return started;
}

void TFrmDownload::MPHttpRequestDone(int code, const std::string& reason) {
    if (CurrentTask == nullptr || finishing_)
        return;
    if (joined_) {
        // Nothing of this window's own ran: only its abort ends it early.
        if (code == kDownloadAborted)
            EndTask(CurrentTask->Mode == 3 ? kStateFailed : kStateCancelled, reason,
                    download_claims::TEnd::Cancelled);
        return;
    }
    if (code == kDownloadFinished) {
        CheckPackage();
        return;
    }
    if (code == kDownloadPaused) {
        // While the network is lost the window says so, not that it pauses.
        if (!tmr1->isActive())
            SetInfo(Prefix + "暂停中... ");
        return;
    }
    if (tmr1->isActive() && code != kDownloadAborted) {
        // Every part gave up under the lost network before the pause came: the downloader kept
        // the resume data, and the transfer waits for the network like a paused one.
        return;
    }
    if (code == kDownloadAborted) {
        EndTask(CurrentTask->Mode == 3 ? kStateFailed : kStateCancelled, reason,
                download_claims::TEnd::Cancelled);
        return;
    }
    FailTask(TransferFailureText(code), reason + " (" + std::to_string(code) + ") " + URL);
}

void TFrmDownload::CheckPackage() {
    finishing_ = true;
    for (TClickImage* image : {imgDown, imgPause, imgAbort})
        image->hide();
    TPackageCheck check{CurrentTask->Sha256, URL};
    const bool started = check_.Start<TVerdict>(
        this,
        [file = LocalFile, check](corvane::TStopToken& stop) mutable {
            check.Stop = &stop;
            TVerdict verdict;
            verdict.passed = VerifyPackage(file, check, verdict.reason);
            // A refused package goes here rather than on the UI thread: a large file takes a
            // while to delete.
            if (!verdict.passed)
                std::remove(file.c_str());
            return verdict;
        },
        [this](TVerdict verdict) { PackageChecked(verdict); });
    if (!started) {
        finishing_ = false;
        FailTask("更新包无法校验", "a check of the last file is still under way");
    }
}

void TFrmDownload::PackageChecked(const TVerdict& verdict) {
    if (CurrentTask == nullptr || !finishing_)
        return;
    if (!verdict.passed) {
        // Never run or unpacked, and not left where a later start would take it for finished.
        finishing_ = false;
        FailTask("文件没有通过完整性校验，已删除", verdict.reason);
        return;
    }
    switch (FinishedFileKind(CurrentTask->LocalFile)) {
    case TFinishedFileKind::Program: {
        const std::optional<int> started = RunInstaller(LocalFile, CurrentTask->Params);
        if (releaseWanted_) {
            // The owner let go of the window while the installer ran; nothing is reported.
            RemoveFile(LocalFile);
            deleteLater();
            return;
        }
        RemoveFile(LocalFile);
        finishing_ = false;
        // A program that never started installed nothing: that is a failure, not done.
        if (!started) {
            FailTask("安装程序无法启动", LocalFile);
            return;
        }
        // An installer that says it failed installed nothing the user can rely on.
        if (*started != 0) {
            FailTask("安装程序运行失败（退出代码 " + std::to_string(*started) + "）", LocalFile);
            return;
        }
        EndTask(CurrentTask->Mode == 1 || CurrentTask->IsAppInstall || Queue.empty() ? kStateDone
                                                                                     : kStateNone,
                "", download_claims::TEnd::Applied);
        return;
    }
    case TFinishedFileKind::Archive:
        SetInfo(Prefix + "正在安装 ");
        Press->setValue(100);
        extraction_ = ExtractArchive(LocalFile);
        extractionPoll_->start();
        return;
    case TFinishedFileKind::Other:
        finishing_ = false;
        EndTask(kStateNone, "", download_claims::TEnd::Applied);
        return;
    }
}

void TFrmDownload::PollExtraction() {
    if (!extraction_.valid() || extraction_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    extractionPoll_->stop();
    const TExtractOutcome outcome = extraction_.get();
    extraction_ = {};
    finishing_ = false;
    if (CurrentTask == nullptr)
        return;
    // Done only once every file of the archive is in place; otherwise nothing of it is.
    if (!outcome.Done()) {
        FailTask(outcome.Reason, outcome.Detail);
        return;
    }
    EndTask(kStateDone, "", download_claims::TEnd::Applied);
}

void TFrmDownload::ReleaseFile(download_claims::TEnd end, const std::string& reason) {
    if (claimed_)
        download_claims::Release(LocalFile, this, end, reason);
    if (joined_)
        download_claims::Leave(LocalFile, this);
    claimed_ = false;
    joined_ = false;
}

void TFrmDownload::EndTask(int state, const std::string& reason, download_claims::TEnd end) {
    ReleaseFile(end, reason);
    Busy = false;
    StartNext();
    if (Busy)
        return;
    TTaskObj* task = CurrentTask;
    // OnDone may free this window (its owner's work is over): it is the last thing done here.
    if (task != nullptr && task->OnDone) {
        const auto done = task->OnDone;
        done(*task, state, reason);
    }
}

void TFrmDownload::FailTask(const std::string& why, const std::string& detail) {
    NoticeFailure(FailureText(TaskAction(), why, LocalFile), detail);
    if (claimed_) {
        // Half a file is no use to anyone, and its resume data would only bring it back.
        MPHttp->Discard();
        RemoveFile(LocalFile);
    }
    EndTask(kStateFailed, why, download_claims::TEnd::Failed);
}

void TFrmDownload::JoinedTransferEnded(const TTaskObj* task, download_claims::TEnd end,
                                       const std::string& reason) {
    if (!joined_ || CurrentTask != task)
        return;
    joined_ = false; // the file's owner has let it go
    int state = kStateFailed;
    if (end == download_claims::TEnd::Cancelled)
        state = CurrentTask->Mode == 3 ? kStateFailed : kStateCancelled;
    else if (end == download_claims::TEnd::Applied) {
        switch (FinishedFileKind(CurrentTask->LocalFile)) {
        case TFinishedFileKind::Program:
            state = CurrentTask->Mode == 1 || CurrentTask->IsAppInstall || Queue.empty() ? kStateDone
                                                                                         : kStateNone;
            break;
        case TFinishedFileKind::Archive:
            state = kStateDone;
            break;
        case TFinishedFileKind::Other:
            state = kStateNone;
            break;
        }
    }
    EndTask(state, reason, end);
}

void TFrmDownload::MPHttpThreadRequestDone(int, int) {
    // Every part that loses the network says so; the first one pauses the transfer.
    if (!Busy || tmr1->isActive())
        return;
    MPHttp->Tag = 1;
    MPHttp->Pause();
    SetInfo(kNetworkLost);
    for (TClickImage* image : {imgPause, imgDown})
        if (image->isVisible())
            image->setEnabled(false);
    tmr1->start();
}

void TFrmDownload::tmr1Timer() {
    if (!Busy || lblInfo->text() != QString::fromUtf8(kNetworkLost) || probe_.Running())
        return;
    Probe(URL, [this](bool reachable) {
        if (!reachable || !Busy || !tmr1->isActive() || lblInfo->text() != QString::fromUtf8(kNetworkLost))
            return;
        SetInfo(kDownloading);
        if (MPHttp->Tag != 1)
            MPHttp->Tag = 0;
        for (TClickImage* image : {imgPause, imgDown, imgAbort})
            if (image->isVisible())
                image->setEnabled(true);
        tmr1->stop();
        StartOrFail("无法继续下载");
    });
}

void TFrmDownload::imgPauseClick() {
    MPHttp->Tag = 1;
    MPHttp->Pause();
    imgPause->hide();
    imgDown->show();
    imgAbort->show();
}

void TFrmDownload::imgDownClick() {
    if (probe_.Running())
        return;
    Probe(URL, [this](bool reachable) {
        if (reachable)
            ResumeNow();
    });
}

void TFrmDownload::ResumeNow() {
    if (joined_ || finishing_)
        return; // the file is another window's, or already complete
    imgDown->hide();
    imgPause->show();
    imgAbort->show();
    SetInfo(kDownloading);
    if (MPHttp->Tag != 1)
        MPHttp->Tag = 0;
    if (!Busy && CurrentTask != nullptr && !claimed_) {
        // A failed connection gave the file up; starting over claims it again.
        ClaimAndStart();
        return;
    }
    StartOrFail("无法继续下载");
}

void TFrmDownload::imgAbortClick() {
    // A finished file being checked or applied cannot be taken back half-way.
    if (finishing_)
        return;
    if (joined_) {
        // The file is another window's: only this task stops waiting for it.
        Busy = false;
        AbortQuietly();
        Queue.clear();
        TaskNumber = 0;
        hide();
        if (OnCancel)
            OnCancel();
        return;
    }
    if (Busy)
        MPHttp->Abort();
    Busy = false;
    tmr1->stop();
    for (TTaskObj* task : Queue)
        if (task->IsAppInstall)
            RemoveFile(task->LocalFile);
    Press->setValue(0);
    if (!LocalFile.empty() && FileExists(LocalFile))
        RemoveFile(LocalFile);
    MPHttp->Discard();
    Queue.clear();
    TaskNumber = 0;
    MPHttp->Tag = 0;
    hide();
    if (OnCancel)
        OnCancel();
}

void TFrmDownload::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
}

void TFrmDownload::FormShow() {
    if (!ImageFile.empty()) {
        const QPixmap background(QString::fromStdString(ImageFile));
        if (background.isNull())
            ShowInfo("皮肤图片文件不存在！");
        else
            imgMe->setPixmap(background);
    }
    const bool controls = CurrentTask != nullptr && CurrentTask->IsAppInstall;
    imgDown->setVisible(controls && StallTicks == kStallFailed);
    imgPause->setVisible(controls && StallTicks != kStallFailed);
    imgAbort->setVisible(controls);
}

void TFrmDownload::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutControls();
}

void TFrmDownload::paintEvent(QPaintEvent* event) {
    LayoutControls();
    QWidget::paintEvent(event);
}

void TFrmDownload::LayoutControls() {
    const int height = frameGeometry().height();
    const int width = frameGeometry().width();
    cxpnlCenter->setGeometry(rect());
    imgMe->setGeometry(cxpnlCenter->rect());
    const auto centred = [height](const QWidget* control) { return height / 2 - control->height() / 2; };
    imgAbort->move(width - imgAbort->width() - 5, centred(imgAbort));
    imgPause->move(imgAbort->x() - imgPause->width() - 5, centred(imgAbort));
    imgDown->move(imgPause->pos());
    lblInfo->resize(60, lblInfo->sizeHint().height());
    lblInfo->move(imgPause->x() - lblInfo->width() - 2, centred(lblInfo));
    Press->setGeometry(2, height / 2 - 10 / 2, lblInfo->x() - 2, 10);
}

} // namespace qm
