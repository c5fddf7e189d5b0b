#pragma once

class QWidget;

namespace qm {

// The object name of the desk window, by which plug-ins find it.
inline constexpr char kDeskWindowName[] = "FrmDesk";

// The window a new dialog belongs to: the modal dialog that is up (a message over the login
// dialog), else the visible desk window; nullptr when there is neither (a second start's message).
QWidget* DialogOwner(const QWidget* dialog = nullptr);

// Makes dialog, a top-level window, a window of its owner's: transient for it (the window manager
// keeps it above the owner and with it; a Wayland compositor learns its parent) and centred over
// it; without an owner, centred in the work area of the screen. Call it before showing the dialog.
void AttachToOwner(QWidget& dialog);

} // namespace qm
