#include "desk/UIAction.h"

#include "desk/CanvasDrawing.h"
#include "desk/DeskPosition.h"
#include "desk/UIContainer.h"

#include <QPainter>

namespace qm {

TUIAction::TUIAction(TUIContainer& container) : Container(&container) {}

TUIAction::~TUIAction() = default;

void TUIAction::Paint() {
    if (State == 0)
        PaintNormal();
    else if (State == 1)
        PaintHover();
}

void TUIAction::PaintNormal() {}

void TUIAction::PaintHover() {}

void TUIAction::RestoreBackground() {
    QImage& canvas = Container->CanvasBitmap();
    const QRect area = ToQRect(Bounds).intersected(LogicalRect(canvas));
    if (area.isEmpty())
        return;
    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    DrawSameArea(painter, Container->BackgroundBitmap(), area);
}

void TUIAction::SetState(std::uint8_t state) {
    if (state == State)
        return;
    State = state;
    Redraw(true);
}

void TUIAction::Redraw(bool invalidate) {
    if (!ContainerHasSize())
        return;
    if (Visible && !Container->CanvasBitmap().isNull())
        Paint();
    if (invalidate)
        Container->update(ToQRect(Bounds));
}

void TUIAction::Refresh(bool invalidate) {
    if (!ContainerHasSize())
        return;
    CalcBounds();
    Redraw(invalidate);
}

int TUIAction::X() const {
    return WrapPosition(Left, Container->width());
}

int TUIAction::Y() const {
    return WrapPosition(Top, Container->height());
}

bool TUIAction::ContainerHasSize() const {
    return Container->width() != 0 && Container->height() != 0;
}

} // namespace qm
