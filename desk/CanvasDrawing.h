#pragma once

#include "desk/ColorText.h"
#include "desk/ObjText.h"
#include "pictures/Rect.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <string>

class QPainter;

namespace qm {

class TPngPack;
class TPngPicture;

// Draws image into target on canvas, blending its transparent parts over what is there.
void DrawImageInto(QImage& canvas, const TRect& target, const QImage& image);

// Smooth picture scaling on painter where its device's pixel ratio is not a whole number.
void SmoothWhereScaled(QPainter& painter);
// A size of the desk's pixels in device pixels at ratio, rounded as the window system rounds it.
QSize DeviceSize(QSize size, double ratio);
// The device pixels that area (the desk's pixels) touches at ratio.
QRect DeviceRect(const QRect& area, double ratio);

// The whole canvas in the desk's pixels, which are its device pixels divided by its pixel ratio.
QRect LogicalRect(const QImage& canvas);
// Draws the part of source at area (the desk's pixels) to the same place of painter's device;
// source has the device's pixel ratio.
void DrawSameArea(QPainter& painter, const QImage& source, const QRect& area);

// Draws the normal picture of a widget, or its double size picture on a canvas of that ratio.
void DrawPictureInto(QImage& canvas, const TRect& target, TPngPack& pngs, const std::string& name,
                     const TPngPicture& picture);

// Draws the text of `text` in its font and colour into its measured cell, with a transparent
// background. Ink that a glyph would put outside the cell is clipped, so that restoring the cell
// and painting again gives the same pixels. Nothing for an empty text.
void DrawCaption(QImage& canvas, const TRect& cell, const TObjText& text, TColor color);

// The normal picture of a widget from pngs (decoded when drawn). A blank name is a programming error of the
// widget's creator, reported as an assertion of sourceLine.
const TPngPicture& TakeNormalImage(TPngPack& pngs, const std::string& name, int sourceLine);

} // namespace qm
