// The keyboard on a painted container: a focus that Tab, Shift+Tab and the arrow keys move through
// its buttons and links, and Return or Space clicking the focused one.
#include "desk/DeskAccessible.h"
#include "desk/FocusOrder.h"
#include "desk/UIContainer.h"
#include "desk/UIText.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <algorithm>
#include <optional>

namespace qm {

namespace {

std::optional<TGridStep> ArrowStep(int key) {
    switch (key) {
    case Qt::Key_Left:
        return TGridStep::Left;
    case Qt::Key_Right:
        return TGridStep::Right;
    case Qt::Key_Up:
        return TGridStep::Up;
    case Qt::Key_Down:
        return TGridStep::Down;
    default:
        return std::nullopt;
    }
}

bool IsActivationKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

} // namespace

void TUIContainer::WidgetAdded(TUIAction& widget) {
    // A container of texts only is no stop on the way through the window.
    if (dynamic_cast<const TUIText*>(&widget) == nullptr && focusPolicy() == Qt::NoFocus)
        setFocusPolicy(Qt::TabFocus);
    AnnounceWidget(*this, widget, QAccessible::ObjectCreated);
}

std::vector<TUIAction*> TUIContainer::FocusableWidgets() const {
    std::vector<TUIAction*> focusable;
    for (const std::unique_ptr<TUIAction>& widget : widgets_) {
        if (TakesFocus(*widget))
            focusable.push_back(widget.get());
    }
    return ReadingOrder(std::move(focusable));
}

bool TUIContainer::ShowsFocusOn(const TUIAction& widget) const {
    return focusVisible_ && focusWidget_ == &widget && hasFocus();
}

void TUIContainer::SetFocusWidget(TUIAction& widget) {
    if (!Holds(&widget) || !TakesFocus(widget))
        return;
    MoveFocusTo(&widget, true);
    if (!hasFocus())
        setFocus(Qt::OtherFocusReason);
}

void TUIContainer::MoveFocusTo(TUIAction* widget, bool visible) {
    TUIAction* before = focusWidget_;
    focusWidget_ = widget;
    focusVisible_ = visible && widget != nullptr;
    if (before != nullptr && before != widget && Holds(before))
        before->Redraw(true);
    if (widget == nullptr)
        return;
    widget->Redraw(true);
    if (hasFocus())
        AnnounceWidget(*this, *widget, QAccessible::Focus);
}

bool TUIContainer::StepFocus(bool next) {
    const std::vector<TUIAction*> order = FocusableWidgets();
    if (order.empty())
        return false;
    const auto at = std::find(order.begin(), order.end(), focusWidget_);
    // The first key after the mouse shows where the focus is before moving it.
    if (at == order.end() || !focusVisible_) {
        MoveFocusTo(at != order.end() ? *at : next ? order.front() : order.back(), true);
        return true;
    }
    if (next ? at + 1 == order.end() : at == order.begin())
        return false;
    MoveFocusTo(next ? *(at + 1) : *(at - 1), true);
    return true;
}

bool TUIContainer::focusNextPrevChild(bool next) {
    if (hasFocus() && StepFocus(next))
        return true;
    return QWidget::focusNextPrevChild(next);
}

void TUIContainer::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const std::optional<TGridStep> step = ArrowStep(event->key());
    if (plain && step) {
        const std::vector<TUIAction*> order = FocusableWidgets();
        if (!order.empty()) {
            event->accept();
            const bool known = std::find(order.begin(), order.end(), focusWidget_) != order.end();
            if (!known || !focusVisible_) {
                MoveFocusTo(known ? focusWidget_ : order.front(), true);
            } else if (TUIAction* target = GridNeighbour(order, *focusWidget_, *step)) {
                MoveFocusTo(target, true);
            }
            return;
        }
    }
    if (plain && IsActivationKey(event->key()) && focusVisible_ && Holds(focusWidget_) &&
        TakesFocus(*focusWidget_)) {
        event->accept();
        ClickWidget(*focusWidget_);
        return;
    }
    QWidget::keyPressEvent(event);
}

void TUIContainer::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    const std::vector<TUIAction*> order = FocusableWidgets();
    const Qt::FocusReason reason = event->reason();
    if (order.empty()) {
        // Nothing here takes the focus: it goes on the way it came.
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
            QWidget::focusNextPrevChild(reason == Qt::TabFocusReason);
        return;
    }
    const bool known = std::find(order.begin(), order.end(), focusWidget_) != order.end();
    if (reason == Qt::TabFocusReason)
        MoveFocusTo(order.front(), true);
    else if (reason == Qt::BacktabFocusReason)
        MoveFocusTo(order.back(), true);
    else
        // Back from a dialog or a menu, or given by a click or a program: the focus shows as it did.
        MoveFocusTo(known ? focusWidget_ : order.front(), focusVisible_);
}

void TUIContainer::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    // A dialog or menu takes the focus for a while; anything else ends the keyboard's visit here.
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        focusVisible_ = false;
    if (Holds(focusWidget_))
        focusWidget_->Redraw(true);
}

} // namespace qm
