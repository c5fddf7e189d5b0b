#include "desk/UIAction.h"

#include "desk/CanvasDrawing.h"
#include "desk/DeskPosition.h"
#include "desk/UIContainer.h"

#include <QPainter>

namespace qm {

TUIAction::TUIAction(TUIContainer& container) : Container(&container) {}

TUIAction::~TUIAction() = default;

std::string TUIAction::Name() const {
    return AccessibleName;
}

QColor TUIAction::FocusColor() const {
    return Qt::white;
}

void TUIAction::Paint() {
    const bool focused = Container->ShowsFocusOn(*this);
    if (State == 1 || (State == 0 && focused))
        PaintHover();
    else if (State == 0)
        PaintNormal();
    if (focused)
        PaintFocusFrame();
}

void TUIAction::PaintFocusFrame() {
    QImage& canvas = Container->CanvasBitmap();
    if (canvas.isNull())
        return;
    QPainter painter(&canvas);
    QPen pen(FocusColor(), 1, Qt::DotLine);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    // Inside Bounds, so that restoring the widget's background takes the frame away again.
    painter.drawRect(ToQRect(Bounds).adjusted(0, 0, -1, -1));
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
