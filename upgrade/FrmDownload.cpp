#include "upgrade/FrmDownload.h"

#include "common/MsgDialog.h"
#include "common/Paths.h"
#include "common/Trace.h"
#include "corvane/HandleTable.h"
#include "upgrade/ClickImage.h"
#include "upgrade/DownloadPictures.h"
#include "upgrade/FailureNotice.h"
#include "upgrade/MultipartDownloader.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <algorithm>
#include <cstdio>

namespace qm {

namespace {

const char* const kNetworkLost = " 网络已断开";
const char* const kDownloading = "正在下载... ";

constexpr int kFormWidth = 320;
constexpr int kFormHeight = 73;

void RemoveFile(const std::string& file) {
    if (!file.empty())
        std::remove(file.c_str());
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
    if (Busy && !Finishing())
        imgAbortClick();
    if (job_ != nullptr)
        job_->disconnect(this); // it goes with this window, reporting nothing
    CurrentTask = nullptr;
    Queue.clear();
}

void TFrmDownload::Release() {
    if (job_ != nullptr && job_->Installing()) {
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
    // A package a notice offers waits for the user's 升级, even behind another component's
    // hidden transfer.
    const auto next = std::find_if(Queue.begin(), Queue.end(),
                                   [](const TTaskObj* task) { return !task->Offered || task->Accepted; });
    if (Busy || next == Queue.end())
        return;
    ++TaskNumber;
    Prefix.clear();
    if (Queue.size() > 1)
        Prefix = std::to_string(TaskNumber) + "/" + std::to_string(Queue.size());
    Prefix += "  ";
    CurrentTask = *next;
    Queue.erase(next);
    URL = CurrentTask->URL;
    LocalFile = CurrentTask->LocalFile;
    Busy = true;
    NewJob().Start();
}

TUpdateJob& TFrmDownload::NewJob() {
    if (job_ != nullptr) {
        // The last job may still be on the stack, emitting its end.
        job_->disconnect(this);
        job_->deleteLater();
    }
    job_ = new TUpdateJob(*CurrentTask, this);
    job_->Downloader()->PartCount = PartCount;
    connect(job_, &TUpdateJob::progress, this, &TFrmDownload::JobProgress);
    connect(job_, &TUpdateJob::statusChanged, this, &TFrmDownload::JobStatus);
    connect(job_, &TUpdateJob::finished, this, &TFrmDownload::JobFinished);
    return *job_;
}

void TFrmDownload::JobProgress(int percent, qint64 received, qint64 total, qint64 bytesPerSecond) {
    Press->setValue(percent);
    SetInfo(Prefix + kDownloading);
    QString tip = QStringLiteral("已下载 ") + ByteText(received);
    if (total > 0)
        tip += QStringLiteral(" / ") + ByteText(total);
    tip += QStringLiteral("，速度 ") + ByteText(bytesPerSecond) + QStringLiteral("/s");
    Press->setToolTip(tip);
}

void TFrmDownload::JobStatus(TUpdateJob::TStatus status) {
    using TStatus = TUpdateJob::TStatus;
    switch (status) {
    case TStatus::Connecting:
        SetInfo(Prefix + "正在创建连接");
        break;
    case TStatus::Downloading:
        SetInfo(Prefix + kDownloading);
        break;
    case TStatus::Resumed:
        Busy = true;
        imgDown->hide();
        imgPause->show();
        imgAbort->show();
        SetInfo(kDownloading);
        break;
    case TStatus::Reconnected:
        SetInfo(kDownloading);
        for (TClickImage* image : {imgPause, imgDown, imgAbort})
            if (image->isVisible())
                image->setEnabled(true);
        break;
    case TStatus::Paused:
        SetInfo(Prefix + "暂停中... ");
        break;
    case TStatus::NetworkLost:
        SetInfo(kNetworkLost);
        for (TClickImage* image : {imgPause, imgDown})
            if (image->isVisible())
                image->setEnabled(false);
        break;
    case TStatus::ConnectionFailed:
        SetInfo(Prefix + "连接失败... ");
        NoticeFailure(FailureText(TaskAction(), "无法连接下载服务器", LocalFile), "no data from " + URL);
        imgAbortClick();
        break;
    case TStatus::Finishing:
    case TStatus::Installing:
        for (TClickImage* image : {imgDown, imgPause, imgAbort})
            image->hide();
        if (status == TStatus::Installing) {
            SetInfo(Prefix + "正在安装 ");
            Press->setValue(100);
        }
        break;
    }
}

void TFrmDownload::JobFinished(int state, const std::string& reason) {
    if (releaseWanted_) {
        // The owner let go of the window while the installer ran; nothing is reported.
        deleteLater();
        return;
    }
    const TUpdateJob* ended = job_;
    if (ended->error() != 0)
        NoticeFailure(FailureText(TaskAction(), ended->errorString(), LocalFile), ended->errorDetail());
    TTaskObj* task = CurrentTask;
    Busy = false;
    StartNext();
    // Of one check's queue only the last task's end is reported: a next task of it runs, or has
    // ended and reported itself already. Another check's next task leaves this one to report its
    // own end, or its requester would never hear it.
    const bool nextOfSameCheck =
        CurrentTask != task && CurrentTask != nullptr && task != nullptr && CurrentTask->Check == task->Check;
    if ((Busy || job_ != ended) && (task == nullptr || task->Check == 0 || nextOfSameCheck))
        return;
    // OnDone may free this window (its owner's work is over): it is the last thing done here.
    if (task != nullptr && task->OnDone) {
        const auto done = task->OnDone;
        done(*task, state, reason);
    }
}

void TFrmDownload::AbortQuietly() {
    if (job_ != nullptr && job_->Running())
        job_->AbortQuietly();
}

void TFrmDownload::imgPauseClick() {
    if (job_ != nullptr)
        job_->Pause();
    imgPause->hide();
    imgDown->show();
    imgAbort->show();
}

void TFrmDownload::imgDownClick() {
    // The job probes the address first; a job that gave its connection up starts again.
    if (job_ != nullptr)
        job_->Resume();
}

void TFrmDownload::imgAbortClick() {
    // A finished file being checked or applied cannot be taken back half-way.
    if (Finishing())
        return;
    const bool joined = job_ != nullptr && job_->Joined();
    if (job_ != nullptr)
        job_->Abort();
    Busy = false;
    if (!joined) {
        // The file is this window's: the queued installers' files go with it.
        for (TTaskObj* task : Queue)
            if (task->IsAppInstall)
                RemoveFile(task->LocalFile);
        Press->setValue(0);
    }
    Queue.clear();
    TaskNumber = 0;
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
    const bool failed = job_ != nullptr && job_->StallTicks() == TUpdateJob::kStallFailed;
    imgDown->setVisible(controls && failed);
    imgPause->setVisible(controls && !failed);
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
