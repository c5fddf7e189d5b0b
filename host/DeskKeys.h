#pragma once

class QWidget;

namespace qm {

class TTaxPageControl;

// The desk's page keys, anywhere in window (the desk window, its pages and what is docked in
// them): Ctrl+Tab and Ctrl+PgDn show the next page with a tab, Ctrl+Shift+Tab and Ctrl+PgUp the
// one before (round the end), each with the keyboard focus in it; Ctrl+W and Ctrl+F4 close the
// shown page when its tab has a close button (the bench's has none).
void InstallDeskKeys(QWidget& window, TTaxPageControl& pages);

// Shows the page `step` (1 or -1) tabs away from the shown one, with the keyboard focus in it.
void StepPage(TTaxPageControl& pages, int step);
// Closes the shown page as its close button does; nothing when it has none.
void CloseShownPage(TTaxPageControl& pages);

} // namespace qm
