#include "upgrade/Download_EXE.h"

#include "common/CallBack.h"
#include "upgrade/FrmDownload.h"
#include "upgrade/ResultCodes.h"

#include <memory>

namespace qm {

TDownload_EXE::TDownload_EXE() {
    Task.OnDone = [this](TTaskObj&, int state, const std::string&) { TaskDone(state); };
    // Hidden until its requester docks it; owned by this job until then (see the destructor).
    auto window = std::make_unique<TFrmDownload>();
    created_ = window.get();
    window_ = window.release();
}

TDownload_EXE::~TDownload_EXE() {
    if (window_)
        window_->Release();
}

void TDownload_EXE::Start() {
    TFrmDownload* window = window_.data();
    if (window == nullptr)
        return; // a host window freed it: nothing left to show the download in
    Task.IsAppInstall = true;
    window->Queue.push_back(&Task);
    window->StartNext();
}

void TDownload_EXE::TaskDone(int state) {
    if (state == kStateNone)
        return;
    Request.SetInteger(std::string(kKeyResult), state);
    MakeCallBack(Request);
}

} // namespace qm
