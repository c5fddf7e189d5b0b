#pragma once

#include <ostream>
#include <string>
#include <vector>

// The publisher's release command of qm-sign: from a package, its update descriptor with every
// field a keyed installation asks for, and every signature. Each answers the process exit code and
// writes what the publisher needs to out and problems to err.
namespace qm::sign {

// qm-sign publish SECRET_KEY_FILE PACKAGE PACKAGE_URL VERSION COMPONENT [options], args without
// "publish". Signs PACKAGE (PACKAGE.sig) and writes the descriptor ("upgrade.zip" beside PACKAGE
// unless --descriptor) offering it at PACKAGE_URL as VERSION for COMPONENT (the path of the folder
// the descriptor is served from, "/desk/"), with its issue serial, expiry, sha256 and length, and
// signs it (descriptor + ".sig"). Options: --serial N (default: now, UTC YYYYMMDDHHMMSS), --days N
// until it expires (default 30), --notes FILE (release notes, their first line "VER x BUILD y"),
// --force, --params TEXT, --silent FILE VERSION (also offer a silent package; FILE is signed too),
// --floor INSTALLATION (also write the serial as the component's floor there, see Floor). Prints
// the serial and the expiry.
int Publish(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// qm-sign floor INSTALLATION COMPONENT SERIAL: writes SERIAL as the floor of COMPONENT into
// INSTALLATION/Config/UpgradeIssued.ini, so that the installation refuses descriptors older than
// the one it is made with. A newer floor already there is kept.
int Floor(const std::string& installation, const std::string& component, const std::string& serial,
          std::ostream& out, std::ostream& err);

} // namespace qm::sign
