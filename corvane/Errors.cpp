#include "corvane/Errors.h"

#include <cstdarg>
#include <vector>

namespace corvane {

namespace detail {
std::string FormatImpl(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
        result.assign(buffer.data(), static_cast<std::size_t>(length));
    }
    va_end(args);
    return result;
}
} // namespace detail

ETax::ETax(std::string message, std::string location) : message_(std::move(message)), location_(std::move(location)) {}
ETax::~ETax() = default;
const char* ETax::ClassName() const noexcept { return "ETax"; }

std::string ETax::GetLogText() const {
    return "Class:" + std::string(ClassName()) + "\r\nMsg:" + message_ + "\r\nLocation:" + location_;
}

EPlugin::~EPlugin() = default;
const char* EPlugin::ClassName() const noexcept { return "EPlugin"; }
ELua::~ELua() = default;
const char* ELua::ClassName() const noexcept { return "ELua"; }
EUI::~EUI() = default;
const char* EUI::ClassName() const noexcept { return "EUI"; }

} // namespace corvane
