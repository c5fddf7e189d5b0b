#pragma once

#include "common/LogChannels.h"

// The logging channel of this library, "quillmere.invoice".
namespace qm {

Q_DECLARE_LOGGING_CATEGORY(lcInvoice)

} // namespace qm
