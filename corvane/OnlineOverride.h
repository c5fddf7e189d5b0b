#pragma once

#include "corvane/Export.h"

#include <atomic>

namespace corvane {

// What IsOnline answers instead of asking the system, for tests: -1 ask the system, 0 offline,
// 1 online. It lives here, once per process, because every deliverable links its own copy of the
// support library and a test's switch must reach the plug-ins it loads through the bus.
CORVANE_API std::atomic<int>& OnlineOverride() noexcept;

} // namespace corvane
