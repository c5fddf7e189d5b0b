#pragma once

#include "corvane/Export.h"

#include <string>

namespace corvane {

// The running program's file, as an absolute path, taken once when the runtime library is loaded,
// that is when the process starts: an update may later replace or remove the file, and every
// deliverable, also one loaded afterwards, must still find the installation it belongs to.
CORVANE_API const std::string& ProgramFile();

// The folder of ProgramFile(), with a trailing "/"; "./" when the file cannot be told.
CORVANE_API const std::string& ProgramFolder();

} // namespace corvane
