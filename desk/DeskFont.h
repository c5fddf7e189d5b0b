#pragma once

#include "desk/ObjText.h"

#include <QFont>
#include <QSize>
#include <string>

class QPaintDevice;

namespace qm {

// The font a text widget paints with. A family that is not installed is substituted by the system.
QFont DeskFont(const TObjText& text);

// The extent of text in that font on device (whose resolution turns points into pixels): the
// advance width and the font's line height, also for an empty text.
QSize MeasureDeskText(const TObjText& text, const QPaintDevice& device);

} // namespace qm
