#include "FramePictures.h"

#include "Drawing.h"
#include "Palette.h"
#include "TabSkin.h"

#include <QPainter>

namespace skingen {

namespace {

constexpr int kButtonWidth = 28;
constexpr int kButtonHeight = 16;
// Horizontal pictures are stretched by the desk; a few columns are enough.
constexpr int kBarPictureWidth = 8;

const QColor kGlyphOnTitle{0xFF, 0xFF, 0xFF, 0xF0};

} // namespace

QImage DrawBorder() {
    QImage border = NewCanvas(kBorderWidth, kBorderWidth);
    border.fill(kBorder);
    return border;
}

QImage DrawTitleBar() {
    QImage bar = NewCanvas(kBarPictureWidth, kTitleBandHeight + kStripHeight);
    for (int y = 0; y < bar.height(); ++y) {
        QColor colour;
        if (y == 0)
            colour = kTitleHighlight;
        else if (y < kTitleBandHeight)
            colour = Mix(kTitleTop, kTitleBottom, static_cast<double>(y - 1) / (kTitleBandHeight - 2));
        else
            colour = StripRowColour(y - kTitleBandHeight);
        for (int x = 0; x < bar.width(); ++x)
            bar.setPixelColor(x, y, colour);
    }
    return bar;
}

QImage DrawStatusBar() {
    QImage bar = VerticalGradient(kBarPictureWidth, kStatusBarHeight, kStatusTop, kStatusBottom);
    for (int x = 0; x < bar.width(); ++x)
        bar.setPixelColor(x, 0, kStatusLine);
    return bar;
}

QImage DrawTitleButton(TTitleButton button, bool hovered, int scale) {
    QImage picture = NewCanvas(kButtonWidth, kButtonHeight, scale);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);

    if (hovered) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(button == TTitleButton::Close ? kCloseRed : QColor(0xFF, 0xFF, 0xFF, 0x48));
        painter.drawRoundedRect(QRectF(1.0, 0.0, kButtonWidth - 2.0, kButtonHeight), 3.0, 3.0);
    }

    painter.setPen(QPen(kGlyphOnTitle, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    // The glyphs are 7 x 7 pixels around the middle of the button.
    const double left = 10.5;
    const double top = 4.5;
    const double size = 7.0;
    switch (button) {
    case TTitleButton::Close:
        painter.drawLine(QPointF(left, top), QPointF(left + size, top + size));
        painter.drawLine(QPointF(left + size, top), QPointF(left, top + size));
        break;
    case TTitleButton::Minimize:
        painter.drawLine(QPointF(left, top + size - 0.5), QPointF(left + size, top + size - 0.5));
        break;
    case TTitleButton::Maximize:
        painter.drawRect(QRectF(left, top, size, size));
        painter.drawLine(QPointF(left, top + 1.0), QPointF(left + size, top + 1.0));
        break;
    case TTitleButton::Restore: {
        // A window in front of another one, the one behind showing its top and right edges.
        const double front = 5.0;
        const double offset = 2.0;
        painter.drawRect(QRectF(left, top + offset, front, front));
        QPainterPath behind;
        behind.moveTo(left + offset, top + offset);
        behind.lineTo(left + offset, top);
        behind.lineTo(left + offset + front, top);
        behind.lineTo(left + offset + front, top + front);
        behind.lineTo(left + front, top + front);
        painter.drawPath(behind);
        break;
    }
    }
    return picture;
}

QImage DrawLogo(int scale) {
    QImage logo = NewCanvas(16, 16, scale);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    // A feather leaning to the right, its quill ending in the lower left corner.
    QPainterPath vane;
    vane.moveTo(4.0, 12.0);
    vane.cubicTo(3.0, 7.0, 8.0, 2.0, 14.5, 1.5);
    vane.cubicTo(14.0, 8.0, 9.0, 13.0, 4.0, 12.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kGlyphOnTitle);
    painter.drawPath(vane);
    painter.setPen(QPen(kTitleBottom, 1.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(5.5, 10.5), QPointF(12.0, 4.0));
    painter.setPen(QPen(kGlyphOnTitle, 1.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(1.5, 14.5), QPointF(5.0, 11.0));
    return logo;
}

} // namespace skingen
