#pragma once

#include "pictures/Rect.h"

#include <optional>
#include <vector>

namespace qm {

// What the strip's layout depends on, taken from the strip at one moment.
struct TTabStripMetrics {
    int width = 0;           // W
    int height = 0;          // H
    int listButtonWidth = 0; // T
    int rightMargin = 0;
    int maxTabLength = 0; // full width of one tab, including the 20 pixels it shares with its neighbour
    int scrollOffset = 0;
    int tabIndex = -1;            // the active tab (list index)
    std::vector<int> visibleTabs; // list indices of the tabs shown, in list order
};

// The layout of the tab strip. Tabs are laid out in "row" coordinates: the row starts at x = T on
// the strip and is shifted left by the scroll offset. Visible tab number k (counting only the
// tabs shown) covers row x k * step to k * step + maxTabLength; neighbours overlap by 20 pixels.
class TTabStripGeometry {
public:
    explicit TTabStripGeometry(TTabStripMetrics metrics);

    const TTabStripMetrics& Metrics() const noexcept { return m_; }
    int Step() const noexcept { return m_.maxTabLength - 20; }
    int VisibleCount() const noexcept { return static_cast<int>(m_.visibleTabs.size()); }
    // The list index of visible tab k.
    int TabAt(int k) const { return m_.visibleTabs.at(static_cast<std::size_t>(k)); }

    // n * step + 20, or 0 without visible tabs.
    int RowWidth() const noexcept;
    // The part of the strip the row is shown in: W - T - right margin (V).
    int VisibleRowWidth() const noexcept;
    int RowX(int stripX) const noexcept { return stripX - m_.listButtonWidth; }

    // Where a click selects visible tab k (row coordinates, full strip height).
    TRect TabHitRect(int k) const;
    // The tab's right end on screen before the active and last tabs are widened: where its close
    // button ends.
    int ClippedTabRight(int k) const;
    // The close button of visible tab k (row coordinates); none for a tab scrolled out to the left.
    std::optional<TRect> CloseHitRect(int k) const;
    // The list button in strip coordinates.
    TRect ListButtonRect() const;
    // Where the strip is free of tabs, from this x to the strip's right edge.
    int FreeStripLeft() const noexcept;

private:
    TTabStripMetrics m_;
};

// The strip's hit tests count a point on the right or bottom edge as inside.
constexpr bool ContainsInclusive(const TRect& r, int x, int y) {
    return r.left <= x && x <= r.right && r.top <= y && y <= r.bottom;
}

// The scroll offset after tab i (a list index, hidden tabs counted) becomes the active one: scrolled
// back when the tab starts left of the view, forward (with one step to spare unless it is the last)
// when it ends right of it; 0 for the first tab or when the row fits. Never negative.
int ScrollOffsetForSelection(int tabIndex, int tabCount, int step, int rowWidth, int visibleRowWidth,
                             int scrollOffset);

} // namespace qm
