#pragma once

#include <QAccessible>
#include <QStringList>
#include <gtest/gtest.h>

namespace qm::test {

// The action names the interface offers; none (and a test failure) when it offers no actions.
inline QStringList ActionNames(QAccessibleInterface* iface) {
    QAccessibleActionInterface* actions = iface != nullptr ? iface->actionInterface() : nullptr;
    if (actions == nullptr) {
        ADD_FAILURE() << "no action interface";
        return {};
    }
    return actions->actionNames();
}

// Runs the action as assistive technology would; a test failure when there are no actions.
inline void DoAction(QAccessibleInterface* iface, const QString& action) {
    QAccessibleActionInterface* actions = iface != nullptr ? iface->actionInterface() : nullptr;
    if (actions == nullptr) {
        ADD_FAILURE() << "no action interface";
        return;
    }
    actions->doAction(action);
}

} // namespace qm::test
