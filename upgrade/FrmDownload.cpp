#include "upgrade/FrmDownload.h"

#include "common/Internet.h"
#include "common/MsgDialog.h"
#include "common/Paths.h"
#include "common/Trace.h"
#include "corvane/HandleTable.h"
#include "upgrade/ClickImage.h"
#include "upgrade/DownloadPictures.h"
#include "upgrade/ExtractArchive.h"
#include "upgrade/FinishedFile.h"
#include "upgrade/MultipartDownloader.h"
#include "upgrade/PackageIntegrity.h"
#include "upgrade/ResultCodes.h"
#include "upgrade/RunInstaller.h"

#include <QFile>
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
    // The end of a transfer is handled once the downloader's own notice has returned: the handler
    // may run an installer in a nested event loop, or end with the window's owner freeing the
    // window and the downloader with it.
    QPointer<TFrmDownload> self(this);
    MPHttp->OnRequestDone = [self](int code, const std::string& reason) {
        QTimer::singleShot(0, self, [self, code, reason] {
            if (self)
                self->MPHttpRequestDone(code, reason);
        });
    };
    MPHttp->OnShowStats = [this](int percent, std::int64_t received) { MPHttpShowStats(percent, received); };
    MPHttp->OnThreadRequestDone = [this](int partIndex, int code) {
        MPHttpThreadRequestDone(partIndex, code);
    };
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
    if (Busy)
        imgAbortClick();
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
    StartTransfer();
}

void TFrmDownload::StartTransfer() {
    Busy = true;
    stream_.reset();
    MPHttp->StateFileName = StateFileOf(LocalFile);
    MPHttp->URL = URL;
    speedClock_.start();
    speedBytes_ = 0;
    try {
        // Resume data of the same address beside the partial file (a desk that was closed
        // mid-transfer) is worth more than starting over.
        if (MPHttp->Tag == 0 && FileExists(LocalFile) && MPHttp->HasResumableState())
            MPHttp->Tag = 1;
        stream_ = std::make_unique<QFile>(QString::fromStdString(LocalFile));
        if (MPHttp->Tag == 0) {
            SetInfo(Prefix + "正在创建连接");
            if (!stream_->open(QIODevice::WriteOnly | QIODevice::Truncate))
                throw std::runtime_error("cannot create " + LocalFile);
            MPHttp->SetFileStream(stream_.get());
            MPHttp->Start();
        } else {
            if (!stream_->open(QIODevice::ReadWrite))
                throw std::runtime_error("cannot open " + LocalFile);
            MPHttp->SetFileStream(stream_.get());
            MPHttp->Resume();
            RemoveFile(StateFileOf(LocalFile));
        }
    } catch (...) {
        MPHttp->SetFileStream(nullptr);
        stream_.reset();
        throw;
    }
}

