#pragma once

#include <QColor>
#include <QImage>

namespace skingen {

// Size of the tab strip skin: the pieces the strip and the page control take from it reach to
// x 340 (the pressed list button) and y 66 (the close buttons).
inline constexpr int kTabSkinWidth = 340;
inline constexpr int kTabSkinHeight = 66;

// The tab strip skin "PgSkin.bmp": tab ends, junctions between neighbouring tabs, the stretched
// middle columns, the strip and page backgrounds, the frame colour, and the close and list
// buttons, each at the place the strip reads it from. Unused pixels carry kSkinFiller.
QImage DrawTabSkin();

// The colour of the tab strip's background in a row (0 to 23); the title bar picture continues it
// beside the strip.
QColor StripRowColour(int row);

} // namespace skingen
