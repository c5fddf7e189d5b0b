#include "upgrade/FrmUpgrade.h"

#include "common/AsyncTask.h"
#include "common/CallBack.h"
#include "common/MsgDialog.h"
#include "common/Shell.h"
#include "upgrade/FrmDownload.h"
#include "upgrade/ResultCodes.h"
#include "upgrade/UpgradeLog.h"
#include "upgrade/Upthrd.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <exception>

namespace qm {

namespace {

constexpr int kClientWidth = 391;
constexpr int kClientHeight = 228;
constexpr int kNotesWithoutScrollBar = 10;
const char* const kNetworkLost = " 网络已断开";
const char* const kDescriptorRefused = "升级信息未通过安全校验，已拒绝本次升级！";

// The "UserSkin" look of the notes: a light skinned face with a thin border that goes away when the
// memo is disabled, focused or hot.
const char* const kUserSkin = "QPlainTextEdit#cxmInfo { background: #fbfcfe; color: #1d2b3a;"
                              " border: 1px solid #9db4cc; }"
                              "QPlainTextEdit#cxmInfo:disabled, QPlainTextEdit#cxmInfo:focus,"
                              " QPlainTextEdit#cxmInfo:hover { border: none; }";

QPushButton* NewButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
    auto* button = new QPushButton(caption, parent); // owned by parent
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    return button;
}

} // namespace

TFrmUpgrade::TFrmUpgrade(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("FrmUpgrade"));
    setWindowTitle(QStringLiteral("升级提示"));
    setFixedSize(kClientWidth, kClientHeight);
    // A notice closing never ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);

    cxmInfo = new QPlainTextEdit(this); // owned by this dialog, as are the components below
    cxmInfo->setObjectName(QStringLiteral("cxmInfo"));
    cxmInfo->setGeometry(5, 5, 380, 177);
    cxmInfo->setReadOnly(true);
    cxmInfo->setStyleSheet(QString::fromLatin1(kUserSkin));
    // The selection stays visible when the memo loses the focus.
    QPalette palette = cxmInfo->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    cxmInfo->setPalette(palette);
    cxmInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    btnDown = NewButton(this, "btnDown", QStringLiteral("升级"), QRect(231, 192, 75, 25));
    btnCancle = NewButton(this, "btnCancle", QStringLiteral("取消"), QRect(310, 192, 75, 25));
    pnlDock = new QFrame(this);
    pnlDock->setObjectName(QStringLiteral("pnlDock"));
    pnlDock->setFrameShape(QFrame::NoFrame);
    pnlDock->setGeometry(5, 185, 220, 38);
    tmrZip = new QTimer(this);
    tmrZip->setInterval(10);
    connect(btnDown, &QPushButton::clicked, this, &TFrmUpgrade::btnDownClick);
    connect(btnCancle, &QPushButton::clicked, this, &TFrmUpgrade::btnCancleClick);
    connect(tmrZip, &QTimer::timeout, this, &TFrmUpgrade::tmrZipTimer);

    DownloadForm = new TFrmDownload(); // owned by this dialog: released in the destructor
    DownloadForm->setAttribute(Qt::WA_QuitOnClose, false);
    DownloadForm->hide();
}

TFrmUpgrade::~TFrmUpgrade() {
    Worker.reset();
    if (DownloadForm->parentWidget() != nullptr)
        DownloadForm->setParent(nullptr);
    DownloadForm->Release();
    DownloadForm = nullptr;
}

void TFrmUpgrade::QueueCheck(TDownload_Upfile upfile) {
    if (!Worker) {
        // The worker reports by posting to this dialog, which stops and joins it before it goes.
        Worker = std::make_unique<TUpthrd>([this](const TDownload_Upfile& check, corvane::TStopToken& stop) {
            TCheckOutcome outcome = TUpdatesDue{};
            try {
                outcome = CheckUpgrade(check, &stop);
            } catch (const std::exception& error) {
                LogWarning(lcUpgrade, "升级检查失败：" + check.UpFile + "：" + error.what());
                outcome = Failure(error.what(), {}, kStateSkipped);
            }
            CallBackOn(this, [this, outcome = std::move(outcome)]() mutable {
                --checksUnderWay_;
                ApplyCheck(std::move(outcome));
            });
        });
    }
    if (Worker->Enqueue(std::move(upfile)))
        ++checksUnderWay_;
    else
        qCDebug(lcUpgrade, "a check of the same file is pending: dropped");
}

