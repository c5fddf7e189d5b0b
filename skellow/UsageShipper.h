#pragma once

#include "skellow/LogSender.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {
class TStopToken;
}

namespace qm::skellow {

// Ships the statistics files of a folder to the logging service, one by one, and deletes each
// file only after the service accepted it ("#00"). Every code in the service's result text is
// logged. A file that cannot be read is logged and set aside (".bad") and the next one is tried;
// shipping stops for this turn at the first file the service does not accept.
class TUsageShipper {
public:
    // Makes the log-sending object for one file; its calls must end at once when the given token
    // (may be null) is stopped.
    using TSenderFactory = std::function<std::unique_ptr<ISendLog>(corvane::TStopToken* stop)>;
    using TLogWriter = std::function<void(std::string_view)>;

    TUsageShipper(std::string directory, TSenderFactory sender, TLogWriter log);

    // Ships every "*.xml" file of the folder, in name order; once stop (may be null) is stopped the
    // call in progress ends at once and no further file is tried. Raises nothing that it can
    // handle: every problem with a file or the service is logged.
    void ShipAll(corvane::TStopToken* stop = nullptr);

    // Ships one file; true when it is gone (accepted, or set aside as unreadable).
    bool ShipOne(const std::string& fileName, corvane::TStopToken* stop = nullptr);

private:
    std::string directory_;
    TSenderFactory sender_;
    TLogWriter log_;
};

// The log lines for the codes "#01".."#06" found in a result text, in code order.
std::vector<std::string> ResultCodeLogLines(const std::string& result);

} // namespace qm::skellow
