#include "host/HostLog.h"

namespace qm {

Q_LOGGING_CATEGORY(lcHost, "quillmere.host", QtInfoMsg)

} // namespace qm
