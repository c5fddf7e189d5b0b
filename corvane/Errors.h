#pragma once

#include <concepts>
#include <cstdio>
#include <exception>
#include <string>
#include <type_traits>

#include "corvane/Export.h"

namespace corvane {

// printf-style formatting for the system's message templates ("文件(%s)不存在！"); std::string
// arguments may be passed directly.
namespace detail {
template <class T> decltype(auto) FormatArg(const T& value) {
    if constexpr (std::is_same_v<T, std::string>)
        return value.c_str();
    else
        return value;
}
CORVANE_API std::string FormatImpl(const char* format, ...) __attribute__((format(printf, 1, 2)));
} // namespace detail

template <class... Args> std::string FormatText(const char* format, const Args&... args) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
    return detail::FormatImpl(format, detail::FormatArg(args)...);
#pragma GCC diagnostic pop
}

// Base of every error the system raises on purpose: a message for the user and a location text
// naming the routine that raised it.
class CORVANE_API ETax : public std::exception {
public:
    ETax(std::string message, std::string location);
    ~ETax() override;

    const std::string& Message() const noexcept { return message_; }
    const std::string& Location() const noexcept { return location_; }
    virtual const char* ClassName() const noexcept;

    // The text the host writes to its log file for this error.
    std::string GetLogText() const;

    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
    std::string location_;
};

// Raised by request handlers and by the bus.
class CORVANE_API EPlugin : public ETax {
public:
    using ETax::ETax;
    ~EPlugin() override;
    const char* ClassName() const noexcept override;
};

// Raised by the script functions of the Lua bridge.
class CORVANE_API ELua : public ETax {
public:
    using ETax::ETax;
    ~ELua() override;
    const char* ClassName() const noexcept override;
};

// Raised by the desk widgets.
class CORVANE_API EUI : public ETax {
public:
    using ETax::ETax;
    ~EUI() override;
    const char* ClassName() const noexcept override;
};

} // namespace corvane
