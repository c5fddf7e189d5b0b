#pragma once

#include <functional>

class QKeyEvent;
class QWidget;

namespace qm {

// What a data-entry key did on a form.
enum class TFieldKey { Other, Enter, Up, Down };

// The keyboard navigation of data-entry forms, for a key on its way to `control`: with no Shift,
// Ctrl or Alt held, Enter (either key) posts a Tab key to the control, which moves on unless the
// control has a use for Tab; Up and Down call `moveFocus` (the form's focusNextPrevChild) with
// false and true. Answers which of these the key was; Other leaves the key to its normal way.
TFieldKey HandleFieldKey(QWidget& control, const QKeyEvent& key, const std::function<bool(bool)>& moveFocus);

} // namespace qm
