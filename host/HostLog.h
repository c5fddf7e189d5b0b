#pragma once

#include "common/LogChannels.h"

// The logging channel of this library, "quillmere.host".
namespace qm {

Q_DECLARE_LOGGING_CATEGORY(lcHost)

} // namespace qm
