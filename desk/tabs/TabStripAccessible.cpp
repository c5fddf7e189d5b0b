#include "desk/tabs/TabStripAccessible.h"

#include "desk/UIAction.h"
#include "desk/tabs/TaxTabControlTopPanel.h"
#include "desk/tabs/TaxTabSheet.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <algorithm>
#include <utility>

namespace qm {

namespace {

const QString kCloseAction = QStringLiteral("close");

// The position of list index `tab` among the shown tabs; -1 when it is not shown.
int ShownPosition(const TTabStripGeometry& g, int tab) {
    for (int k = 0; k < g.VisibleCount(); ++k) {
        if (g.TabAt(k) == tab)
            return k;
    }
    return -1;
}

// One tab of the strip, by its list index: a page tab with its caption, selected while active,
// with a press action that selects it and, where the tab shows a close button, a close action.
class TAccessibleStripTab : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TAccessibleStripTab(TTaxTabControlTopPanel& strip, int tab) : alive_(&strip), strip_(&strip), tab_(tab) {}

    TTaxTabControlTopPanel* Strip() const { return alive_.data(); }
    int Tab() const noexcept { return tab_; }

    bool isValid() const override {
        return !alive_.isNull() && tab_ < strip_->TabCount() && strip_->TabVisible(tab_);
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return alive_.isNull() ? nullptr : strip_->window()->windowHandle(); }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(alive_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text kind) const override {
        if (kind != QAccessible::Name || !isValid())
            return {};
        return QString::fromStdString(strip_->Tabs()[static_cast<std::size_t>(tab_)]);
    }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::PageTab; }

    QRect rect() const override {
        if (!isValid())
            return {};
        const TTabStripGeometry g = strip_->Geometry();
        const int k = ShownPosition(g, tab_);
        if (k < 0)
            return {};
        const QRect row = ToQRect(g.TabHitRect(k)).translated(g.Metrics().listButtonWidth, 0);
        const QRect shown = row.intersected(strip_->rect());
        return QRect(strip_->mapToGlobal(shown.topLeft()), shown.size());
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.focusable = true;
        state.selected = strip_->TabIndex() == tab_;
        state.focused = state.selected && strip_->hasFocus();
        if (rect().isEmpty() || !strip_->isVisible())
            state.invisible = true;
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override {
        QStringList names{QAccessibleActionInterface::pressAction()};
        if (isValid() && strip_->CloseVisible(tab_))
            names << kCloseAction;
        return names;
    }
    QString localizedActionName(const QString& action) const override {
        return action == kCloseAction ? QStringLiteral("关闭")
                                      : QAccessibleActionInterface::localizedActionName(action);
    }
    QStringList keyBindingsForAction(const QString& action) const override {
        return action == kCloseAction ? QStringList{QStringLiteral("Ctrl+W")} : QStringList{};
    }
    void doAction(const QString& action) override {
        if (!isValid())
            return;
        // From the event loop, as the tab's own press: closing may ask the page's window first.
        const bool close = action == kCloseAction;
        if (!close && action != QAccessibleActionInterface::pressAction())
            return;
        QMetaObject::invokeMethod(
            strip_,
            [alive = alive_, tab = tab_, close] {
                TTaxTabControlTopPanel* strip = alive.data();
                if (strip == nullptr || tab >= strip->TabCount())
                    return;
                if (close)
                    strip->CloseTab(tab);
                else
                    strip->SetTabIndex(tab);
            },
            Qt::QueuedConnection);
    }

private:
    QPointer<TTaxTabControlTopPanel> alive_; // null once the strip has gone
    TTaxTabControlTopPanel* strip_;          // used only while alive_ holds it
    int tab_;
};

// The strip: a page-tab list of its shown tabs.
class TAccessibleTabStrip : public QAccessibleWidget {
public:
    explicit TAccessibleTabStrip(TTaxTabControlTopPanel& strip)
        : QAccessibleWidget(&strip, QAccessible::PageTabList) {}
    ~TAccessibleTabStrip() override { Forget(); }

    TTaxTabControlTopPanel& Strip() const { return *static_cast<TTaxTabControlTopPanel*>(widget()); }

