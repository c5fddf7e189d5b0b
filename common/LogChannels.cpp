#include "common/LogChannels.h"

#include "common/TaxLog.h"

#include <exception>

namespace qm {

Q_LOGGING_CATEGORY(lcCommon, "quillmere.common", QtInfoMsg)

void LogWarning(TLogChannel channel, const std::string& text) {
    qCWarning(channel, "%s", text.c_str());
    try {
        TTaxLog::Log(text);
    } catch (const std::exception& error) {
        qCWarning(channel, "the installation's log cannot be written: %s", error.what());
    }
}

} // namespace qm
