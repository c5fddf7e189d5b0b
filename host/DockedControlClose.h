#pragma once

namespace qm {

class TTaxTabSheet;

// What closing a desk page does to the control docked in it (the page's tag): a form that handles
// closing is asked to close(), any other form is released with deleteLater(); other controls, and
// handles that no longer name a live control, are left alone. The page itself, out of the page
// control's list by then, is released with the freed form, or at once when it holds nothing.
void CloseDockedControl(TTaxTabSheet& page);

} // namespace qm
