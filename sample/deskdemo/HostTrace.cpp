#include "sample/deskdemo/HostTrace.h"

#include "corvane/Khan.h"

namespace qm {

void HostTrace(const std::string& message) noexcept {
    try {
        if (corvane::Khan().HostPlugin() == nullptr)
            return;
        auto request = corvane::TakeDataDocument(1, 0);
        request->SetString("tag", "DeskTools");
        request->SetString("msg", message);
        corvane::Khan().Invoke(std::string(corvane::kHostAddress), *request);
    } catch (...) {
        // A trace line is never worth a failure of the caller.
    }
}

} // namespace qm
