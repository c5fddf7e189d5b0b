#include "common/DialogOwner.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace qm {

QWidget* DialogOwner(const QWidget* dialog) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal != dialog && modal->isVisible())
        return modal;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != dialog && window->isVisible() && window->objectName() == QLatin1String(kDeskWindowName))
            return window;
    return nullptr;
}

void AttachToOwner(QWidget& dialog) {
    QWidget* owner = DialogOwner(&dialog);
    // The native window exists from here on, so that it can be told its parent before it is mapped.
    dialog.winId();
    QRect around;
    if (owner != nullptr) {
        dialog.windowHandle()->setTransientParent(owner->windowHandle());
        around = owner->frameGeometry();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        around = screen->availableGeometry();
    }
    if (!around.isEmpty())
        dialog.move(around.center() - dialog.rect().center());
}

} // namespace qm
