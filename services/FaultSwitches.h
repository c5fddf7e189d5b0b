#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm::server {

// Misbehaviours the file routes can put on, chosen per request by leading path segments so that
// one server answers both sound and faulty requests:
//   /slow/<path>     the body trickles out at `rate` bytes per second (query "rate", default 4096)
//   /drop/<path>     headers and part of the body, then the connection is cut (query "after" =
//                    bytes sent before the cut, default half the body)
//   /norange/<path>  a Range header is ignored: 200 with the whole body
//   /nolength/<path> the whole body (Range ignored) in chunks, without a Content-Length
//   /flaky/<path>    like /drop/, but only the first `times` cuts of that path (query "times",
//                    default 1) happen; later answers go through whole: a network that fails for a
//                    while and then comes back
//   /nosig/<path>    a signature file (a path ending in ".sig") answers 503, everything else as
//                    usual: a mirror that cannot give the signatures for a while
// Prefixes combine in any order, e.g. /slow/norange/<path>. /slow/, /drop/, /flaky/ and /nosig/
// hold, break or refuse requests, so they are switches only on a server started for tests;
// elsewhere they are ordinary folder names.
struct FaultSwitches {
    bool slow = false;
    bool drop = false;
    bool noRange = false;
    bool noLength = false;
    bool flaky = false;
    bool noSignatures = false;
    std::uint64_t bytesPerSecond = 4096;
    std::optional<std::uint64_t> dropAfter;
    std::uint64_t flakyCuts = 1;
};

struct FaultedPath {
    FaultSwitches faults;
    std::string path; // the request path with the fault prefixes removed
};

// Splits the fault prefixes off a request path; /slow/, /drop/, /flaky/ and /nosig/ only with
// testSwitches.
FaultedPath SplitFaultPrefixes(std::string_view requestPath, bool testSwitches);

// Reads a non-negative decimal query value; nullopt when it is absent or not a number.
std::optional<std::uint64_t> ParseCount(std::string_view text);

} // namespace qm::server
