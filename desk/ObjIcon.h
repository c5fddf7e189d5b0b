#pragma once

#include <string>

namespace qm {

// The image names of a widget, relative names in the image store. A blank hover name means the
// widget has no hover look.
struct TObjIcon {
    std::string NorPngFile;
    std::string MovPngFile;
};

} // namespace qm
