#pragma once

#include "corvane/BsonDocument.h"
#include "pictures/Rect.h"

#include <QColor>
#include <QRect>
#include <cstdint>
#include <functional>
#include <string>

namespace qm {

class TUIContainer;
class TUIAction;

// A widget's click handler; it receives the widget that was clicked.
using TUIClickHandler = std::function<void(TUIAction& sender)>;

// The base of the painted desk widgets. A widget lives in one container, paints itself into the
// container's canvas bitmap and covers Bounds in both of its looks.
class TUIAction {
public:
    explicit TUIAction(TUIContainer& container);
    virtual ~TUIAction();
    TUIAction(const TUIAction&) = delete;
    TUIAction& operator=(const TUIAction&) = delete;

    TUIContainer* Container; // not owned
    // A copy of the request the widget was created from; the desk's default click reads it.
    corvane::TBSONDocument Params;
    std::int32_t Tag = 0; // free for the creator
    std::int32_t Left = 0;
    std::uint8_t State = 0;  // 0 normal, 1 hover
    TUIClickHandler OnClick; // empty: the container's widget click
    std::int32_t Top = 0;
    bool Visible = true; // invisible widgets are neither painted nor hit
    TRect Bounds;
    // What assistive technology calls a widget that shows no text of its own (a title-bar button).
    std::string AccessibleName;

    // The caption the widget shows, else its AccessibleName; "" for an unnamed picture.
    virtual std::string Name() const;
    // The colour of the keyboard focus frame drawn around the widget.
    virtual QColor FocusColor() const;

    // Computes the rectangles from the position and the images/text.
    virtual void CalcBounds() = 0;
    // Paints the look of the current state; the widget with the container's visible keyboard focus
    // looks hovered and gets a dotted frame inside its Bounds.
    virtual void Paint();
    virtual void PaintNormal();
    virtual void PaintHover();

    // Copies Bounds from the background bitmap onto the canvas, so the widget is drawn over clean
    // background.
    void RestoreBackground();
    // Changes the look; repaints only this widget.
    void SetState(std::uint8_t state);
    // Paints the widget (if visible) and, when invalidate is set, has its Bounds shown anew.
    void Redraw(bool invalidate);
    // CalcBounds, then Redraw.
    void Refresh(bool invalidate);

    // The position in the container's pixels, by the wrap-around rule of negative and large values.
    int X() const;
    int Y() const;

protected:
    bool ContainerHasSize() const;
    void PaintFocusFrame();
};

constexpr QRect ToQRect(const TRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

} // namespace qm
