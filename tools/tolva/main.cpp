// Tolva_Compress.QX: the decompression tool the upgrade plug-in hands downloaded archives to.
//   Tolva_Compress.QX X -Y "archive"
// extracts the archive with full paths into the current folder, replacing existing files without
// asking. Exit codes and limits: tools/tolva/README.md and the usage text below.

#include "tools/tolva/Extract.h"
#include "tools/tolva/TestSwitches.h"

#include <clocale>
#include <csignal>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

// Written by the alarm handler, which may only call write and _exit.
char timeLimitLine[96];

extern "C" void OnTimeLimit(int) {
    const ssize_t ignored = write(STDERR_FILENO, timeLimitLine, std::strlen(timeLimitLine));
    (void)ignored;
    _exit(qm::tolva::kExitTimeLimit);
}

// The time limit holds even while the library waits inside one call.
void StartTimeLimit(int seconds) {
    const std::string line = "time limit of " + std::to_string(seconds) + " s passed\n";
    std::strncpy(timeLimitLine, line.c_str(), sizeof timeLimitLine - 1);
    std::signal(SIGALRM, OnTimeLimit);
    alarm(static_cast<unsigned>(seconds));
}

void PrintUsage() {
    using namespace qm::tolva;
    std::cerr << "usage: Tolva_Compress.QX X -Y \"archive\"\n"
                 "  extracts the archive (zip, rar, 7z, tar with any compression) with full paths into\n"
                 "  the current folder, overwriting. Entries that could land outside it are refused.\n"
                 "  limits: "
              << kMaxEntries << " entries; expanded size at most " << (kMaxExpandedBytes >> 20) << " MiB, "
              << kMaxExpansionRatio << " times the archive (at least " << (kRatioFreeBytes >> 20)
              << " MiB)\n  and the free space less " << (kFreeSpaceReserve >> 20) << " MiB; names of "
              << kMaxNameBytes << " bytes, " << kMaxNameParts << " parts; " << kTimeLimitSeconds
              << " s\n"
                 "  exit codes: 0 done, 1 damaged or empty archive, 2 usage, 3 entry refused,\n"
                 "  4 over a limit, 5 disk full, 6 time limit passed, 7 entry not written\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 || std::string_view(argv[1]) != "X" || std::string_view(argv[2]) != "-Y") {
        PrintUsage();
        return qm::tolva::kExitUsage;
    }
    // Entry names are UTF-8 whatever the caller's locale.
    if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr)
        std::setlocale(LC_CTYPE, "");
    qm::tolva::TExtractOptions options;
    options.limits = qm::tolva::DefaultLimits(argv[3], ".");
    qm::tolva::ApplyTestSwitches(options);
    StartTimeLimit(options.limits.timeLimitSeconds);
    return qm::tolva::ExtractHere(argv[3], std::cerr, options);
}
