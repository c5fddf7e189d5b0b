#include "desk/FrmBase.h"

#include "common/FieldKeys.h"
#include "corvane/HandleTable.h"

#include <QApplication>
#include <QFont>
#include <QKeyEvent>

namespace qm {

TFrmBase::TFrmBase(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FrmBase"));
    setWindowTitle(QStringLiteral("基类窗"));
    setGeometry(247, 111, 696, 480);
    QFont formFont(QStringLiteral("宋体"));
    formFont.setPointSize(9);
    setFont(formFont);
    // Keys go to the focused control; watching them application-wide lets the form act first.
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

TFrmBase::~TFrmBase() {
    corvane::Handles().Unregister(static_cast<QWidget*>(this));
}

bool TFrmBase::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto* target = qobject_cast<QWidget*>(watched);
    QWidget* active = focusWidget();
    // Only keys on their way to this form's active control. A form embedded in another window is a
    // panel of that window: the keys of its controls (and of controls docked on it) are left alone.
    if (!isWindow() || target == nullptr || active == nullptr || target != active || !isAncestorOf(active))
        return QWidget::eventFilter(watched, event);
    return HandleNavigationKey(*active, *static_cast<QKeyEvent*>(event));
}

bool TFrmBase::HandleNavigationKey(QWidget& activeControl, const QKeyEvent& key) {
    return HandleFieldKey(activeControl, key, [this](bool next) { return focusNextPrevChild(next); }) !=
           TFieldKey::Other;
}

} // namespace qm
