#pragma once

class QWidget;

namespace qm {

// A form docked in a desk page is freed when its page is closed, unless it declares that it
// handles closing itself (to ask about unsaved work, say): then it is asked to close() instead and
// its close event decides what happens to it.
void SetHandlesClose(QWidget& form, bool handles = true);
bool HandlesClose(const QWidget& form);

} // namespace qm
