// Tolva_Compress.QX: the decompression tool the upgrade plug-in hands downloaded archives to.
//   Tolva_Compress.QX X -Y "archive"
// extracts the archive with full paths into the current folder, replacing existing files without
// asking. Exit codes: 0 done, 1 entries refused or failed (named on stderr), 2 usage.

#include "tools/tolva/Extract.h"

#include <iostream>
#include <string_view>

int main(int argc, char** argv) {
    if (argc != 4 || std::string_view(argv[1]) != "X" || std::string_view(argv[2]) != "-Y") {
        std::cerr << "usage: Tolva_Compress.QX X -Y \"archive\"\n"
                     "  extracts the archive with full paths into the current folder, overwriting\n";
        return 2;
    }
    return qm::tolva::ExtractHere(argv[3], std::cerr);
}
