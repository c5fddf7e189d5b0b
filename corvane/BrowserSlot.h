#pragma once

#include "corvane/Export.h"

#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace corvane {

// The desktop's default browser program, once per process. It lives here because every deliverable
// links its own copy of the support library, and the host's look-up ahead must reach the clicks
// that the plug-ins handle. The support library's DefaultBrowser fills and reads it.
struct TBrowserSlot {
    std::mutex mutex;
    std::optional<std::string> path; // the answer, once known
    bool lookingUp = false;          // a look-up is under way (ahead on worker, or by a caller)
    std::thread worker;              // the look-up ahead; joined before the slot goes

    TBrowserSlot() = default;
    TBrowserSlot(const TBrowserSlot&) = delete;
    TBrowserSlot& operator=(const TBrowserSlot&) = delete;
    ~TBrowserSlot() {
        if (worker.joinable())
            worker.join();
    }
};

// The process's one slot.
CORVANE_API TBrowserSlot& BrowserSlot() noexcept;

} // namespace corvane
