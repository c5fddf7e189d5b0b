#pragma once

#include "common/IniFile.h"
#include "common/Result.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// Whether a fetched update descriptor may be acted on. Without an update key configured
// (UpdateSignature.h) every descriptor may. With one, the descriptor must
// - come from an address updates may come from (UpdateAddress.h);
// - carry the publisher's detached signature of its signed text (SignedKinds.h) at its address +
//   ".sig";
// - name the component it was published for ("[upgrade]" "component"): the path of its update
//   source, the folder it is served from ("/desk/"), so that another component's descriptor is
//   refused;
// - not be past its expiry ("[upgrade]" "expires", UTC YYYYMMDDHHMMSS), so that a replayed or
//   withheld descriptor freezes nothing unnoticed;
// - name the SHA-256 ("sha256", 64 hex digits) and the length in bytes ("length") of every package
//   it offers (a section whose "ver" is not blank), so that a package is bound to the descriptor
//   that offered it and its transfer stops at that length; the packages' addresses must be ones
//   updates may come from;
// - carry an issue serial ("[upgrade]" "issued", IssuedState.h) not older than the component's
//   floor, which it then becomes.
namespace corvane {
class TStopToken;
}

namespace qm {

// A descriptor as fetched: read once, parsed once.
struct TFetchedDescriptor {
    std::string File;  // the local copy; its signature is fetched beside it
    std::string URL;   // where it came from
    std::string Bytes; // what the signature covers
    TIniDocument Ini;  // Bytes, parsed
};

// The time a UTC stamp YYYYMMDDHHMMSS names; nothing when text is not exactly one (14 digits, every
// field in its range).
std::optional<std::time_t> ParseUtcStamp(std::string_view text);

// A package's "length" (blanks around allowed) as bytes; -1 when it is not a decimal number.
std::int64_t OfferedLength(std::string_view text);

// Succeeds when the descriptor at descriptorURL, or a package it makes due, may be fetched from url
// (UpdateAddress.h); otherwise fails naming why, the refusal written to the installation's log.
TResult<> AcceptUpdateAddress(const std::string& descriptorURL, const std::string& url);

// Reads and parses the copy at file, fetched from url.
TFetchedDescriptor ReadFetchedDescriptor(const std::string& file, const std::string& url);

// Succeeds when descriptor, fetched for the component whose "Upgrade.txt" is upFile, may be acted
// on. Otherwise fails with the reason, the refusal written to the installation's log. Blocks on
// the network: call it on the worker thread; stopping stop (when given) ends the signature's fetch
// at once, refusing.
TResult<> AcceptDescriptor(const std::string& upFile, const TFetchedDescriptor& descriptor,
                           corvane::TStopToken* stop = nullptr);

} // namespace qm
