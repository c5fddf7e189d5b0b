#include "corvane/OnlineOverride.h"

namespace corvane {

std::atomic<int>& OnlineOverride() noexcept {
    static std::atomic<int> override{-1};
    return override;
}

} // namespace corvane
