#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <filesystem>
#include <functional>

// Small drawing helpers shared by the picture makers. Everything here is plain raster work on
// QImage, so the same program draws the same bytes on every run.
namespace skingen {

// a at t = 0, b at t = 1, each channel rounded to the nearest value.
QColor Mix(const QColor& a, const QColor& b, double t);
// The colour with its alpha replaced.
QColor WithAlpha(QColor colour, int alpha);

// A transparent picture ready for QPainter, width x height in drawing units. At scale 2 it has
// twice the pixels each way and a device pixel ratio of 2, so the same drawing code gives the
// picture for screens of two device pixels to the pixel.
QImage NewCanvas(int width, int height, int scale = 1);
// A picture filled row by row with a vertical gradient from top to bottom.
QImage VerticalGradient(int width, int height, const QColor& top, const QColor& bottom);

// How much of each pixel the path covers (0 to 255), drawn with antialiasing.
QImage Coverage(const QPainterPath& path, int width, int height);
// Mixes the colour of each row into the target in proportion to the coverage. Fully covered
// pixels get exactly the row's colour, which keeps neighbouring pieces of a skin seamless.
void Blend(QImage& target, const QImage& coverage, const std::function<QColor(int row)>& rowColour);

// A rectangle whose top corners are rounded; its bottom edge stays square.
QPainterPath RoundedTop(const QRectF& rect, double radius);

// Writes the picture as a PNG file (straight alpha); throws std::runtime_error on failure.
void SavePng(const QImage& image, const std::filesystem::path& file);

} // namespace skingen
