// qm-file-version FILE: prints the version a program or plug-in of ours carries (as the desk reads
// it), or nothing for any other file. The launcher asks it which version a user's own installation
// has reached, so that an older package never undoes a newer self-update.
#include "common/FileVersion.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: qm-file-version FILE\n";
        return 2;
    }
    const std::string version = qm::GetFileVersionText(argv[1]);
    if (!version.empty())
        std::cout << version << "\n";
    return 0;
}
