#include "common/Trace.h"

namespace qm {

Q_LOGGING_CATEGORY(lcTrace, "quillmere.trace", QtWarningMsg)

void Trace(const std::string& tag, const std::string& message) {
    qCDebug(lcTrace).noquote() << QString::fromStdString(tag) << QString::fromStdString(message);
}

} // namespace qm
