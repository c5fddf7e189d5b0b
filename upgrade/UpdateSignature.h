#pragma once

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

enum class TKeySetting { Absent, Valid, Broken };

// The configured update key: Absent (no signatures asked for), Valid (bytes hold it) or Broken
// (problem says why).
struct TUpdateKey {
    TKeySetting setting = TKeySetting::Absent;
    TPublicKey bytes{};
    std::string problem;
};

// The element of "brennik.xml" holding the update public key.
inline constexpr char kUpdatePublicKeyElement[] = "update_publickey";

// Reads the key setting afresh from the branding file. Never throws.
TUpdateKey ConfiguredUpdateKey();

// The key a signed file must be checked against: nullopt when none is configured (nothing to
// check: refusal stays empty) or when the setting is broken (refusal says why: refuse the file).
std::optional<TPublicKey> UpdateKeyToCheck(std::string& refusal);

// True once the signature library is initialised (it is on first use).
bool SodiumReady();

// The signature text (128 hex digits, blanks around allowed) as bytes; false when it is not one.
bool ParseSignature(std::string_view text, TSignature& signature);

// Fetches url + ".sig" through scratchFile (deleted again) into signature; false with the reason.
// Blocks on the network; stopping stop (when given) ends the fetch at once, failing.
bool FetchSignature(const std::string& url, const std::string& scratchFile, corvane::TStopToken* stop,
                    TSignature& signature, std::string& reason);

// True when signature is key's signature of message.
bool SignatureMatches(std::string_view message, const TSignature& signature, const TPublicKey& key);

// Writes one line about a refused update file to the installation's log and the trace channel. A
// log that cannot be written does not stop the refusal.
void LogUpdateProblem(const std::string& text);

} // namespace qm
