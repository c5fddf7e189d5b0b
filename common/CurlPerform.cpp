#include "common/CurlPerform.h"

#include "common/CurlHandles.h"
#include "corvane/TransferStop.h"

#include <atomic>
#include <memory>
#include <optional>

namespace qm {

namespace {

struct CurlMultiCleanup {
    void operator()(CURLM* multi) const noexcept { curl_multi_cleanup(multi); }
};
using CurlMulti = std::unique_ptr<CURLM, CurlMultiCleanup>;

// The easy handle belongs to the multi handle from construction to destruction.
class TAttached {
public:
    TAttached(CURLM* multi, CURL* easy) : multi_(multi), easy_(easy) {
        attached_ = curl_multi_add_handle(multi, easy) == CURLM_OK;
    }
    ~TAttached() {
        if (attached_)
            curl_multi_remove_handle(multi_, easy_);
    }
    TAttached(const TAttached&) = delete;
    TAttached& operator=(const TAttached&) = delete;
    bool Attached() const { return attached_; }

private:
    CURLM* multi_;
    CURL* easy_;
    bool attached_ = false;
};

constexpr int kLongestWaitMs = 1000;

// Drives the one transfer until it is done or stop is set.
CURLcode Drive(CURLM* multi, const std::atomic<bool>& stop) {
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK)
            return CURLE_FAILED_INIT;
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left))
            if (message->msg == CURLMSG_DONE)
                return message->data.result;
        if (stop.load())
            return CURLE_ABORTED_BY_CALLBACK;
        if (curl_multi_poll(multi, nullptr, 0, kLongestWaitMs, nullptr) != CURLM_OK)
            return CURLE_FAILED_INIT;
        if (stop.load())
            return CURLE_ABORTED_BY_CALLBACK;
    }
}

} // namespace

CURLcode PerformStoppable(CURL* easy, corvane::TStopToken* own) {
    InitCurlOnce();
#if LIBCURL_VERSION_NUM >= 0x075700
    // A name lookup that never ends is left to end on its own thread: otherwise taking the handle
    // out of the transfer (a stop, a time limit) would wait for it, as long as the resolver takes.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
#endif
    CurlMulti multi(curl_multi_init());
    if (!multi)
        return CURLE_OUT_OF_MEMORY;
    const TAttached attached(multi.get(), easy);
    if (!attached.Attached())
        return CURLE_FAILED_INIT;
    std::atomic<bool> stop{false};
    CURLM* handle = multi.get();
    const auto wake = [&stop, handle] {
        stop.store(true);
        curl_multi_wakeup(handle);
    };
    const corvane::TStopRegistration processWide(corvane::ProcessStop(), wake);
    std::optional<corvane::TStopRegistration> owner;
    if (own != nullptr)
        owner.emplace(*own, wake);
    return Drive(handle, stop);
}

} // namespace qm
