#pragma once

#include "common/LogChannels.h"

// The logging channel of this library, "quillmere.upgrade".
namespace qm {

Q_DECLARE_LOGGING_CATEGORY(lcUpgrade)

} // namespace qm
