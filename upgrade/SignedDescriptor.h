#pragma once

#include "common/IniFile.h"
#include "common/Result.h"

#include <string>

// Whether a fetched update descriptor may be acted on. Without an update key configured
// (UpdateSignature.h) every descriptor may. With one, the descriptor must
// - carry the publisher's detached signature of its bytes at its address + ".sig";
// - name the SHA-256 ("sha256", 64 hex digits) of every package it offers (a section whose "ver"
//   is not blank), so that a package is bound to the descriptor that offered it;
// - carry an issue serial ("[upgrade]" "issued", IssuedState.h) not older than the last one
//   accepted for the component, which it then becomes.
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

// Reads and parses the copy at file, fetched from url.
TFetchedDescriptor ReadFetchedDescriptor(const std::string& file, const std::string& url);

// Succeeds when descriptor, fetched for the component whose "Upgrade.txt" is upFile, may be acted
// on. Otherwise fails with the reason, the refusal written to the installation's log. Blocks on
// the network: call it on the worker thread; stopping stop (when given) ends the signature's fetch
// at once, refusing.
TResult<> AcceptDescriptor(const std::string& upFile, const TFetchedDescriptor& descriptor,
                           corvane::TStopToken* stop = nullptr);

} // namespace qm
