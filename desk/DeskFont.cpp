#include "desk/DeskFont.h"

#include <QFontMetrics>
#include <QImage>
#include <QPaintDevice>

namespace qm {

QFont DeskFont(const TObjText& text) {
    QFont font(QString::fromStdString(text.FontName));
    // A positive size is in points; a negative one is a height in pixels, as the framework reads it.
    if (text.FontSize > 0)
        font.setPointSize(text.FontSize);
    else if (text.FontSize < 0)
        font.setPixelSize(-text.FontSize);
    switch (text.FontStyle) {
    case kFontBold:
        font.setBold(true);
        break;
    case kFontItalic:
        font.setItalic(true);
        break;
    case kFontBold | kFontItalic:
        font.setBold(true);
        font.setItalic(true);
        break;
    default:
        break;
    }
    return font;
}

QSize MeasureDeskText(const TObjText& text, const QPaintDevice& device) {
    // A null image has no resolution; measure on a pixel of the same kind instead.
    static const QImage reference(1, 1, QImage::Format_ARGB32_Premultiplied);
    const auto* image = dynamic_cast<const QImage*>(&device);
    const QPaintDevice& measured = image != nullptr && image->isNull() ? reference : device;
    const QFontMetrics metrics(DeskFont(text), &measured);
    return QSize(metrics.horizontalAdvance(QString::fromStdString(text.Text)), metrics.height());
}

} // namespace qm
