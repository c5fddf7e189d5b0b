#pragma once

#include <QImage>

// The pictures of the desk window's frame, all taken by name from the packed image store: the
// border, the title bar, the status bar and the title-bar buttons.
namespace skingen {

// "border_dot.png": one solid pixel stretched along each edge; its width is the border width.
QImage DrawBorder();
// "top_c.png": the title band above the tab strip, and beside the strip the strip's own
// background, so the strip looks as if it sat in the title bar.
QImage DrawTitleBar();
// "bottom_c.png": the status bar.
QImage DrawStatusBar();

enum class TTitleButton { Close, Maximize, Restore, Minimize };
// The title-bar buttons ("close", "max", "nor", "min"; "_01" normal, "_02" hovered), all of one
// size, drawn on a transparent ground over the title band; scale times the pixels each way.
QImage DrawTitleButton(TTitleButton button, bool hovered, int scale = 1);

// A small quill on the title band, in front of the desk's title (16 x 16 pixels, times scale).
QImage DrawLogo(int scale = 1);

} // namespace skingen
