#pragma once

#include "common/Result.h"

#include <string>

struct stat;

// The one whole-file reader of the libraries that link the support library (the runtime keeps its
// own: it links nothing).
namespace qm {

// Every byte of the file at path (taken as given), read through its descriptor so that a file that
// changes meanwhile is read as one. A failure's Code() is the errno (ENOENT for a missing file), its
// Reason() the system's message and its Detail() the step that failed, "open" or "read", for the
// caller's own words. With info, the open file's status is stored there too.
TResult<std::string> ReadFileBytes(const std::string& path, struct stat* info = nullptr);

} // namespace qm