    QAccessibleInterface* TabInterface(int tab) const {
        if (const QAccessible::Id id = tabs_.value(tab))
            return QAccessible::accessibleInterface(id);
        auto* made = new TAccessibleStripTab(Strip(), tab); // owned by Qt's registry
        tabs_.insert(tab, QAccessible::registerAccessibleInterface(made));
        return made;
    }

    // Drops every tab's interface, telling assistive technology when announce is set; the next
    // question makes new ones.
    void Forget(bool announce = false) {
        for (const QAccessible::Id id : std::as_const(tabs_)) {
            QAccessibleInterface* tab = QAccessible::accessibleInterface(id);
            if (announce && tab != nullptr && tab->isValid()) {
                QAccessibleEvent gone(tab, QAccessible::ObjectDestroyed);
                QAccessible::updateAccessibility(&gone);
            }
            QAccessible::deleteAccessibleInterface(id);
        }
        tabs_.clear();
    }

    int childCount() const override { return Strip().Geometry().VisibleCount(); }
    QAccessibleInterface* child(int index) const override {
        const TTabStripGeometry g = Strip().Geometry();
        return index >= 0 && index < g.VisibleCount() ? TabInterface(g.TabAt(index)) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* tab = dynamic_cast<const TAccessibleStripTab*>(child);
        if (tab == nullptr || tab->Strip() != &Strip())
            return -1;
        return ShownPosition(Strip().Geometry(), tab->Tab());
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int k = 0; k < childCount(); ++k) {
            QAccessibleInterface* tab = child(k);
            if (tab != nullptr && tab->rect().contains(x, y))
                return tab;
        }
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        const int active = Strip().TabIndex();
        return Strip().hasFocus() && active >= 0 && Strip().TabVisible(active) ? TabInterface(active)
                                                                               : nullptr;
    }

private:
    mutable QHash<int, QAccessible::Id> tabs_;
};

// A page: a pane named like its tab.
class TAccessiblePage : public QAccessibleWidget {
public:
    explicit TAccessiblePage(TTaxTabSheet& page) : QAccessibleWidget(&page, QAccessible::Pane) {}

    QString text(QAccessible::Text kind) const override {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty())
            text = QString::fromStdString(static_cast<TTaxTabSheet*>(widget())->Caption());
        return text;
    }
};

void Announce(QAccessibleInterface* tab, QAccessible::Event event) {
    QAccessibleEvent announced(tab, event);
    QAccessible::updateAccessibility(&announced);
}

} // namespace

QAccessibleInterface* TabStripInterface(const QString& className, QObject* object) {
    if (className == QLatin1String(TTaxTabControlTopPanel::staticMetaObject.className()))
        return new TAccessibleTabStrip(*static_cast<TTaxTabControlTopPanel*>(object));
    if (className == QLatin1String(TTaxTabSheet::staticMetaObject.className()))
        return new TAccessiblePage(*static_cast<TTaxTabSheet*>(object));
    return nullptr;
}

void AnnounceTabsChanged(TTaxTabControlTopPanel& strip) {
    if (!QAccessible::isActive())
        return;
    auto* list = dynamic_cast<TAccessibleTabStrip*>(QAccessible::queryAccessibleInterface(&strip));
    if (list == nullptr)
        return;
    list->Forget(true);
    for (int k = 0; k < list->childCount(); ++k)
        Announce(list->child(k), QAccessible::ObjectCreated);
    Announce(list, QAccessible::ObjectReorder);
}

void AnnounceTabSelected(TTaxTabControlTopPanel& strip, int from, int to) {
    if (!QAccessible::isActive())
        return;
    auto* list = dynamic_cast<TAccessibleTabStrip*>(QAccessible::queryAccessibleInterface(&strip));
    if (list == nullptr)
        return;
    QAccessible::State changed;
    changed.selected = true;
    for (const int tab : {from, to}) {
        if (tab < 0 || tab >= strip.TabCount() || !strip.TabVisible(tab))
            continue;
        QAccessibleStateChangeEvent event(list->TabInterface(tab), changed);
        QAccessible::updateAccessibility(&event);
    }
    if (to >= 0 && strip.hasFocus() && strip.TabVisible(to))
        Announce(list->TabInterface(to), QAccessible::Focus);
}

} // namespace qm
