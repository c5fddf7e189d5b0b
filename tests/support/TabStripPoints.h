#pragma once

#include <QPoint>

// Where a user clicks on the tab strip, worked out here from the strip's layout rules and not by the
// strip's own geometry code, so that a test clicking there finds out when that code is wrong. All in
// strip coordinates; the list button is at the strip's left, the row of tabs follows it.
namespace qm::test {

struct TStripLayout {
    int width = 0;            // the strip's width
    int height = 24;          // the strip's height
    int listButtonWidth = 20; // 0 while the list button is hidden
    int rightMargin = 0;
    int maxTabLength = 0;
    int scrollOffset = 0;
};

// Visible tab k covers row x k * step to k * step + maxTabLength, where step is maxTabLength - 20
// (neighbours overlap by 20 pixels).
inline int TabStep(const TStripLayout& strip) {
    return strip.maxTabLength - 20;
}

// The middle of visible tab k's own stretch of the row: inside its hit rectangle whether it or its
// left neighbour is active.
inline QPoint TabMiddle(const TStripLayout& strip, int k) {
    return {strip.listButtonWidth + k * TabStep(strip) + strip.maxTabLength / 2 - strip.scrollOffset,
            strip.height / 2};
}

// The middle of visible tab k's close button: 16 x 16, its right edge at the end of the tab's step
// (but not past the part of the strip the row is shown in), its top at (height - 21) / 2 + 5.
inline QPoint CloseButtonMiddle(const TStripLayout& strip, int k) {
    const int rowRight = strip.width - strip.listButtonWidth - strip.rightMargin;
    int right = (k + 1) * TabStep(strip) - strip.scrollOffset;
    if (right > rowRight)
        right = rowRight;
    return {strip.listButtonWidth + right - 8, (strip.height - 21) / 2 + 5 + 8};
}

} // namespace qm::test
