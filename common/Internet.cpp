#include "common/Internet.h"

#include "common/CurlPerform.h"
#include "common/HttpPolicy.h"
#include "common/Paths.h"
#include "corvane/OnlineOverride.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <ifaddrs.h>
#include <net/if.h>
#include <string_view>

namespace qm {

namespace {

constexpr std::string_view kNotFoundMarker = "404 Not Found";
// The body is judged as if read in blocks of this size, each taken as text up to its first zero.
constexpr std::size_t kReadBlockSize = 1025;

// Looks for the not-found marker in the body's text copy: every read block up to its first zero
// byte, the pieces joined. Instead of keeping the whole copy (bodies can be large), only the last
// few characters that could begin a match are carried from piece to piece.
class NotFoundMarkerSearch {
public:
    void Feed(const char* data, std::size_t size) {
        while (size > 0) {
            const std::size_t take = std::min(size, kReadBlockSize - positionInBlock_);
            if (!zeroInBlock_) {
                const void* zero = std::memchr(data, 0, take);
                const std::size_t textSize =
                    zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - data) : take;
                AppendText(std::string_view(data, textSize));
                zeroInBlock_ = zero != nullptr;
            }
            positionInBlock_ += take;
            if (positionInBlock_ == kReadBlockSize) {
                positionInBlock_ = 0;
                zeroInBlock_ = false;
            }
            data += take;
            size -= take;
        }
    }

    bool Found() const { return found_; }

private:
    void AppendText(std::string_view text) {
        if (found_ || text.empty())
            return;
        std::string window = carry_;
        window.append(text);
        if (window.find(kNotFoundMarker) != std::string::npos) {
            found_ = true;
            return;
        }
        const std::size_t keep = std::min(window.size(), kNotFoundMarker.size() - 1);
        carry_ = window.substr(window.size() - keep);
    }

    std::size_t positionInBlock_ = 0;
    bool zeroInBlock_ = false;
    bool found_ = false;
    std::string carry_;
};

// The file a download goes into. It is created (or emptied) only once the server has answered,
// so that a download that never reaches a server leaves an existing file alone.
class DownloadTarget {
public:
    explicit DownloadTarget(std::string fileName) : fileName_(std::move(fileName)) {}

    bool Create() {
        if (!createAttempted_) {
            createAttempted_ = true;
            file_.open(fileName_, std::ios::binary | std::ios::trunc);
        }
        return file_.is_open() && file_.good();
    }

    bool Append(const char* data, std::size_t size) {
        if (!Create())
            return false;
        file_.write(data, static_cast<std::streamsize>(size));
        marker_.Feed(data, size);
        return file_.good();
    }

    // Flushes and closes the file; false when anything failed to reach the disk.
    bool Close() {
        if (!file_.is_open())
            return !createAttempted_;
        file_.close();
        return !file_.fail();
    }

    bool NotFoundPage() const { return marker_.Found(); }

private:
    std::string fileName_;
    std::ofstream file_;
    bool createAttempted_ = false;
    NotFoundMarkerSearch marker_;
};

bool IsBlankHeaderLine(std::string_view line) {
    return line == "\r\n" || line == "\n";
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char c = text[i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != prefix[i])
            return false;
    }
    return true;
}

struct DownloadContext {
    CURL* curl = nullptr;
    DownloadTarget target;
    // While libcurl reads the head of an answer: a Location was seen, so a 3xx is about to be
    // followed and only the answer after it creates the file.
    bool redirecting = false;
};

// libcurl calls these from inside curl_easy_perform: nothing may be thrown through it, and
// returning a different count than given aborts the transfer.
size_t OnDownloadHeader(char* data, size_t size, size_t count, void* user) noexcept {
    try {
        auto* context = static_cast<DownloadContext*>(user);
        const std::string_view line(data, size * count);
        if (StartsWithNoCase(line, "http/"))
            context->redirecting = false;
        else if (StartsWithNoCase(line, "location:"))
            context->redirecting = true;
        else if (IsBlankHeaderLine(line)) {
            const long code = AnswerStatus(context->curl);
            const bool followed = code >= 300 && code < 400 && context->redirecting;
            if (code >= 200 && !followed && !context->target.Create())
                return 0;
        }
        return size * count;
    } catch (...) {
        return 0;
    }
}

size_t OnDownloadBody(char* data, size_t size, size_t count, void* user) noexcept {
    try {
        auto* context = static_cast<DownloadContext*>(user);
        return context->target.Append(data, size * count) ? size * count : 0;
    } catch (...) {
        return 0;
    }
}

