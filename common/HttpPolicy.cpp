#include "common/HttpPolicy.h"

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

constexpr const char* kWebProtocols = "http,https";

size_t GatherCapped(char* data, size_t size, size_t count, void* user) noexcept {
    try {
        auto* answer = static_cast<TCappedAnswer*>(user);
        if (answer->body.size() + size * count > answer->cap) {
            answer->tooLarge = true;
            return 0;
        }
        answer->body.append(data, size * count);
        return size * count;
    } catch (...) {
        return 0;
    }
}

bool ApplyLimits(CURL* handle, const THttpLimits& limits) {
    const bool follow = limits.maxRedirects > 0;
    return curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, limits.connectMs) == CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, limits.totalMs) == CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, limits.stalledSeconds > 0 ? 1L : 0L) ==
               CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, limits.stalledSeconds) == CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L) == CURLE_OK &&
           (!follow || curl_easy_setopt(handle, CURLOPT_MAXREDIRS, limits.maxRedirects) == CURLE_OK);
}

} // namespace

const char* ProductUserAgent() {
    return "Quillmere/" QM_PRODUCT_VERSION;
}

THttpLimits ServiceCallLimits(double totalSeconds) {
    // A limit that rounds to nothing would switch the limit off.
    const long totalMs = std::max(1L, std::lround(totalSeconds * 1000));
    return THttpLimits{.connectMs = totalMs, .totalMs = totalMs};
}

CurlEasy MakeHttpHandle(const std::string& url, const THttpLimits& limits) {
    CurlEasy curl = MakeCurlEasy();
    CURL* handle = curl.get();
    const bool configured =
        handle != nullptr && curl_easy_setopt(handle, CURLOPT_URL, url.c_str()) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_USERAGENT, limits.agent ? limits.agent : ProductUserAgent()) ==
            CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, kWebProtocols) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, kWebProtocols) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
        // Time limits must not rely on SIGALRM: transfers run on any thread.
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L) == CURLE_OK && ApplyLimits(handle, limits);
    if (!configured)
        curl.reset();
    return curl;
}

bool CollectAnswer(CURL* handle, TCappedAnswer& answer) {
    return curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, GatherCapped) == CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_WRITEDATA, &answer) == CURLE_OK;
}

long AnswerStatus(CURL* handle) {
    long status = 0;
    if (curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK)
        return 0;
    return status;
}

} // namespace qm
