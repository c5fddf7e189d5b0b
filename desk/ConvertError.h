#pragma once

#include <stdexcept>
#include <string>

namespace qm {

// A text that should have been a number (or a colour) and is not.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    const char* ClassName() const noexcept { return "EConvertError"; }
};

} // namespace qm
