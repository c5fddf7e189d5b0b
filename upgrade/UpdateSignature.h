#pragma once

#include "common/Result.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {
class TStopToken;
}

// The publisher's update key and the detached Ed25519 signatures it checks. A signature lives at
// the signed file's address + ".sig" (or, for a local file, beside it) as 128 hex digits.
//
// The key is the deployment setting "update_publickey" of the branding file "brennik.xml" in
// ConfigPath: 64 hex digits. A configured key that is not such a key, or a branding file that does
// not parse, counts as broken and refuses everything: a broken setting must not quietly turn the
// guard off.
namespace qm {

// Ed25519 sizes: a public key of 32 bytes, a signature of 64.
using TPublicKey = std::array<unsigned char, 32>;
using TSignature = std::array<unsigned char, 64>;

// The element of "brennik.xml" holding the update public key.
inline constexpr char kUpdatePublicKeyElement[] = "update_publickey";

// The key a signed file must be checked against, read afresh from the branding file: nullopt when
// none is configured (nothing to check), a failure saying why when the setting is broken (refuse
// the file). Never throws.
TResult<std::optional<TPublicKey>> UpdateKeyToCheck();

// True once the signature library is initialised (it is on first use).
bool SodiumReady();

// The signature text (128 hex digits, blanks around allowed) as bytes; a failure when it is not one.
TResult<TSignature> ParseSignature(std::string_view text);

// The failure code of a signature that could not be fetched (the network or the server failed):
// a later try may find it, so it is not a refusal.
inline constexpr int kSignatureUnreachable = 1;

// Fetches url + ".sig" through scratchFile (deleted again). Blocks on the network; stopping stop
// (when given) ends the fetch at once, failing with kSignatureUnreachable.
TResult<TSignature> FetchSignature(const std::string& url, const std::string& scratchFile,
                                   corvane::TStopToken* stop);

// True when signature is key's signature of message.
bool SignatureMatches(std::string_view message, const TSignature& signature, const TPublicKey& key);

} // namespace qm
