#include "host/DockedControlClose.h"

#include "common/FormClose.h"
#include "corvane/HandleTable.h"
#include "desk/tabs/TaxTabSheet.h"

#include <QWidget>

namespace qm {

void CloseDockedControl(TTaxTabSheet& page) {
    const corvane::THandleTable& handles = corvane::Handles();
    auto* control = static_cast<QWidget*>(handles.Find(page.Tag(), corvane::kHandleControl));
    const bool isForm = control != nullptr && handles.Find(page.Tag(), corvane::kHandleForm) != nullptr;
    if (isForm && HandlesClose(*control)) {
        // The form's close event decides; the page stays with it, hidden and out of the list.
        control->close();
        return;
    }
    if (isForm)
        control->deleteLater();
    else if (control != nullptr && page.isAncestorOf(control))
        return; // not ours to free, and freeing the page would take it along
    // A closed page never comes back into the list; nothing else would free it before the desk goes.
    page.deleteLater();
}

} // namespace qm
