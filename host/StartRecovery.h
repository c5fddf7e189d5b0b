#pragma once

#include <string>

namespace qm {

// Undoes an update whose placement was cut short (a desk killed or a power cut during the moves),
// before the desk reads any script or loads any plug-in of the installation; a placement that a
// running desk is still making is waited for instead. When files were put back or placed
// meanwhile, the program starts afresh from what is in place, so that no library loaded before
// stays in use; this call then does not return. Answers why the installation
// could not be put in order ("" when it is), for the desk to show once it can.
std::string RecoverBeforeStart(char** argv);

} // namespace qm
