#include "login/LoginAccessible.h"

#include "login/LoginControls.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>

namespace qm {

namespace {

int registrations = 0;

// A link or picture button: named by its text or its accessible name, focusable, pressed from the
// event loop (the press may open a menu or another layout while the asker waits for its answer).
template <class TControl> class TAccessibleControl : public QAccessibleWidget {
public:
    TAccessibleControl(TControl& control, QAccessible::Role role) : QAccessibleWidget(&control, role) {}

    QString text(QAccessible::Text kind) const override {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty())
            text = static_cast<TControl*>(widget())->text();
        return text;
    }
    QStringList actionNames() const override {
        return {QAccessibleActionInterface::pressAction(), QAccessibleActionInterface::setFocusAction()};
    }
    QStringList keyBindingsForAction(const QString& action) const override {
        return action == QAccessibleActionInterface::pressAction() ? QStringList{QStringLiteral("Return")}
                                                                   : QStringList{};
    }
    void doAction(const QString& action) override {
        if (action != QAccessibleActionInterface::pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        QMetaObject::invokeMethod(
            widget(),
            [alive = QPointer<TControl>(static_cast<TControl*>(widget()))] {
                TControl* control = alive.data();
                if (control != nullptr && control->isEnabled())
                    control->Activate();
            },
            Qt::QueuedConnection);
    }
};

QAccessibleInterface* LoginControlInterface(const QString& className, QObject* object) {
    if (className == QLatin1String(TLinkLabel::staticMetaObject.className()))
        return new TAccessibleControl<TLinkLabel>(*static_cast<TLinkLabel*>(object), QAccessible::Link);
    if (className == QLatin1String(TPictureButton::staticMetaObject.className()))
        return new TAccessibleControl<TPictureButton>(*static_cast<TPictureButton*>(object),
                                                      QAccessible::Button);
    return nullptr;
}

} // namespace

TLoginAccessibility::TLoginAccessibility() {
    if (registrations++ == 0)
        QAccessible::installFactory(&LoginControlInterface);
}

TLoginAccessibility::~TLoginAccessibility() {
    if (--registrations == 0)
        QAccessible::removeFactory(&LoginControlInterface);
}

} // namespace qm
