#pragma once

#include "common/LogChannels.h"

// The logging channel of this library, "quillmere.skellow".
namespace qm {

Q_DECLARE_LOGGING_CATEGORY(lcSkellow)

} // namespace qm
