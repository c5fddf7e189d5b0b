#include "upgrade/UpgradeLog.h"

namespace qm {

Q_LOGGING_CATEGORY(lcUpgrade, "quillmere.upgrade", QtInfoMsg)

} // namespace qm
