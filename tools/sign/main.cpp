// qm-sign: signs update packages for installations that configure an update public key.
//   qm-sign keygen SECRET_KEY_FILE
//   qm-sign sign SECRET_KEY_FILE PACKAGE
//   qm-sign verify PUBLIC_KEY_HEX PACKAGE
#include "tools/sign/SignCommands.h"

#include <iostream>
#include <string>

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "keygen" && argc == 3)
        return qm::sign::KeyGen(argv[2], std::cout, std::cerr);
    if (command == "sign" && argc == 4)
        return qm::sign::Sign(argv[2], argv[3], std::cout, std::cerr);
    if (command == "verify" && argc == 4)
        return qm::sign::Verify(argv[2], argv[3], std::cout, std::cerr);
    std::cerr << "usage: qm-sign keygen SECRET_KEY_FILE\n"
                 "       qm-sign sign SECRET_KEY_FILE PACKAGE\n"
                 "       qm-sign verify PUBLIC_KEY_HEX PACKAGE\n";
    return 2;
}
