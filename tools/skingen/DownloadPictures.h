#pragma once

#include <QImage>

// The download window's command pictures (installed in Plugins/Upgrade/Pictures): small glyphs on
// a transparent ground, in the blue of the login dialog.
namespace skingen {

// "dl_resume.png", 15 x 16: a triangle pointing right (start or resume).
QImage DrawResumePicture();
// "dl_pause.png", 17 x 16: two upright bars.
QImage DrawPausePicture();
// "dl_abort.png", 16 x 16: a cross in a red disc.
QImage DrawAbortPicture();

} // namespace skingen
