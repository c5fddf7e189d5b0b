// qm-recover: undoes an update whose placement was cut short, before anything of the installation
// is loaded. It needs no library of the installation, so it runs whatever mix of old and new
// files a killed placement left.
//   qm-recover INSTALLATION   puts that installation back in order; exit 0 when it is in order
// Named "Quillmere" (a placement puts a copy in the host's place from its first move to its last),
// it puts its own folder's installation back in order and then starts the host found there, with
// the same arguments.
#include "common/StagedUpdate.h"
#include "common/UpdateWorkLock.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Long enough for a desk's placement under way to finish: a start in the middle of it (which
// finds this program in the host's place) waits for it, then starts the new host.
constexpr std::chrono::seconds kWaitForPlacingDesk{60};

int Recover(const fs::path& installation) {
    const qm::TUpdateFolders folders = qm::UpdateFolders(installation);
    std::error_code error;
    if (!fs::is_directory(installation, error)) {
        std::cerr << "qm-recover: " << installation.string() << ": not a folder\n";
        return 1;
    }
    if (!fs::is_directory(folders.Work, error))
        return 0; // no update was ever extracted here
    const qm::TUpdateWorkLock lock(folders.Work, kWaitForPlacingDesk);
    const std::string why = lock.Held() ? qm::RecoverUpdateFolders(folders) : lock.Why();
    if (why.empty())
        return 0;
    std::cerr << "qm-recover: " << installation.string() << ": " << why << "\n";
    return 1;
}

// Whether `program` is this very file: then the host was not put back, and starting it would
// only come here again.
bool IsThisProgram(const fs::path& program) {
    struct stat self {
    }, other{};
    return ::stat("/proc/self/exe", &self) == 0 && ::stat(program.c_str(), &other) == 0 &&
           self.st_dev == other.st_dev && self.st_ino == other.st_ino;
}

int StandInForTheHost(const fs::path& self, char** argv) {
    const fs::path installation = self.parent_path();
    if (Recover(installation) != 0)
        return 1;
    const fs::path host = installation / qm::kHostProgramName;
    if (IsThisProgram(host)) {
        std::cerr << "qm-recover: " << host.string() << " was not put back\n";
        return 1;
    }
    ::execv(host.c_str(), argv);
    std::cerr << "qm-recover: cannot start " << host.string() << ": " << std::strerror(errno) << "\n";
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error && self.filename() == qm::kHostProgramName)
        return StandInForTheHost(self, argv);
    if (argc != 2) {
        std::cerr << "usage: qm-recover INSTALLATION\n"
                     "  undoes an update of the installation whose placement was cut short\n";
        return 2;
    }
    return Recover(argv[1]);
}
