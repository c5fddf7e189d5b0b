#include "Backgrounds.h"

#include "Drawing.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace skingen {

namespace {

// A band along the bottom whose upper edge is a long, low wave: it starts at startY on the left,
// ends at endY on the right and swings by lift between them.
QPainterPath Wave(double width, double height, double startY, double endY, double lift) {
    QPainterPath path;
    path.moveTo(0.0, startY);
    path.cubicTo(width * 0.30, startY - lift, width * 0.62, endY + lift, width, endY);
    path.lineTo(width, height);
    path.lineTo(0.0, height);
    path.closeSubpath();
    return path;
}

void FillWave(QPainter& painter, const QPainterPath& wave, const QColor& top, const QColor& bottom) {
    const QRectF box = wave.boundingRect();
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0.0, top);
    fill.setColorAt(1.0, bottom);
    painter.fillPath(wave, fill);
}

void SoftLight(QPainter& painter, QPointF centre, double radius, int alpha) {
    QRadialGradient light(centre, radius);
    light.setColorAt(0.0, QColor(0xFF, 0xFF, 0xFF, alpha));
    light.setColorAt(1.0, QColor(0xFF, 0xFF, 0xFF, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(light);
    painter.drawEllipse(centre, radius, radius);
}

} // namespace

QImage DrawDeskBackground() {
    constexpr int kWidth = 1024;
    constexpr int kHeight = 768;
    QImage image = VerticalGradient(kWidth, kHeight, QColor(0xDF, 0xE8, 0xF2), QColor(0xC9, 0xD8, 0xE7));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    SoftLight(painter, QPointF(kWidth * 0.2, kHeight * 0.15), kHeight * 0.5, 0x50);
    FillWave(painter, Wave(kWidth, kHeight, kHeight * 0.80, kHeight * 0.72, kHeight * 0.06),
             QColor(0xFF, 0xFF, 0xFF, 0x30), QColor(0xA9, 0xC1, 0xDA, 0x40));
    return image;
}

QImage DrawBenchBackground() {
    constexpr int kWidth = 1600;
    constexpr int kHeight = 900;
    QImage image = VerticalGradient(kWidth, kHeight, QColor(0xF9, 0xFB, 0xFD), QColor(0xE6, 0xEE, 0xF6));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    SoftLight(painter, QPointF(kWidth * 0.84, kHeight * 0.16), kHeight * 0.42, 0xB0);

    // Three waves, the far one palest, overlapping towards the bottom edge.
    FillWave(painter, Wave(kWidth, kHeight, kHeight * 0.74, kHeight * 0.66, kHeight * 0.07),
             QColor(0xC9, 0xDB, 0xEE, 0x60), QColor(0xB4, 0xCB, 0xE3, 0x70));
    FillWave(painter, Wave(kWidth, kHeight, kHeight * 0.80, kHeight * 0.86, kHeight * 0.06),
             QColor(0xA7, 0xC3, 0xE0, 0x58), QColor(0x8D, 0xB0, 0xD4, 0x70));
    FillWave(painter, Wave(kWidth, kHeight, kHeight * 0.93, kHeight * 0.84, kHeight * 0.05),
             QColor(0x86, 0xAB, 0xD2, 0x50), QColor(0x6F, 0x98, 0xC3, 0x68));
    return image;
}

} // namespace skingen
