#pragma once

#include <QLoggingCategory>
#include <string>

// Each library declares its own logging channel in its own folder ("quillmere.<library>"; the bus
// has "quillmere.bus" in the runtime, the start-up "quillmere.startup"); the support library has
// "quillmere.common". Failures and refusals are warnings and show by default; progress is debug
// output, off unless switched on, e.g. QT_LOGGING_RULES="quillmere.*.debug=true".
namespace qm {

Q_DECLARE_LOGGING_CATEGORY(lcCommon)

// A failure the user's installation should keep ("send us your log"): a warning on the channel and
// one entry in the installation's log (Log/LOGyyyymm.log). Never throws: a log that cannot be
// written is told on the channel.
using TLogChannel = const QLoggingCategory& (*)();
void LogWarning(TLogChannel channel, const std::string& text);

} // namespace qm
