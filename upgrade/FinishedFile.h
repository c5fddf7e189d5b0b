#pragma once

#include <string>

namespace qm {

// What the download window does with a file once it has arrived, by its upper-cased extension.
enum class TFinishedFileKind {
    Program, // ".EXE", and on this platform ".RUN" and ".SH": run and waited for
    Archive, // ".ZIP", ".RAR": handed to the decompression tool
    Other,   // left in place
};

TFinishedFileKind FinishedFileKind(const std::string& localFile);

} // namespace qm
