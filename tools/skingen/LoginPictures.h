#pragma once

#include <QImage>

// The login dialog's pictures (installed in Plugins/Login/Pictures): light blues that match the
// dialog's panels.
namespace skingen {

// "tc_logo.png", 400 x 80: a banner above the login fields, a feather on a person's badge at the left.
QImage DrawLoginLogo();
// "tc_userlogo.png", 64 x 64: the account picture of the register layout.
QImage DrawAccountPicture();

enum class TTipPicture { Hint, Right, Wrong };
// "tc_tip.png", "tc_right.png", "tc_wrong.png", 16 x 16: a round badge with "i", a tick or a cross.
QImage DrawTipPicture(TTipPicture kind);

// "tc_userlist.png", 22 x 22: the button that drops the list of remembered users.
QImage DrawUserListButton();

} // namespace skingen
