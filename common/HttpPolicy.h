#pragma once

#include "common/CurlHandles.h"

#include <cstddef>
#include <string>

// The one HTTP policy of every client (account calls, log shipping, the internet helpers, the
// downloader's parts). Every handle gets: certificates and host names checked, the product's user
// agent, plain web protocols for the address and for every redirect, no signals (clients run on any
// thread), and the limits of its kind of transfer below. Proxies come from the environment
// (http_proxy, https_proxy, no_proxy), as libcurl reads them; nothing overrides them. A blocking
// transfer runs through PerformStoppable (common/CurlPerform.h), so closing the desk ends it at
// once; the downloader's parts run on TCurlMultiDriver and are stopped by the download window.
namespace qm {

// What one kind of transfer may take; a zero switches that limit off.
struct THttpLimits {
    long connectMs = 0;          // reaching the server, name lookup and TLS included
    long totalMs = 0;            // the whole transfer
    long stalledSeconds = 0;     // under a byte a second for this long ends the transfer
    long maxRedirects = 0;       // redirects followed; 0 answers the redirect itself
    const char* agent = nullptr; // null: the product's own user agent
};

// "Quillmere/" and the project version.
const char* ProductUserAgent();

// The most an answer of a service call may hold: no service answer comes near it.
inline constexpr std::size_t kServiceAnswerCap = 1024 * 1024;
// Redirects a file fetch follows before it gives up.
inline constexpr long kFileRedirects = 20;

// A call of a deployment's service (account, logging): the deployment's time limit for the whole
// call, connecting included; redirects are not followed, so a request body never goes elsewhere.
THttpLimits ServiceCallLimits(double totalSeconds);
// Small files (update descriptors, package signatures): a minute in all.
inline constexpr THttpLimits kSmallFileLimits{
    .connectMs = 5'000, .totalMs = 60'000, .stalledSeconds = 60, .maxRedirects = kFileRedirects};
// The reachability probe sees a redirect as the answer it is, and only waits for a head.
inline constexpr THttpLimits kProbeLimits{.connectMs = 5'000, .totalMs = 30'000, .agent = "InetURL:/1.0"};
// A part of a large download has no overall limit (it may take hours), only a stall limit.
inline constexpr THttpLimits kDownloadPartLimits{
    .connectMs = 15'000, .stalledSeconds = 30, .maxRedirects = kFileRedirects};
// The HEAD that learns about a large download is small.
inline constexpr THttpLimits kDownloadHeadLimits{
    .connectMs = 15'000, .totalMs = 30'000, .maxRedirects = kFileRedirects};

// A new handle for `url` under the policy and `limits`; null when libcurl cannot make or set it up.
CurlEasy MakeHttpHandle(const std::string& url, const THttpLimits& limits);

// The body of an answer gathered up to a cap.
struct TCappedAnswer {
    std::string body;
    bool tooLarge = false; // the transfer was ended because the body passed the cap
    std::size_t cap = kServiceAnswerCap;
};

// Gathers the body of the handle's answer into `answer`, which must outlive the transfer; a body
// passing the cap ends the transfer with a write error. False when libcurl refuses it.
bool CollectAnswer(CURL* handle, TCappedAnswer& answer);

// The final answer's HTTP status; 0 when none arrived.
long AnswerStatus(CURL* handle);

} // namespace qm
