#include "Drawing.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace skingen {

namespace {

int MixChannel(int a, int b, double t) {
    return static_cast<int>(std::lround(a + (b - a) * t));
}

} // namespace

QColor Mix(const QColor& a, const QColor& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return QColor(MixChannel(a.red(), b.red(), t), MixChannel(a.green(), b.green(), t),
                  MixChannel(a.blue(), b.blue(), t), MixChannel(a.alpha(), b.alpha(), t));
}

QColor WithAlpha(QColor colour, int alpha) {
    colour.setAlpha(alpha);
    return colour;
}

QImage NewCanvas(int width, int height, int scale) {
    QImage image(width * scale, height * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (scale != 1)
        image.setDevicePixelRatio(scale);
    return image;
}

QImage VerticalGradient(int width, int height, const QColor& top, const QColor& bottom) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        const double t = height > 1 ? static_cast<double>(y) / (height - 1) : 0.0;
        const QRgb rgb = Mix(top, bottom, t).rgba();
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line, line + width, qPremultiply(rgb));
    }
    return image;
}

QImage Coverage(const QPainterPath& path, int width, int height) {
    QImage mask(width, height, QImage::Format_Alpha8);
    mask.fill(0);
    QPainter painter(&mask);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPath(path);
    return mask;
}

void Blend(QImage& target, const QImage& coverage, const std::function<QColor(int row)>& rowColour) {
    const int width = std::min(target.width(), coverage.width());
    const int height = std::min(target.height(), coverage.height());
    for (int y = 0; y < height; ++y) {
        const QColor colour = rowColour(y);
        const uchar* cover = coverage.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            if (cover[x] == 0)
                continue;
            const QColor below = target.pixelColor(x, y);
            target.setPixelColor(x, y, cover[x] == 255 ? colour : Mix(below, colour, cover[x] / 255.0));
        }
    }
}

QPainterPath RoundedTop(const QRectF& rect, double radius) {
    QPainterPath path;
    path.moveTo(rect.left(), rect.bottom());
    path.lineTo(rect.left(), rect.top() + radius);
    path.arcTo(QRectF(rect.left(), rect.top(), 2 * radius, 2 * radius), 180.0, -90.0);
    path.lineTo(rect.right() - radius, rect.top());
    path.arcTo(QRectF(rect.right() - 2 * radius, rect.top(), 2 * radius, 2 * radius), 90.0, -90.0);
    path.lineTo(rect.right(), rect.bottom());
    path.closeSubpath();
    return path;
}

} // namespace skingen
