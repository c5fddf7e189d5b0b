#pragma once

#include "corvane/BsonDocument.h"
#include "upgrade/CheckUpgrade.h"
#include "upgrade/TaskObj.h"
#include "upgrade/UpgradeCheck.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QFrame;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace qm {

class TFrmDownload;
class TUpthrd;

// The upgrade notice: release notes, "升级" to download, "取消" to close, and the download strip
// docked below the notes. It also owns the update checks: they run on its worker thread and their
// findings come back to it on the UI thread, where it queues the downloads and has itself shown.
class TFrmUpgrade : public QDialog {
    Q_OBJECT

public:
    explicit TFrmUpgrade(QWidget* parent = nullptr);
    // Stops the worker (a check under way ends first) before anything it reports to goes.
    ~TFrmUpgrade() override;

    // Hands the check to the worker; a check of the same "Upgrade.txt" still pending drops it.
    void QueueCheck(TDownload_Upfile upfile);
    // The end of a check or of its downloads: the requester of the latest check hears a state other
    // than 0 by callback; 3, 4 and 98 also close the dialog. task is null for a check's own end.
    void UpgradeTaskDone(TTaskObj* task, int state, const std::string& reason);
    // The dialog's part of showing the notice: notes into the memo (a scroll bar beyond 10 lines), a
    // forced upgrade started at once without its button, then shown (modal) unless it already is.
    void ShowNotes();

    void btnDownClick();
    void btnCancleClick();
    void tmrZipTimer();

    // Asked once a check has queued a main package: the owner shows the notice 10 ms later.
    std::function<void()> OnShowWanted;

    // Components.
    QPlainTextEdit* cxmInfo = nullptr;
    QPushButton* btnDown = nullptr;
    QPushButton* btnCancle = nullptr;
    QFrame* pnlDock = nullptr;
    QTimer* tmrZip = nullptr;

    // Fields. Tasks of every check, kept for the dialog's life (the download strip refers to them).
    std::vector<std::unique_ptr<TTaskObj>> Tasks;
    // 1 once a descriptor said "force" = 1; never cleared.
    int ForceUpgrade = 0;
    TFrmDownload* DownloadForm = nullptr; // owned by this dialog, docked or not
    std::vector<std::string> Notes;
    // The latest check request: whom the outcome is told.
    corvane::TBSONDocument Request;

    bool HasWorker() const noexcept { return Worker != nullptr; }
    // Checks handed to the worker whose findings have not reached the UI thread yet.
    int ChecksUnderWay() const noexcept { return checksUnderWay_; }

public slots:
    void done(int result) override;

private:
    // UI thread: what a check found.
    void ApplyCheck(TCheckOutcome outcome);
    // The close query: a running transfer is stopped quietly, the strip undocked and hidden.
    void FormCloseQuery();
    void CloseForm();
    void CentreOnMainWindow();

    std::unique_ptr<TUpthrd> Worker;
    int checksUnderWay_ = 0;
    int checksApplied_ = 0; // numbers each check's tasks
};

} // namespace qm
