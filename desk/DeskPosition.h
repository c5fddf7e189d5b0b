#pragma once

#include <cstdint>

namespace qm {

// Where a coordinate given relative to the container lands: (size + value) modulo size, the
// remainder taking the sign of the dividend. A negative value counts from the far edge (-100 is 100
// pixels before the right or bottom edge) and a value of at least the size wraps around. A
// container of size 0 has nothing to wrap around: the value stands as given.
constexpr int WrapPosition(int value, int size) {
    if (size == 0)
        return value;
    const std::int64_t sum = std::int64_t{size} + value;
    return static_cast<int>(sum % size);
}

} // namespace qm
