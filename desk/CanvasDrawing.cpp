#include "desk/CanvasDrawing.h"

#include "desk/AssertionFailed.h"
#include "desk/DeskFont.h"
#include "desk/UIAction.h"
#include "pictures/PngPack.h"
#include "pictures/PngPackRatio.h"

#include <QFontMetrics>
#include <QPainter>

namespace qm {

void DrawImageInto(QImage& canvas, const TRect& target, const QImage& image) {
    if (canvas.isNull())
        return;
    QPainter painter(&canvas);
    painter.drawImage(ToQRect(target), image);
}

QRect LogicalRect(const QImage& canvas) {
    return QRect(QPoint(0, 0), canvas.deviceIndependentSize().toSize());
}

void DrawSameArea(QPainter& painter, const QImage& source, const QRect& area) {
    const qreal ratio = source.devicePixelRatio();
    painter.drawImage(
        QPointF(area.topLeft()), source,
        QRectF(area.x() * ratio, area.y() * ratio, area.width() * ratio, area.height() * ratio));
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
