// qm-sign: the publisher's tool for installations that configure an update public key: keys,
// signatures of packages, update descriptors and store lists, and whole releases.
//   qm-sign keygen SECRET_KEY_FILE
//   qm-sign sign SECRET_KEY_FILE PACKAGE
//   qm-sign verify PUBLIC_KEY_HEX PACKAGE
//   qm-sign sign-descriptor SECRET_KEY_FILE DESCRIPTOR
//   qm-sign verify-descriptor PUBLIC_KEY_HEX DESCRIPTOR
//   qm-sign sign-store SECRET_KEY_FILE STORE_LIST
//   qm-sign verify-store PUBLIC_KEY_HEX STORE_LIST
//   qm-sign publish SECRET_KEY_FILE PACKAGE PACKAGE_URL VERSION COMPONENT [options]
//   qm-sign floor INSTALLATION COMPONENT SERIAL
#include "tools/sign/PublishCommand.h"
#include "tools/sign/SignCommands.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

int Usage() {
    std::cerr << "usage: qm-sign keygen SECRET_KEY_FILE\n"
                 "       qm-sign sign SECRET_KEY_FILE PACKAGE\n"
                 "       qm-sign verify PUBLIC_KEY_HEX PACKAGE\n"
                 "       qm-sign sign-descriptor SECRET_KEY_FILE DESCRIPTOR\n"
                 "       qm-sign verify-descriptor PUBLIC_KEY_HEX DESCRIPTOR\n"
                 "       qm-sign sign-store SECRET_KEY_FILE STORE_LIST\n"
                 "       qm-sign verify-store PUBLIC_KEY_HEX STORE_LIST\n"
                 "       qm-sign publish SECRET_KEY_FILE PACKAGE PACKAGE_URL VERSION COMPONENT\n"
                 "               [--serial N] [--days N] [--notes FILE] [--force] [--params TEXT]\n"
                 "               [--silent FILE VERSION] [--descriptor FILE] [--floor INSTALLATION]\n"
                 "       qm-sign floor INSTALLATION COMPONENT SERIAL\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    using namespace qm::sign;
    if (command == "keygen" && argc == 3)
        return KeyGen(argv[2], std::cout, std::cerr);
    if (command == "sign" && argc == 4)
        return Sign(argv[2], argv[3], std::cout, std::cerr);
    if (command == "verify" && argc == 4)
        return Verify(argv[2], argv[3], std::cout, std::cerr);
    if (command == "sign-descriptor" && argc == 4)
        return SignDescriptor(argv[2], argv[3], std::cout, std::cerr);
    if (command == "verify-descriptor" && argc == 4)
        return VerifyDescriptor(argv[2], argv[3], std::cout, std::cerr);
    if (command == "sign-store" && argc == 4)
        return SignStore(argv[2], argv[3], std::cout, std::cerr);
    if (command == "verify-store" && argc == 4)
        return VerifyStore(argv[2], argv[3], std::cout, std::cerr);
    if (command == "publish")
        return Publish(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
    if (command == "floor" && argc == 5)
        return Floor(argv[2], argv[3], argv[4], std::cout, std::cerr);
    return Usage();
}
