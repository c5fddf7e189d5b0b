#include "corvane/ProgramFile.h"

#include <array>
#include <unistd.h>

namespace corvane {

namespace {

std::string ReadProgramFile() {
    std::array<char, 4096> buffer{};
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length)) : std::string();
}

const std::string& TakenFile() {
    static const std::string file = ReadProgramFile();
    return file;
}

// Taken while the library is being loaded, before the program can have been replaced.
[[maybe_unused]] const bool takenAtLoad = !TakenFile().empty();

} // namespace

const std::string& ProgramFile() {
    return TakenFile();
}

const std::string& ProgramFolder() {
    static const std::string folder = [] {
        const std::string& file = TakenFile();
        const std::size_t slash = file.rfind('/');
        return slash == std::string::npos ? std::string("./") : file.substr(0, slash + 1);
    }();
    return folder;
}

} // namespace corvane
