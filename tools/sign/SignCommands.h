#pragma once

#include <ostream>
#include <string>

// The commands of qm-sign, the publisher's tool for signed packages. Each answers the process exit
// code and writes what the publisher needs to out and problems to err.
namespace qm::sign {

// Creates a new Ed25519 key pair: the secret key (hex) goes into secretKeyFile, which must not exist
// yet and is readable by its owner only; the public key (64 hex digits) is printed for the
// installation's "update_publickey".
int KeyGen(const std::string& secretKeyFile, std::ostream& out, std::ostream& err);

// Writes package + ".sig" (the detached signature, 128 hex digits and a line break) and prints
// the package's "sha256=" line for the update descriptor.
int Sign(const std::string& secretKeyFile, const std::string& package, std::ostream& out, std::ostream& err);

// Checks package + ".sig" against the public key given in hex; 0 when it matches.
int Verify(const std::string& publicKeyHex, const std::string& package, std::ostream& out, std::ostream& err);

} // namespace qm::sign
