#include "desk/CanvasDrawing.h"

#include "desk/AssertionFailed.h"
#include "desk/DeskFont.h"
#include "desk/UIAction.h"
#include "pictures/PngPack.h"
#include "pictures/PngPackRatio.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTransform>
#include <cmath>

namespace qm {

void DrawImageInto(QImage& canvas, const TRect& target, const QImage& image) {
    if (canvas.isNull())
        return;
    QPainter painter(&canvas);
    SmoothWhereScaled(painter);
    painter.drawImage(ToQRect(target), image);
}

void SmoothWhereScaled(QPainter& painter) {
    // Whole ratios keep the pictures' hard edges; between them, nearest pixels would double rows.
    const qreal ratio = painter.device()->devicePixelRatio();
    if (ratio != std::floor(ratio))
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

QSize DeviceSize(QSize size, double ratio) {
    return QSize(qRound(size.width() * ratio), qRound(size.height() * ratio));
}

QRect DeviceRect(const QRect& area, double ratio) {
    const int left = static_cast<int>(std::floor(area.x() * ratio));
    const int top = static_cast<int>(std::floor(area.y() * ratio));
    const int right = static_cast<int>(std::ceil((area.x() + area.width()) * ratio));
    const int bottom = static_cast<int>(std::ceil((area.y() + area.height()) * ratio));
    return QRect(left, top, right - left, bottom - top);
}

QRect LogicalRect(const QImage& canvas) {
    return QRect(QPoint(0, 0), canvas.deviceIndependentSize().toSize());
}

void DrawSameArea(QPainter& painter, const QImage& source, const QRect& area) {
    const qreal ratio = source.devicePixelRatio();
    const QRect pixels = DeviceRect(area, ratio).intersected(source.rect());
    if (pixels.isEmpty())
        return;
    // Pixel for pixel, also at a fractional ratio, where the area's edges fall inside device pixels:
    // the whole device pixels it touches are copied, never resampled.
    painter.save();
    painter.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
    painter.drawImage(QRectF(pixels), source, QRectF(pixels));
    painter.restore();
}

void DrawPictureInto(QImage& canvas, const TRect& target, TPngPack& pngs, const std::string& name,
                     const TPngPicture& picture) {
    DrawImageInto(canvas, target, PixelsForRatio(pngs, name, picture, canvas.devicePixelRatio()));
}

void DrawCaption(QImage& canvas, const TRect& cell, const TObjText& text, TColor color) {
    if (canvas.isNull() || text.Text.empty())
        return;
    QPainter painter(&canvas);
    painter.setClipRect(ToQRect(cell));
    painter.setFont(DeskFont(text));
    painter.setPen(ToQColor(color));
    painter.drawText(QPoint(cell.left, cell.top + painter.fontMetrics().ascent()),
                     QString::fromStdString(text.Text));
}

const TPngPicture& TakeNormalImage(TPngPack& pngs, const std::string& name, int sourceLine) {
    const TPngPicture* image = pngs.TakePNG(name);
    if (image == nullptr)
        throw EAssertionFailed("NorPngFile must exist", "Common\\UIDesign", sourceLine);
    return *image;
}

} // namespace qm
