#pragma once

#include <curl/curl.h>

namespace qm {

// The number a failed request reports for a libcurl error (with the system's errno of the failed
// connection, CURLINFO_OS_ERRNO), in the socket error numbering the download window's owners
// know: 10061 connection refused, 10065 host or network unreachable, 10060 timed out, 10054
// connection reset or cut short, 11001 host not found. Any other libcurl error reports 12000 +
// its libcurl code (for example 12060 for a certificate that does not verify).
int NetworkErrorCode(CURLcode error, long osErrno) noexcept;

// True for errors that mean the network went away under a request (refused, reset, unreachable,
// cut short, no data within the limit), as opposed to a fault of the request itself.
bool IsNetworkLoss(CURLcode error) noexcept;

} // namespace qm
