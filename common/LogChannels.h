#pragma once

#include <QLoggingCategory>
#include <string>

// One logging channel per library ("quillmere.<library>"; the bus has "quillmere.bus" in the
// runtime, the start-up "quillmere.startup"). Failures and refusals are warnings and show by
// default; progress is debug output, off unless switched on, e.g.
// QT_LOGGING_RULES="quillmere.*.debug=true".
namespace qm {

Q_DECLARE_LOGGING_CATEGORY(lcDesk)
Q_DECLARE_LOGGING_CATEGORY(lcHost)
Q_DECLARE_LOGGING_CATEGORY(lcPictures)
Q_DECLARE_LOGGING_CATEGORY(lcLogin)
Q_DECLARE_LOGGING_CATEGORY(lcUpgrade)
Q_DECLARE_LOGGING_CATEGORY(lcSkellow)
Q_DECLARE_LOGGING_CATEGORY(lcInvoice)

// A failure the user's installation should keep ("send us your log"): a warning on the channel and
// one entry in the installation's log (Log/LOGyyyymm.log). Never throws: a log that cannot be
// written is told on the channel.
using TLogChannel = const QLoggingCategory& (*)();
void LogWarning(TLogChannel channel, const std::string& text);

} // namespace qm
