#pragma once

#include <string>

namespace qm {

// Undoes an update whose placement was cut short (a desk killed or a power cut during the moves),
// before the desk reads any script or loads any plug-in of the installation. When it put files
// back, the program starts afresh from the restored installation, so that no library loaded
// before the undo stays in use; this call then does not return. Answers why the installation
// could not be put in order ("" when it is), for the desk to show once it can.
std::string RecoverBeforeStart(char** argv);

} // namespace qm
