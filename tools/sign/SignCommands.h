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

// Writes package + ".sig" (the detached signature of the package's signed text, SignedKinds.h: 128
// hex digits and a line break) and prints the package's "sha256=" and "length=" lines for the
// update descriptor.
int Sign(const std::string& secretKeyFile, const std::string& package, std::ostream& out, std::ostream& err);

// Checks package + ".sig" against the public key given in hex; 0 when it matches, 1 when it does
// not, 2 when something cannot be read.
int Verify(const std::string& publicKeyHex, const std::string& package, std::ostream& out, std::ostream& err);

// Writes descriptor + ".sig", the signature of an update descriptor's signed text (SignedKinds.h).
// Sign a descriptor after its last edit: publishing (PublishCommand.h) does it for you.
int SignDescriptor(const std::string& secretKeyFile, const std::string& descriptor, std::ostream& out,
                   std::ostream& err);

// Checks descriptor + ".sig" as Verify does for a package.
int VerifyDescriptor(const std::string& publicKeyHex, const std::string& descriptor, std::ostream& out,
                     std::ostream& err);

// Writes storeList + ".sig", the signature of the store list's signed text (StoreListText.h: the
// install-relevant attributes of every "app" element, so that the catalogue refresh's local edits
// keep it valid), and prints how many entries it covers. Sign the list after its last edit.
int SignStore(const std::string& secretKeyFile, const std::string& storeList, std::ostream& out,
              std::ostream& err);

// Checks storeList + ".sig" against the store list's signed text, as Verify does for a package.
int VerifyStore(const std::string& publicKeyHex, const std::string& storeList, std::ostream& out,
                std::ostream& err);

} // namespace qm::sign
