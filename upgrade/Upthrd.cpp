#include "upgrade/Upthrd.h"

#include <algorithm>
#include <cctype>

namespace qm {

namespace {

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

} // namespace

TUpthrd::TUpthrd(TCheck check) : check_(std::move(check)), thread_([this] { Execute(); }) {}

TUpthrd::~TUpthrd() {
    {
        std::lock_guard lock(Lock);
        terminated_ = true;
        WakeEvent = true;
    }
    wake_.notify_one();
    stop_.Stop();
    // Joined, not left to end by itself: the check's code goes away with the plug-in library.
    thread_.join();
}

bool TUpthrd::Enqueue(TDownload_Upfile upfile) {
    {
        std::lock_guard lock(Lock);
        const bool pending = std::any_of(Pending.begin(), Pending.end(), [&](const TDownload_Upfile& queued) {
            return SameNameIgnoringCase(queued.UpFile, upfile.UpFile);
        });
        if (pending)
            return false;
        Pending.push_back(std::move(upfile));
        WakeEvent = true;
    }
    wake_.notify_one();
    return true;
}

void TUpthrd::Execute() {
    for (;;) {
        {
            std::unique_lock lock(Lock);
            wake_.wait(lock, [this] { return WakeEvent; });
            WakeEvent = false;
            if (terminated_)
                return;
            Working.swap(Pending);
            Pending.clear();
        }
        for (const TDownload_Upfile& upfile : Working) {
            {
                std::lock_guard lock(Lock);
                if (terminated_)
                    return;
            }
            check_(upfile, stop_);
        }
        Working.clear();
    }
}

} // namespace qm
