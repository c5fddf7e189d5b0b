#include "desk/UIText.h"

#include "desk/CanvasDrawing.h"
#include "desk/DeskFont.h"
#include "desk/UIContainer.h"

namespace qm {

void TUIText::CalcBounds() {
    const QSize extent = MeasureDeskText(Text, Container->CanvasBitmap());
    const int x = X();
    const int y = Y();
    Bounds = TRect{x, y, x + extent.width(), y + extent.height()};
}

void TUIText::PaintNormal() {
    PaintIn(Text.ColorNormal);
}

void TUIText::PaintHover() {
    PaintIn(Text.ColorHover);
}

void TUIText::PaintIn(TColor color) {
    if (Text.Text.empty())
        return;
    RestoreBackground();
    DrawCaption(Container->CanvasBitmap(), Bounds, Text, color);
}

std::string TUIText::Name() const {
    return Text.Text.empty() ? AccessibleName : Text.Text;
}

QColor TUIText::FocusColor() const {
    return ToQColor(Text.ColorHover);
}

} // namespace qm
