#pragma once

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

// True when the descriptor copy descriptorFile, fetched from descriptorURL for the component whose
// "Upgrade.txt" is upFile, may be acted on. Otherwise false with the reason, and the refusal written
// to the installation's log. Blocks on the network: call it on the worker thread; stopping stop
// (when given) ends the signature's fetch at once, refusing.
bool AcceptDescriptor(const std::string& upFile, const std::string& descriptorFile,
                      const std::string& descriptorURL, std::string& reason,
                      corvane::TStopToken* stop = nullptr);

} // namespace qm
