#include "common/DialogOwner.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
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

namespace {

// Centres the dialog once more when it is shown: its size may still change until then.
class TCentreWhenShown : public QObject {
public:
    TCentreWhenShown(QWidget& dialog, QWidget* owner) : QObject(&dialog), owner_(owner) {
        dialog.installEventFilter(this);
    }

    static void Centre(QWidget& dialog, const QWidget* owner) {
        QRect around;
        if (owner != nullptr)
            around = owner->frameGeometry();
        else if (const QScreen* screen = QGuiApplication::primaryScreen())
            around = screen->availableGeometry();
        if (!around.isEmpty())
            dialog.move(around.center() - dialog.rect().center());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched == parent()) {
            Centre(*static_cast<QWidget*>(watched), owner_);
            watched->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

private:
    QPointer<QWidget> owner_;
};

} // namespace

void AttachToOwner(QWidget& dialog) {
    QWidget* owner = DialogOwner(&dialog);
    // The native window exists from here on, so that it can be told its parent before it is mapped.
    dialog.winId();
    if (owner != nullptr)
        dialog.windowHandle()->setTransientParent(owner->windowHandle());
    TCentreWhenShown::Centre(dialog, owner);
    new TCentreWhenShown(dialog, owner); // owned by the dialog until it is shown
}

} // namespace qm
