#include "common/LogChannels.h"

#include "common/TaxLog.h"

#include <exception>

namespace qm {

Q_LOGGING_CATEGORY(lcDesk, "quillmere.desk", QtInfoMsg)
Q_LOGGING_CATEGORY(lcHost, "quillmere.host", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPictures, "quillmere.pictures", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLogin, "quillmere.login", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUpgrade, "quillmere.upgrade", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSkellow, "quillmere.skellow", QtInfoMsg)
Q_LOGGING_CATEGORY(lcInvoice, "quillmere.invoice", QtInfoMsg)

void LogWarning(TLogChannel channel, const std::string& text) {
    qCWarning(channel, "%s", text.c_str());
    try {
        TTaxLog::Log(text);
    } catch (const std::exception& error) {
        qCWarning(channel, "the installation's log cannot be written: %s", error.what());
    }
}

} // namespace qm
