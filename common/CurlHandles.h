#pragma once

#include <curl/curl.h>
#include <memory>
#include <mutex>

namespace qm {

// libcurl's global set-up must happen once before the first handle, and not race with itself.
inline void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlEasyCleanup {
    void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
struct CurlHeaderListCleanup {
    void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};

using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;
using CurlHeaderList = std::unique_ptr<curl_slist, CurlHeaderListCleanup>;

// A new easy handle (null when libcurl cannot make one), after the global set-up.
inline CurlEasy MakeCurlEasy() {
    InitCurlOnce();
    return CurlEasy(curl_easy_init());
}

// Appends a header line; the list is left as it was when libcurl cannot grow it.
inline bool AppendCurlHeader(CurlHeaderList& list, const char* line) {
    curl_slist* grown = curl_slist_append(list.get(), line);
    if (!grown)
        return false;
    static_cast<void>(list.release());
    list.reset(grown);
    return true;
}

} // namespace qm