void TFrmUpgrade::ApplyCheck(TCheckOutcome outcome) {
    if (!outcome) {
        UpgradeTaskDone(nullptr, outcome.Code(), outcome.Reason());
        // A refused descriptor may be an attack on the update source: the user hears of it (the
        // log already holds the details). The requester has its answer before the message waits.
        if (outcome.Code() == kStateFailed)
            ShowInfo(kDescriptorRefused);
        return;
    }
    TUpdatesDue& due = *outcome;
    if (due.Forced)
        ForceUpgrade = 1;
    if (due.Tasks.empty()) {
        UpgradeTaskDone(nullptr, kStateSkipped, kAlreadyCurrent);
        return;
    }
    ++checksApplied_;
    for (TTaskObj& found : due.Tasks) {
        auto task = std::make_unique<TTaskObj>(std::move(found));
        task->Offered = due.ShowDialog;
        task->Check = checksApplied_;
        task->OnDone = [this](TTaskObj& done, int state, const std::string& reason) {
            UpgradeTaskDone(&done, state, reason);
        };
        DownloadForm->Queue.push_back(task.get());
        Tasks.push_back(std::move(task));
    }
    if (due.Notes)
        Notes = std::move(*due.Notes);
    if (due.StartHidden)
        tmrZip->start();
    if (due.ShowDialog && OnShowWanted)
        OnShowWanted();
}

void TFrmUpgrade::UpgradeTaskDone(TTaskObj* task, int state, const std::string& reason) {
    if (state == kStateNone)
        return;
    if (!reason.empty())
        qCDebug(lcUpgrade, "check ended with %d: %s", state, reason.c_str());
    // A copy: the callback may send the next check, which replaces Request.
    corvane::TBSONDocument request = Request;
    if (request.HasItem(std::string(kKeyRebackMethod))) {
        request.SetInteger(std::string(kKeyResult), state);
        MakeCallBack(request);
    }
    // Only the end of what the notice offered closes it: another component's check, refused or
    // not, and a hidden package finishing leave the notice and its transfer alone.
    const bool offered = task != nullptr && task->Offered;
    if (offered && (state == kStateDone || state == kStateFailed || state == kStateCancelled))
        CloseForm();
}

void TFrmUpgrade::ShowNotes() {
    cxmInfo->clear();
    for (const std::string& line : Notes)
        cxmInfo->appendPlainText(QString::fromStdString(line));
    cxmInfo->setVerticalScrollBarPolicy(cxmInfo->document()->blockCount() > kNotesWithoutScrollBar
                                            ? Qt::ScrollBarAlwaysOn
                                            : Qt::ScrollBarAlwaysOff);
    if (ForceUpgrade == 1) {
        btnDownClick();
        btnDown->hide();
    }
    if (!isVisible()) {
        // Application-modal without a nested event loop, so nothing waits on this dialog's stack
        // when the plug-in goes.
        setWindowModality(Qt::ApplicationModal);
        CentreOnMainWindow();
        show();
    }
}

void TFrmUpgrade::btnDownClick() {
    btnDown->setEnabled(false);
    for (TTaskObj* task : DownloadForm->Queue)
        task->Accepted = task->Accepted || task->Offered;
    // Docked to fill the panel; the strip lays itself out for any width.
    EmbedControl(DownloadForm, pnlDock, alClient);
    DownloadForm->show();
    DownloadForm->StartNext();
}

void TFrmUpgrade::btnCancleClick() {
    close();
}

void TFrmUpgrade::tmrZipTimer() {
    tmrZip->stop();
    DownloadForm->StartNext();
}

void TFrmUpgrade::done(int result) {
    FormCloseQuery();
    QDialog::done(result);
}

void TFrmUpgrade::CloseForm() {
    if (isVisible())
        close();
    else
        FormCloseQuery();
}

void TFrmUpgrade::FormCloseQuery() {
    // Closing the notice takes back what it offered, and only that: a hidden package of another
    // component goes on. Its own running transfer is aborted (the abort reports 98, or 4 for a
    // forced update); its packages still waiting leave the queue, so that nothing of it is fetched
    // or installed afterwards, nor a second time beside the next notice's own.
    const TTaskObj* current = DownloadForm->CurrentTask;
    const bool offeredRunning = DownloadForm->Busy && current != nullptr && current->Offered;
    if (offeredRunning && DownloadForm->lblInfo->text() != QString::fromUtf8(kNetworkLost))
        DownloadForm->AbortQuietly();
    auto& queue = DownloadForm->Queue;
    const auto offered = [](const TTaskObj* task) { return task->Offered; };
    const bool declined = !offeredRunning && std::any_of(queue.begin(), queue.end(), offered);
    queue.erase(std::remove_if(queue.begin(), queue.end(), offered), queue.end());
    Notes.clear();
    btnDown->setEnabled(true);
    DownloadForm->setParent(nullptr);
    DownloadForm->close();
    if (declined) {
        // The requester hears it at once (a store application then starts as it is), once the
        // dialog has finished closing.
        CallBackOn(this, [this] { UpgradeTaskDone(nullptr, kStateCancelled, "用户取消了升级"); });
    }
}

void TFrmUpgrade::CentreOnMainWindow() {
    QWidget* main = QApplication::activeWindow();
    if (main == nullptr || main == this) {
        main = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window != this && window != DownloadForm && window->isVisible() && !window->isModal() &&
                window->windowType() == Qt::Window) {
                main = window;
                break;
            }
    }
    QRect area;
    if (main != nullptr)
        area = main->frameGeometry();
    else if (const QScreen* screen = QApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid())
        move(area.center() - QPoint(width() / 2, height() / 2));
}

} // namespace qm
