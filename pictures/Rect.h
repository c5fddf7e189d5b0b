#pragma once

#include <algorithm>

namespace qm {

// A rectangle by its edges, right and bottom exclusive: an empty rectangle at a point has
// left == right and top == bottom (unlike QRect, whose right() is inclusive).
struct TRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr bool operator==(const TRect&) const = default;
};

// True when the rectangle has collapsed to a point.
constexpr bool PointsEqual(const TRect& r) {
    return r.left == r.right && r.top == r.bottom;
}

// The smallest rectangle holding both corners of A and B: smaller left and top, larger right and bottom.
constexpr TRect RectUnion(const TRect& a, const TRect& b) {
    return TRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                 std::max(a.bottom, b.bottom)};
}

} // namespace qm