void TFrmDownload::AbortQuietly() {
    MPHttp->Abort();
    MPHttp->SetFileStream(nullptr);
    stream_.reset();
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

void TFrmDownload::MPHttpShowStats(int percent, std::int64_t received) {
    if (!Busy)
        return; // a tick that was under way when the transfer ended
    Press->setValue(percent);
    SetInfo(Prefix + kDownloading);
    ShowProgressTip(received);
    if (received == 0)
        ++StallTicks;
    else
        StallTicks = 0;
    if (StallTicks > 0 && (StallTicks > 9 || !IsURLReachable(MPHttp->URL))) {
        StallTicks = kStallFailed;
        SetInfo(Prefix + "连接失败... ");
        imgAbortClick();
    }
}

bool TFrmDownload::RunInstaller(const std::string& file, const std::string& params) {
    installing_ = true;
    const bool started = StartAndWait(file, params, [this] {
        for (TClickImage* image : {imgDown, imgPause, imgAbort})
            image->hide();
        SetInfo(Prefix + "正在安装 ");
        Press->setValue(100);
    });
    installing_ = false;
    return started;
}

void TFrmDownload::MPHttpRequestDone(int code, const std::string& reason) {
    MPHttp->SetFileStream(nullptr);
    stream_.reset();
    if (CurrentTask == nullptr)
        return;
    int state = kStateFailed;
    std::string outcome = reason;
    if (code == kDownloadFinished && !VerifyPackage(LocalFile, {CurrentTask->Sha256, URL}, outcome)) {
        // Never run or unpacked, and not left where a later start would take it for finished.
        Trace("Upgrade", "refused " + LocalFile + ": " + outcome);
        RemoveFile(StateFileOf(LocalFile));
        RemoveFile(LocalFile);
    } else if (code == kDownloadFinished) {
        RemoveFile(StateFileOf(LocalFile));
        switch (FinishedFileKind(CurrentTask->LocalFile)) {
        case TFinishedFileKind::Program: {
            const bool started = RunInstaller(LocalFile, CurrentTask->Params);
            if (releaseWanted_) {
                // The owner let go of the window while the installer ran; nothing is reported.
                RemoveFile(LocalFile);
                deleteLater();
                return;
            }
            RemoveFile(LocalFile);
            // A program that never started installed nothing: that is a failure, not done.
            if (!started)
                state = kStateFailed;
            else
                state = CurrentTask->Mode == 1 || CurrentTask->IsAppInstall || Queue.empty() ? kStateDone
                                                                                             : kStateNone;
            break;
        }
        case TFinishedFileKind::Archive:
            ExtractArchive(LocalFile);
            state = kStateDone;
            break;
        case TFinishedFileKind::Other:
            state = kStateNone;
            break;
        }
    } else if (code == kDownloadPaused) {
        // While the network is lost the window says so, not that it pauses.
        if (!tmr1->isActive())
            SetInfo(Prefix + "暂停中... ");
        return;
    } else if (tmr1->isActive() && code != kDownloadAborted) {
        // Every part gave up under the lost network before the pause came: the downloader kept
        // the resume data, and the transfer waits for the network like a paused one.
        return;
    } else if (code == kDownloadAborted) {
        state = CurrentTask->Mode == 3 ? kStateFailed : kStateCancelled;
    }
    Busy = false;
    StartNext();
    if (Busy)
        return;
    TTaskObj* task = CurrentTask;
    // OnDone may free this window (its owner's work is over): it is the last thing done here.
    if (task->OnDone) {
        const auto done = task->OnDone;
        done(*task, state, outcome);
    }
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
    if (!Busy || lblInfo->text() != QString::fromUtf8(kNetworkLost) || !IsURLReachable(URL))
        return;
    SetInfo(kDownloading);
    if (MPHttp->Tag != 1)
        MPHttp->Tag = 0;
    for (TClickImage* image : {imgPause, imgDown, imgAbort})
        if (image->isVisible())
            image->setEnabled(true);
    tmr1->stop();
    StartTransfer();
}

void TFrmDownload::imgPauseClick() {
    MPHttp->Tag = 1;
    MPHttp->Pause();
    imgPause->hide();
    imgDown->show();
    imgAbort->show();
}

void TFrmDownload::imgDownClick() {
    if (!IsURLReachable(URL))
        return;
    imgDown->hide();
    imgPause->show();
    imgAbort->show();
    SetInfo(kDownloading);
    if (MPHttp->Tag != 1)
        MPHttp->Tag = 0;
    StartTransfer();
}

void TFrmDownload::imgAbortClick() {
    if (Busy)
        MPHttp->Abort();
    Busy = false;
    tmr1->stop();
    MPHttp->SetFileStream(nullptr);
    stream_.reset();
    for (TTaskObj* task : Queue)
        if (task->IsAppInstall)
            RemoveFile(task->LocalFile);
    Press->setValue(0);
    if (!LocalFile.empty() && FileExists(LocalFile))
        RemoveFile(LocalFile);
    RemoveFile(StateFileOf(LocalFile));
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
