#pragma once

#include <QColor>

// The colours and measures of the sample desk's look: soft blues and greys, a blue title band over
// a light tab strip, white tabs that open into the page below them.
namespace skingen {

// Width of the desk's border in pixels ("border_dot.png" is this wide).
inline constexpr int kBorderWidth = 1;
// The page control starts 18 pixels below the desk's top edge; the title band fills the rows above
// it, inside the border.
inline constexpr int kTitleBandHeight = 18 - kBorderWidth;
// Height of the tab strip.
inline constexpr int kStripHeight = 24;
// Height of the status bar picture.
inline constexpr int kStatusBarHeight = 24;

// Title band: a gentle vertical gradient with a lighter first row.
inline const QColor kTitleHighlight{0x93, 0xB8, 0xDD};
inline const QColor kTitleTop{0x7A, 0xA4, 0xCE};
inline const QColor kTitleBottom{0x5F, 0x8B, 0xB8};
inline const QColor kBorder{0x4A, 0x74, 0x9E};

// Tab strip background (above its bottom line) and the frame colour of the page control, which
// also draws the strip's bottom line.
inline const QColor kStripTop{0xE8, 0xEF, 0xF6};
inline const QColor kStripBottom{0xD6, 0xE2, 0xEE};
inline const QColor kFrame{0xA3, 0xB8, 0xCE};
// Background of plain pages; the active tab's body ends in it.
inline const QColor kPage{0xF7, 0xF9, 0xFC};

// Status bar.
inline const QColor kStatusLine{0xBC, 0xCB, 0xDB};
inline const QColor kStatusTop{0xEE, 0xF3, 0xF8};
inline const QColor kStatusBottom{0xDD, 0xE6, 0xEF};

// Glyphs drawn on light ground and on the title band.
inline const QColor kGlyphQuiet{0x84, 0x95, 0xAA};
inline const QColor kGlyph{0x5E, 0x7A, 0x98};
inline const QColor kGlyphStrong{0x2F, 0x6D, 0xB0};
inline const QColor kCloseRed{0xE0, 0x6C, 0x6C};
inline const QColor kCloseRedPressed{0xC4, 0x55, 0x58};

// Unused parts of the tab strip skin: a colour no piece uses, so the pieces stand out.
inline const QColor kSkinFiller{0xFF, 0x00, 0xFF};

} // namespace skingen
