#pragma once

#include "common/Result.h"
#include "common/UpdateComponent.h"

#include <string>
#include <string_view>

// Which addresses updates may come from. With an update key configured (UpdateSignature.h), every
// update address (descriptor, package, signature, installer) must be https, or http to this
// machine's loopback (127.0.0.0/8, "localhost", [::1]): signatures protect the bytes, not the
// fact that they are new, and on plain http anyone on the way can hold back or replay them. Without
// a key every address is taken as it is.
namespace qm {

// The host of an address "scheme://[user@]host[:port]/...", lower-cased, without brackets; "" when
// the text has no "://".
std::string AddressHost(std::string_view url);

// True for https, and for http to a loopback host; case of the scheme ignored.
bool SafeUpdateAddress(std::string_view url);

// Succeeds when updates may be fetched from url under the installation's key setting; otherwise
// fails naming why (a broken key setting refuses every address). Never throws.
TResult<> UpdateAddressAllowed(const std::string& url);

} // namespace qm
