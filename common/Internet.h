#pragma once

#include <optional>
#include <string>

namespace corvane {
class TStopToken;
}

// Blocking internet helpers for the upgrade plug-in. Each may be called from any thread, never
// throws and answers false on any failure. A call also ends at once, failing, when the desk closes
// or when the given token is stopped (see corvane/TransferStop.h).
namespace qm {

// Fetches the small file at `url` (following redirects, bypassing caches; a minute in all, see
// common/HttpPolicy.h) into `fileName`, which is created or replaced once the server has answered
// and then written as the body arrives. False when the transfer fails or takes too long, the final
// answer is not a 2xx, or the body's text contains "404 Not Found"; a file created on the way stays
// on disk in every case.
bool DownloadFile(const std::string& url, const std::string& fileName, corvane::TStopToken* stop = nullptr);

// How a fetch ended: the file came, the server said it has no such file (a 4xx answer, or the
// not-found text), or the server could not be asked or failed to answer (network, time, 5xx), which
// a later try may mend.
enum class TFetchAnswer { Fetched, Missing, Unreachable };

// DownloadFile, telling apart a file the server does not have from a failure to ask it.
TFetchAnswer FetchFile(const std::string& url, const std::string& fileName,
                       corvane::TStopToken* stop = nullptr);

// True when a GET of `url` is answered with HTTP status 200 or 302 (redirects are not followed;
// only the answer's head is read). An address without a scheme is taken as "http://".
bool IsURLReachable(const std::string& url, corvane::TStopToken* stop = nullptr);

// The address IsURLReachable asks for: `url` with "http://" in front unless it already contains
// "http://" or starts with "https://" (letters in any case).
std::string ReachabilityURL(const std::string& url);

// True when a network interface other than loopback is up and running.
bool IsOnline();

// Makes IsOnline answer `online` instead of asking the system; nullopt asks the system again.
// For tests only; the switch holds for the whole process, plug-ins included.
void SetOnlineOverrideForTesting(std::optional<bool> online);

} // namespace qm
