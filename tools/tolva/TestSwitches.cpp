#include "tools/tolva/TestSwitches.h"

#ifdef QM_TOLVA_TEST_SWITCHES
#include <cstdlib>
#include <string_view>
#endif

namespace qm::tolva {

#ifdef QM_TOLVA_TEST_SWITCHES

namespace {

template <typename T> void Override(const char* variable, T& value) {
    if (const char* text = std::getenv(variable))
        value = static_cast<T>(std::strtoull(text, nullptr, 10));
}

} // namespace

void ApplyTestSwitches(TExtractOptions& options) {
    if (const char* checks = std::getenv("TOLVA_TEST_CHECKS")) {
        options.ownChecks = std::string_view(checks) != "library";
        options.libraryChecks = std::string_view(checks) != "own";
    }
    Override("TOLVA_TEST_MAX_ENTRIES", options.limits.maxEntries);
    Override("TOLVA_TEST_MAX_BYTES", options.limits.maxBytes);
    Override("TOLVA_TEST_FREE_BYTES", options.limits.freeBytes);
    Override("TOLVA_TEST_TIME_LIMIT", options.limits.timeLimitSeconds);
}

#else

void ApplyTestSwitches(TExtractOptions&) {}

#endif

} // namespace qm::tolva
