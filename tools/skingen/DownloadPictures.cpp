#include "DownloadPictures.h"

#include "Drawing.h"

#include <QPainter>
#include <QPainterPath>

namespace skingen {

namespace {

const QColor kGlyph{0x1F, 0x6F, 0xC8};
const QColor kGlyphLight{0x5C, 0xAE, 0xFF};
const QColor kStop{0xD9, 0x3B, 0x30};

QBrush GlyphBrush(int height) {
    QLinearGradient gradient(0, 0, 0, height);
    gradient.setColorAt(0, kGlyphLight);
    gradient.setColorAt(1, kGlyph);
    return gradient;
}

} // namespace

QImage DrawResumePicture() {
    QImage picture = NewCanvas(15, 16);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath triangle;
    triangle.moveTo(3, 2);
    triangle.lineTo(13, 8);
    triangle.lineTo(3, 14);
    triangle.closeSubpath();
    painter.setPen(QPen(kGlyph, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(GlyphBrush(16));
    painter.drawPath(triangle);
    return picture;
}

QImage DrawPausePicture() {
    QImage picture = NewCanvas(17, 16);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kGlyph, 1.0));
    painter.setBrush(GlyphBrush(16));
    painter.drawRoundedRect(QRectF(3.5, 2.5, 4, 11), 1, 1);
    painter.drawRoundedRect(QRectF(9.5, 2.5, 4, 11), 1, 1);
    return picture;
}

QImage DrawAbortPicture() {
    QImage picture = NewCanvas(16, 16);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kStop);
    painter.drawEllipse(QRectF(1, 1, 14, 14));
    painter.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    painter.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    return picture;
}

} // namespace skingen
