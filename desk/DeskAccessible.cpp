#include "desk/DeskAccessible.h"

#include "desk/FocusOrder.h"
#include "desk/UIContainer.h"
#include "desk/UIText.h"
#include "desk/tabs/TabStripAccessible.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <algorithm>
#include <utility>

namespace qm {

namespace {

// The widgets assistive technology sees: those shown.
std::vector<TUIAction*> ShownWidgets(const TUIContainer& container) {
    std::vector<TUIAction*> shown;
    for (const std::unique_ptr<TUIAction>& widget : container.Widgets()) {
        if (widget->Visible)
            shown.push_back(widget.get());
    }
    return shown;
}

// One painted widget: a push button (a picture with a name or a caption), a link (one of those
// in the status bar), a label (a text) or a picture. Buttons and links have a press action that
// clicks the widget as the mouse does.
class TAccessiblePainted : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TAccessiblePainted(TUIContainer& container, TUIAction& widget)
        : alive_(&container), container_(&container), widget_(&widget) {}

    TUIAction& Widget() const { return *widget_; }
    TUIContainer* Container() const { return alive_.data(); }

    bool isValid() const override { return !alive_.isNull() && container_->Holds(widget_); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return isValid() ? container_->window()->windowHandle() : nullptr; }

    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(alive_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Name && isValid() ? QString::fromStdString(widget_->Name()) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect local = ToQRect(widget_->Bounds);
        return QRect(container_->mapToGlobal(local.topLeft()), local.size());
    }

    QAccessible::Role role() const override {
        if (!isValid())
            return QAccessible::NoRole;
        if (dynamic_cast<const TUIText*>(widget_) != nullptr)
            return QAccessible::StaticText;
        if (!TakesFocus(*widget_))
            return QAccessible::Graphic;
        // The status bar holds the desk's quick links.
        const TRect& status = container_->StatusArea();
        const int middle = (widget_->Bounds.top + widget_->Bounds.bottom) / 2;
        const bool inStatusBar = status.bottom > status.top && middle >= status.top && middle < status.bottom;
        return inStatusBar ? QAccessible::Link : QAccessible::Button;
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        if (!widget_->Visible || !container_->isVisible())
            state.invisible = true;
        if (TakesFocus(*widget_)) {
            state.focusable = true;
            state.focused = container_->hasFocus() && container_->FocusWidget() == widget_;
        }
        state.hotTracked = widget_->State == 1;
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface && isValid() && TakesFocus(*widget_))
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    QStringList actionNames() const override {
        return {QAccessibleActionInterface::pressAction(), QAccessibleActionInterface::setFocusAction()};
    }
    QStringList keyBindingsForAction(const QString& action) const override {
        return action == QAccessibleActionInterface::pressAction() ? QStringList{QStringLiteral("Return")}
                                                                   : QStringList{};
    }
    void doAction(const QString& action) override {
        if (!isValid())
            return;
        if (action == QAccessibleActionInterface::setFocusAction()) {
            container_->SetFocusWidget(*widget_);
            return;
        }
        if (action != QAccessibleActionInterface::pressAction())
            return;
        // Later, from the event loop: the click may run a modal dialog, and the assistive
        // technology that asked must have its answer first.
        QMetaObject::invokeMethod(
            container_,
            [container = alive_, widget = widget_] {
                if (!container.isNull() && container->Holds(widget))
                    container->ClickWidget(*widget);
            },
            Qt::QueuedConnection);
    }

private:
    QPointer<TUIContainer> alive_; // null once the container has gone
    TUIContainer* container_;      // used only while alive_ holds it
    TUIAction* widget_;            // owned by the container
};

// A painted container: its painted widgets in creation order, then its child controls.
class TAccessibleContainer : public QAccessibleWidget {
public:
    explicit TAccessibleContainer(TUIContainer& container)
        : QAccessibleWidget(&container, QAccessible::Pane) {}

    ~TAccessibleContainer() override {
        for (const QAccessible::Id id : std::as_const(painted_))
            QAccessible::deleteAccessibleInterface(id);
    }

    TUIContainer& Container() const { return *static_cast<TUIContainer*>(widget()); }

    // The interface of widget, made once and kept for the widget's life.
    QAccessibleInterface* PaintedInterface(TUIAction& widget) const {
        if (const QAccessible::Id id = painted_.value(&widget))
            return QAccessible::accessibleInterface(id);
        auto* made = new TAccessiblePainted(Container(), widget); // owned by Qt's registry
        painted_.insert(&widget, QAccessible::registerAccessibleInterface(made));
        return made;
    }

    QString text(QAccessible::Text kind) const override {
        QString text = QAccessibleWidget::text(kind);
        // A container without a name of its own takes its form's title ("工作台").
        if (kind == QAccessible::Name && text.isEmpty() && Container().parentWidget() != nullptr)
            text = Container().parentWidget()->windowTitle();
        return text;
    }

    int childCount() const override {
        return static_cast<int>(ShownWidgets(Container()).size()) + QAccessibleWidget::childCount();
    }

    QAccessibleInterface* child(int index) const override {
        const std::vector<TUIAction*> shown = ShownWidgets(Container());
        if (index < 0)
            return nullptr;
        if (index < static_cast<int>(shown.size()))
            return PaintedInterface(*shown[static_cast<std::size_t>(index)]);
        return QAccessibleWidget::child(index - static_cast<int>(shown.size()));
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        const std::vector<TUIAction*> shown = ShownWidgets(Container());
        if (const auto* painted = dynamic_cast<const TAccessiblePainted*>(child)) {
            if (painted->Container() != &Container())
                return -1;
            const auto at = std::find(shown.begin(), shown.end(), &painted->Widget());
            return at == shown.end() ? -1 : static_cast<int>(at - shown.begin());
        }
        const int index = QAccessibleWidget::indexOfChild(child);
        return index < 0 ? -1 : index + static_cast<int>(shown.size());
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint at = Container().mapFromGlobal(QPoint(x, y));
        for (TUIAction* widget : ShownWidgets(Container())) {
            if (ToQRect(widget->Bounds).contains(at))
                return PaintedInterface(*widget);
        }
        return QAccessibleWidget::childAt(x, y);
    }

    QAccessibleInterface* focusChild() const override {
        TUIAction* focused = Container().FocusWidget();
        if (Container().hasFocus() && focused != nullptr && Container().Holds(focused))
            return PaintedInterface(*focused);
        return QAccessibleWidget::focusChild();
    }

private:
    mutable QHash<const TUIAction*, QAccessible::Id> painted_;
};

QAccessibleInterface* DeskInterfaceFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(TUIContainer::staticMetaObject.className()))
        return new TAccessibleContainer(*static_cast<TUIContainer*>(object));
    if (className == QLatin1String("QWidget") && object->isWidgetType()) {
        const QVariant role = object->property(kAccessibleRoleProperty);
        if (role.isValid())
            return new QAccessibleWidget(static_cast<QWidget*>(object),
                                         static_cast<QAccessible::Role>(role.toInt()));
    }
    return TabStripInterface(className, object);
}

} // namespace

void InstallDeskAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&DeskInterfaceFactory);
        return true;
    }();
    (void)installed;
}

void AnnounceWidget(TUIContainer& container, TUIAction& widget, QAccessible::Event event) {
    if (!QAccessible::isActive())
        return;
    auto* owner = dynamic_cast<TAccessibleContainer*>(QAccessible::queryAccessibleInterface(&container));
    if (owner == nullptr)
        return;
    QAccessibleEvent announced(owner->PaintedInterface(widget), event);
    QAccessible::updateAccessibility(&announced);
}

} // namespace qm
