// qm-sign: signs update packages, update descriptors and store lists for installations that configure an
// update public key.
//   qm-sign keygen SECRET_KEY_FILE
//   qm-sign sign SECRET_KEY_FILE PACKAGE
//   qm-sign verify PUBLIC_KEY_HEX PACKAGE
//   qm-sign sign-store SECRET_KEY_FILE STORE_LIST
//   qm-sign verify-store PUBLIC_KEY_HEX STORE_LIST
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
    if (command == "sign-store" && argc == 4)
        return qm::sign::SignStore(argv[2], argv[3], std::cout, std::cerr);
    if (command == "verify-store" && argc == 4)
        return qm::sign::VerifyStore(argv[2], argv[3], std::cout, std::cerr);
    std::cerr << "usage: qm-sign keygen SECRET_KEY_FILE\n"
                 "       qm-sign sign SECRET_KEY_FILE PACKAGE\n"
                 "       qm-sign verify PUBLIC_KEY_HEX PACKAGE\n"
                 "       qm-sign sign-store SECRET_KEY_FILE STORE_LIST\n"
                 "       qm-sign verify-store PUBLIC_KEY_HEX STORE_LIST\n";
    return 2;
}
