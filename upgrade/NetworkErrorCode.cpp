#include "upgrade/NetworkErrorCode.h"

#include <cerrno>

namespace qm {

namespace {

constexpr int kConnectionRefused = 10061;
constexpr int kHostUnreachable = 10065;
constexpr int kTimedOut = 10060;
constexpr int kConnectionReset = 10054;
constexpr int kHostNotFound = 11001;
constexpr int kOtherErrorBase = 12000;

int ConnectErrorCode(long osErrno) noexcept {
    switch (osErrno) {
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
        return kHostUnreachable;
    case ETIMEDOUT:
        return kTimedOut;
    default:
        return kConnectionRefused;
    }
}

} // namespace

int NetworkErrorCode(CURLcode error, long osErrno) noexcept {
    switch (error) {
    case CURLE_COULDNT_CONNECT:
        return ConnectErrorCode(osErrno);
    case CURLE_OPERATION_TIMEDOUT:
        return kTimedOut;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
        return kConnectionReset;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return kHostNotFound;
    default:
        return kOtherErrorBase + static_cast<int>(error);
    }
}

bool IsNetworkLoss(CURLcode error) noexcept {
    switch (error) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2_STREAM:
        return true;
    default:
        return false;
    }
}

} // namespace qm
