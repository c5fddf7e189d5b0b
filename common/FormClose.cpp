#include "common/FormClose.h"

#include <QVariant>
#include <QWidget>

namespace qm {

namespace {
// A dynamic property, so that forms of any plug-in library can carry it without sharing a class.
constexpr const char* kHandlesCloseProperty = "qmHandlesClose";
} // namespace

void SetHandlesClose(QWidget& form, bool handles) {
    form.setProperty(kHandlesCloseProperty, handles);
}

bool HandlesClose(const QWidget& form) {
    return form.property(kHandlesCloseProperty).toBool();
}

} // namespace qm
