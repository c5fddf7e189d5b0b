#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>
#include <QWidget>
#include <functional>

// Real mouse events delivered to a widget the way the application delivers them, and a wait that
// keeps the event loop running: the one copy the widget tests share.
namespace qm::test {

inline void SendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(widget.mapToGlobal(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

inline void MouseMove(QWidget& widget, QPoint at, Qt::MouseButtons buttons = Qt::NoButton) {
    SendMouse(widget, QEvent::MouseMove, at, Qt::NoButton, buttons);
}

// A move with the left button held, as while dragging.
inline void MouseDrag(QWidget& widget, QPoint at) {
    MouseMove(widget, at, Qt::LeftButton);
}

inline void MousePress(QWidget& widget, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    SendMouse(widget, QEvent::MouseButtonPress, at, button, button);
}

inline void MouseRelease(QWidget& widget, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    SendMouse(widget, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

// Move there, press and release, as a user's click does.
inline void MouseClick(QWidget& widget, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    MouseMove(widget, at);
    MousePress(widget, at, button);
    MouseRelease(widget, at, button);
}

// What a user's double-click delivers: a click, then the second press as a double-click, then its
// release. Between the second press and its release the caller may move the mouse.
inline void DoubleClickPress(QWidget& widget, QPoint at) {
    MouseClick(widget, at);
    SendMouse(widget, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
}

inline void DoubleClick(QWidget& widget, QPoint at) {
    DoubleClickPress(widget, at);
    MouseRelease(widget, at);
}

// Runs the event loop until done() holds; false when it still does not after `milliseconds`.
inline bool WaitUntil(const std::function<bool()>& done, int milliseconds = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

} // namespace qm::test
