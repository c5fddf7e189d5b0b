#include "host/ErrorHandler.h"

#include "common/MsgDialog.h"
#include "common/TaxLog.h"
#include "corvane/Errors.h"
#include "host/HostLog.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace qm {

namespace {

std::string ClassNameOf(const std::exception& error) {
    const char* mangled = typeid(error).name();
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> readable(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
    return status == 0 && readable ? readable.get() : mangled;
}

} // namespace

std::string ErrorLogText(const std::exception& error) {
    if (const auto* tax = dynamic_cast<const corvane::ETax*>(&error))
        return tax->GetLogText();
    return corvane::FormatText("Class:%s\r\nMsg:%s", ClassNameOf(error), std::string(error.what()));
}

void HandleDeskException(const std::exception& error) {
    try {
        TTaxLog::Log(ErrorLogText(error));
    } catch (const std::exception& logError) {
        // A log that cannot be written must not hide the error itself from the user.
        qCWarning(lcHost, "the log cannot be written: %s", logError.what());
    }
    ShowInfo(error.what());
}

} // namespace qm
