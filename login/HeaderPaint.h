#pragma once

#include <QRect>

class QPainter;
class QPixmap;

// The painted parts of the login dialog: its frame and the two header areas.
namespace qm {

// A 2-pixel frame around the form's client rectangle.
void PaintFormFrame(QPainter& painter, const QRect& client);

// Login header (area 400 x 101): vertical gradient, the top band and bottom line, and rounded
// outlines 5 pixels outside the user-name box (userBox, which also holds the user-list button)
// and the password field.
void PaintLoginHeader(QPainter& painter, const QRect& area, const QRect& userBox, const QRect& passwordBox);

// Register header (area 400 x 286): the same gradient, the account picture in a framed 42 x 42
// square at the left of the top 56 pixels, a band 50 to 55 pixels below the top, the bottom line.
void PaintRegisterHeader(QPainter& painter, const QRect& area, const QPixmap& accountPicture);

} // namespace qm
