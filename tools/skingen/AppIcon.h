#pragma once

#include <QImage>
#include <string>

// The program's own icon for the desktop's menus and launchers: a blue tile holding a tax form with
// a round red seal. One list of shapes drives both the pixel pictures and the scalable picture, so
// the two always look the same.
namespace skingen {

// The icon as a square picture of size x size pixels (any size; drawn afresh, not scaled).
QImage DrawAppIcon(int size);

// The same icon as a standalone SVG document (256 x 256 user units).
std::string AppIconSvg();

} // namespace skingen
