#include "skellow/SkellowLog.h"

namespace qm {

Q_LOGGING_CATEGORY(lcSkellow, "quillmere.skellow", QtInfoMsg)

} // namespace qm
