#include "common/FieldKeys.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <memory>

namespace qm {

TFieldKey HandleFieldKey(QWidget& control, const QKeyEvent& key, const std::function<bool(bool)>& moveFocus) {
    // The keypad's Enter carries the keypad modifier; that and the system key do not count.
    if ((key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) != 0)
        return TFieldKey::Other;
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        QCoreApplication::postEvent(
            &control, std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier).release());
        return TFieldKey::Enter;
    case Qt::Key_Up:
        moveFocus(false);
        return TFieldKey::Up;
    case Qt::Key_Down:
        moveFocus(true);
        return TFieldKey::Down;
    default:
        return TFieldKey::Other;
    }
}

} // namespace qm
