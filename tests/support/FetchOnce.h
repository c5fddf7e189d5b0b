#pragma once

#include "common/CurlHandles.h"

#include <string>

namespace qm::test {

struct TFetched {
    long status = 0; // 0 when nothing answered
    std::string location;
};

// One GET without following redirects, as a browser's first step: the status and where a redirect
// points.
inline TFetched FetchOnce(const std::string& url) {
    CurlEasy curl = MakeCurlEasy();
    TFetched fetched;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(
        curl.get(), CURLOPT_WRITEFUNCTION,
        +[](char*, size_t size, size_t count, void*) -> size_t { return size * count; });
    if (curl_easy_perform(curl.get()) != CURLE_OK)
        return fetched;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &fetched.status);
    char* location = nullptr;
    curl_easy_getinfo(curl.get(), CURLINFO_REDIRECT_URL, &location);
    fetched.location = location ? location : "";
    return fetched;
}

} // namespace qm::test
