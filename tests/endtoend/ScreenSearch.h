#pragma once

#include <QImage>
#include <QPoint>
#include <optional>

namespace qmtest {

// Where picture is drawn on screen (its top-left corner), or none; the first match in reading
// order. The picture is drawn over something unknown, so a pixel of opacity a and colour c may show
// anything from a·c (over black) to a·c + (1 − a)·255 (over white); every pixel of the picture
// must lie in that range. Opaque pixels must match exactly, transparent ones say nothing.
std::optional<QPoint> FindPicture(const QImage& screen, const QImage& picture);

// Whether the screen column of height pixels from top shows column x of the picture, rows 0 on.
bool ShowsColumn(const QImage& screen, QPoint top, const QImage& picture, int x, int height);

} // namespace qmtest
