#pragma once

#include "upgrade/UpdateSignature.h"

#include <cstdint>
#include <string>

namespace corvane {
class TStopToken;
}

// Whether a downloaded package may be run or unpacked. Two independent guards:
// - the digest the update descriptor (or the store list) gives for the package, when it gives one;
// - the length the update descriptor gives, when it gives one;
// - when the installation configures an update public key, a detached Ed25519 signature of the
//   package's signed text (its length and SHA-256, SignedKinds.h) fetched from the package's
//   address + ".sig" (128 hex digits), and an address updates may come from (UpdateAddress.h).
//   Without a configured key no signature is asked for.
// The key is the deployment setting "update_publickey" of the branding file "brennik.xml" in
// ConfigPath: 64 hex digits. A configured key that is not such a key refuses every package, and so
// does a branding file that does not parse: a broken setting must not quietly turn the guard off.
namespace qm {

struct TPackageCheck {
    // Expected SHA-256 of the file in hex, either case; blank: not checked.
    std::string Sha256;
    // Expected length in bytes; -1: not checked.
    std::int64_t Length = -1;
    // Where the package was fetched from; its signature lives at URL + ".sig".
    std::string URL;
    // When given and stopped, the check gives up at once (and fails). Not owned.
    corvane::TStopToken* Stop = nullptr;
};

// Succeeds when file passes every guard that applies; otherwise fails with the reason (the caller
// tells the user and logs it). Never throws. Blocks while it hashes the file and fetches the
// signature: call it off the UI thread, once per download.
TResult<> VerifyPackage(const std::string& file, const TPackageCheck& check);

// Lower-case hex SHA-256 of the file's bytes; "" when it cannot be read or stop was stopped.
std::string FileSha256(const std::string& file, const corvane::TStopToken* stop = nullptr);

} // namespace qm
