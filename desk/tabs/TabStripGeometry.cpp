#include "desk/tabs/TabStripGeometry.h"

#include <algorithm>
#include <utility>

namespace qm {

namespace {

// The active tab draws over the first 20 pixels of its right neighbour, so both the active tab and
// the last tab (whose right end piece sticks out) reach that much further.
constexpr int kOverlap = 20;
constexpr int kCloseSize = 16;

} // namespace

TTabStripGeometry::TTabStripGeometry(TTabStripMetrics metrics) : m_(std::move(metrics)) {}

int TTabStripGeometry::RowWidth() const noexcept {
    const int n = VisibleCount();
    return n == 0 ? 0 : n * Step() + kOverlap;
}

int TTabStripGeometry::VisibleRowWidth() const noexcept {
    return m_.width - m_.listButtonWidth - m_.rightMargin;
}

int TTabStripGeometry::ClippedTabRight(int k) const {
    return std::min((k + 1) * Step() - m_.scrollOffset, VisibleRowWidth());
}

TRect TTabStripGeometry::TabHitRect(int k) const {
    TRect r{k * Step() - m_.scrollOffset, 0, ClippedTabRight(k), m_.height};
    if (r.left < 0 && r.right > 0)
        r.left = 0;
    const int tab = TabAt(k);
    if (tab == m_.tabIndex || k == VisibleCount() - 1)
        r.right += kOverlap;
    if (k > 0 && TabAt(k - 1) == m_.tabIndex)
        r.left += kOverlap;
    return r;
}

std::optional<TRect> TTabStripGeometry::CloseHitRect(int k) const {
    const int right = ClippedTabRight(k);
    if (right < 0)
        return std::nullopt;
    const int top = (m_.height - 21) / 2 + 5;
    return TRect{right - kCloseSize, top, right, top + kCloseSize};
}

TRect TTabStripGeometry::ListButtonRect() const {
    const int top = std::max(0, (m_.height - 18) / 2 + 1);
    return TRect{2, top, 18, top + kCloseSize};
}

int TTabStripGeometry::FreeStripLeft() const noexcept {
    const int unusedView = std::max(0, VisibleRowWidth() + m_.scrollOffset - RowWidth());
    return m_.width - m_.rightMargin - unusedView;
}

int ScrollOffsetForSelection(int tabIndex, int tabCount, int step, int rowWidth, int visibleRowWidth,
                             int scrollOffset) {
    const int i = tabIndex;
    const int v = visibleRowWidth;
    if (i == 0 || rowWidth < v)
        return 0;
    if (i * step - scrollOffset < 0)
        return std::max(0, (i - 1) * step);
    const int rowEnd = (i + 1) * step + kOverlap;
    const bool last = i == tabCount - 1;
    if (scrollOffset + v < rowEnd)
        return rowEnd - v + (last ? 0 : step);
    if (rowEnd < scrollOffset + v && v < rowEnd && last)
        return rowEnd - v;
    return scrollOffset;
}

} // namespace qm
