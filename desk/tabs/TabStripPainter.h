#pragma once

#include "desk/tabs/TabStripGeometry.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <vector>

namespace qm {

// Everything one picture of the tab strip is made from.
struct TTabStripScene {
    const TTabStripGeometry* geometry = nullptr;
    QImage skin;                    // empty: nothing is drawn over the white ground
    std::vector<QString> captions;  // every tab of the list, shown or not
    std::vector<bool> closeButtons; // per list index; missing entries mean none
    int hoverCode = -1000;
    int pressState = 0;
    QFont font;
    QColor textColor;
    double ratio = 1; // device pixels per strip pixel: captions are drawn at the screen's resolution
};

// Paints the strip from its skin: the stretched background, the list button, then the row of tabs
// (end pieces, stretched middles, captions, junctions, close buttons) copied in at x = T from the
// scroll offset on. Returns a picture of the strip's size in strip pixels, ratio times as many
// device pixels (the skin's pieces are stretched, the text is drawn sharp).
QImage PaintTabStrip(const TTabStripScene& scene);

} // namespace qm
