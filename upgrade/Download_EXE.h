#pragma once

#include "corvane/BsonDocument.h"
#include "upgrade/TaskObj.h"

#include <QPointer>

namespace qm {

class TFrmDownload;

// The job behind one download request: its own download window, a copy of the request (for the
// callback) and its single task. The window may be docked into another window; whichever of the
// two goes first frees it.
class TDownload_EXE {
public:
    TDownload_EXE();
    ~TDownload_EXE();
    TDownload_EXE(const TDownload_EXE&) = delete;
    TDownload_EXE& operator=(const TDownload_EXE&) = delete;

    // Null once a window that hosted it has freed it.
    TFrmDownload* Window() const noexcept { return window_.data(); }
    // The window as it is right after the job was made, before anyone could free it.
    TFrmDownload& NewWindow() noexcept { return *created_; }
    corvane::TBSONDocument Request;
    TTaskObj Task;

    // Marks the task an application install, queues it in the window and starts it.
    void Start();

private:
    // A reported end: "Result" := state in Request, then the requester's callback.
    void TaskDone(int state);

    QPointer<TFrmDownload> window_;
    TFrmDownload* created_; // the same window; only for NewWindow
};

} // namespace qm
