#pragma once

#include <string>

// The download window's pictures, drawn by the skin generator and installed in
// Plugins/Upgrade/Pictures.
namespace qm {

inline constexpr const char* kPictureResume = "dl_resume.png"; // 15 x 16, start or resume
inline constexpr const char* kPicturePause = "dl_pause.png";   // 17 x 16
inline constexpr const char* kPictureAbort = "dl_abort.png";   // 16 x 16

// The full path of one of them.
std::string DownloadPicturePath(const char* name);

} // namespace qm
