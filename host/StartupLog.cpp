#include "host/StartupLog.h"

namespace qm {

Q_LOGGING_CATEGORY(lcStartup, "quillmere.startup", QtInfoMsg)

void StartupLog(const std::string& milestone) { qCInfo(lcStartup).noquote() << QString::fromStdString(milestone); }

} // namespace qm
