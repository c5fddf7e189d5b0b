#pragma once

#include <QAccessible>

namespace qm {

class TUIAction;
class TUIContainer;

// Makes assistive technology see the painted desk through Qt's accessibility: containers with one
// child per painted widget (buttons named by caption or name, links in the status bar, labels),
// the tab strip as a page-tab list with one child per tab, and pages as panes named like their
// tabs. Installed once per process; every container and tab strip asks for it.
void InstallDeskAccessibility();

// A plain QWidget with this property (an int, a QAccessible::Role) is seen in that role: the
// borderless desk window as a frame (QAccessible::Window).
inline constexpr char kAccessibleRoleProperty[] = "qmAccessibleRole";

// Tells assistive technology that something happened to widget of container (ObjectCreated,
// Focus, NameChanged, StateChanged...). Nothing while no assistive technology listens.
void AnnounceWidget(TUIContainer& container, TUIAction& widget, QAccessible::Event event);

} // namespace qm
