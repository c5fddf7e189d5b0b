#include "corvane/BrowserSlot.h"

namespace corvane {

TBrowserSlot& BrowserSlot() noexcept {
    static TBrowserSlot slot;
    return slot;
}

} // namespace corvane
