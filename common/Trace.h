#pragma once

#include <QLoggingCategory>
#include <string>

namespace qm {

// The developers' trace channel: script "log" calls and other tag/message pairs. Silent unless a
// developer switches it on, e.g. QT_LOGGING_RULES="quillmere.trace.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcTrace)

void Trace(const std::string& tag, const std::string& message);

} // namespace qm