struct HeadProbe {
    CURL* curl = nullptr;
    long status = 0; // the final answer's status, once its whole head has arrived
};

size_t OnProbeHeader(char* data, size_t size, size_t count, void* user) noexcept {
    try {
        auto* probe = static_cast<HeadProbe*>(user);
        if (IsBlankHeaderLine(std::string_view(data, size * count))) {
            const long code = AnswerStatus(probe->curl);
            if (code >= 200) {
                probe->status = code;
                return 0; // the head is all that is wanted: stop before the body
            }
        }
        return size * count;
    } catch (...) {
        return 0;
    }
}

size_t DiscardBody(char*, size_t size, size_t count, void*) noexcept {
    return size * count;
}

// Both helpers bypass caches and answer the address given (or the head of its answer).
bool SetCommonOptions(CURL* curl, curl_slist* headers, curl_write_callback onHeader, void* headerData) {
    return curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_HEADERDATA, headerData) == CURLE_OK;
}

CurlHeaderList NoCacheHeaders() {
    CurlHeaderList headers;
    if (!AppendCurlHeader(headers, "Cache-Control: no-cache") ||
        !AppendCurlHeader(headers, "Pragma: no-cache"))
        return nullptr;
    return headers;
}

bool SystemHasActiveInterface() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    const std::unique_ptr<ifaddrs, void (*)(ifaddrs*)> owner(list, freeifaddrs);
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        if ((flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK))
            return true;
    }
    return false;
}

} // namespace

TFetchAnswer FetchFile(const std::string& url, const std::string& fileName, corvane::TStopToken* stop) {
    try {
        CurlEasy curl = MakeHttpHandle(url, kSmallFileLimits);
        CurlHeaderList headers = NoCacheHeaders();
        if (!curl || !headers)
            return TFetchAnswer::Unreachable;
        DownloadContext context{curl.get(), DownloadTarget(ToNativePath(fileName))};
        CURL* handle = curl.get();
        const bool configured = SetCommonOptions(handle, headers.get(), OnDownloadHeader, &context) &&
                                curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnDownloadBody) == CURLE_OK &&
                                curl_easy_setopt(handle, CURLOPT_WRITEDATA, &context) == CURLE_OK;
        if (!configured)
            return TFetchAnswer::Unreachable;
        const CURLcode result = PerformStoppable(handle, stop);
        const long status = AnswerStatus(handle);
        const bool written = context.target.Close();
        if (result != CURLE_OK || !written || status >= 500 || status < 200)
            return TFetchAnswer::Unreachable;
        // An error page is a failed download even when it does not carry the not-found text.
        if (status >= 300 || context.target.NotFoundPage())
            return TFetchAnswer::Missing;
        return TFetchAnswer::Fetched;
    } catch (...) {
        return TFetchAnswer::Unreachable;
    }
}

bool DownloadFile(const std::string& url, const std::string& fileName, corvane::TStopToken* stop) {
    return FetchFile(url, fileName, stop) == TFetchAnswer::Fetched;
}

std::string ReachabilityURL(const std::string& url) {
    std::string lower = url;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    // A secure address keeps its scheme: putting "http://" before it would make it unreachable.
    if (lower.find("http://") != std::string::npos || lower.rfind("https://", 0) == 0)
        return url;
    return "http://" + url;
}

bool IsURLReachable(const std::string& url, corvane::TStopToken* stop) {
    try {
        CurlEasy curl = MakeHttpHandle(ReachabilityURL(url), kProbeLimits);
        CurlHeaderList headers = NoCacheHeaders();
        if (!curl || !headers)
            return false;
        HeadProbe probe{curl.get(), 0};
        CURL* handle = curl.get();
        const bool configured = SetCommonOptions(handle, headers.get(), OnProbeHeader, &probe) &&
                                curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, DiscardBody) == CURLE_OK;
        if (!configured)
            return false;
        // Ends with a write error once the head is in: that is the probe stopping it on purpose.
        PerformStoppable(handle, stop);
        return probe.status == 200 || probe.status == 302;
    } catch (...) {
        return false;
    }
}

bool IsOnline() {
    try {
        const int forced = corvane::OnlineOverride().load();
        if (forced >= 0)
            return forced == 1;
        return SystemHasActiveInterface();
    } catch (...) {
        return false;
    }
}

void SetOnlineOverrideForTesting(std::optional<bool> online) {
    corvane::OnlineOverride().store(online ? (*online ? 1 : 0) : -1);
}

} // namespace qm
