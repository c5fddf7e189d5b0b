#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QScreen>
#include <QWidget>
#include <cstdlib>

namespace qm::test {

// The colour the display shows at `at` (widget coordinates), read back from the window system
// rather than from the widget's own painting; an invalid colour when it cannot be read (no screen,
// or a platform that cannot grab windows).
inline QColor ScreenPixel(QWidget& widget, QPoint at) {
    QWidget* window = widget.window();
    const QPoint inWindow = widget.mapTo(window, at);
    if (window->screen() == nullptr)
        return {};
    const QImage shot =
        window->screen()->grabWindow(window->winId(), inWindow.x(), inWindow.y(), 1, 1).toImage();
    return shot.isNull() ? QColor() : shot.pixelColor(0, 0);
}

// Whether two colours differ by at most `tolerance` in each channel.
inline bool NearColour(const QColor& a, const QColor& b, int tolerance = 3) {
    return a.isValid() && b.isValid() && std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance && std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace qm::test
