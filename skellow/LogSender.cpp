#include "skellow/LogSender.h"

#include "common/CurlHandles.h"
#include "common/CurlPerform.h"
#include "common/Paths.h"
#include "common/PercentEncoding.h"
#include "common/XmlConfig.h"
#include "corvane/Errors.h"

#include <cmath>

namespace qm::skellow {

namespace {

constexpr double kDefaultTimeoutSeconds = 5;
// The service answers a few bytes; anything much larger is not the service.
constexpr std::size_t kMaxAnswerBytes = 64 * 1024;

std::string WithoutTrailingSlashes(std::string address) {
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    return address;
}

struct TAnswer {
    std::string body;
};

size_t CollectAnswer(char* data, size_t size, size_t count, void* user) noexcept {
    try {
        auto* answer = static_cast<TAnswer*>(user);
        if (answer->body.size() + size * count > kMaxAnswerBytes)
            return 0;
        answer->body.append(data, size * count);
        return size * count;
    } catch (...) {
        return 0;
    }
}

struct TTransfer {
    bool prepared = false;
    CURLcode result = CURLE_OK;
    long status = 0;
    std::string body;
};

// One blocking call, bounded by the time limit and cut short by stop; no signals, so it may run on
// any thread.
TTransfer Transfer(const TLogServiceConfig& config, const std::string& url, const std::string* postBody,
                   corvane::TStopToken* stop) {
    TTransfer transfer;
    CurlEasy curl = MakeCurlEasy();
    CurlHeaderList headers;
    if (!curl || (postBody && !AppendCurlHeader(headers, "Content-Type: application/json; charset=utf-8")))
        return transfer;
    TAnswer answer;
    CURL* handle = curl.get();
    bool configured =
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str()) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, std::lround(config.timeoutSeconds * 1000)) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, CollectAnswer) == CURLE_OK &&
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, &answer) == CURLE_OK;
    if (configured && postBody)
        configured = curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK &&
                     curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                                      static_cast<curl_off_t>(postBody->size())) == CURLE_OK &&
                     curl_easy_setopt(handle, CURLOPT_POSTFIELDS, postBody->c_str()) == CURLE_OK;
    if (!configured)
        return transfer;
    transfer.prepared = true;
    transfer.result = PerformStoppable(handle, stop);
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &transfer.status);
    transfer.body = std::move(answer.body);
    return transfer;
}

class TLogSender final : public ISendLog {
public:
    TLogSender(std::optional<TLogServiceConfig> config, corvane::TStopToken* stop)
        : config_(std::move(config)), stop_(stop) {}

    std::string SendLog(const std::string& json, const std::string& fileId) override {
        if (!config_)
            throw corvane::ETax("DefaultInterface is NULL. Component is not connected to Server. You must "
                                "call 'Connect' or 'ConnectTo' before this operation",
                                "TCSendLog.SendLog");
        if (completed_)
            return "#01";
        const TTransfer transfer = Transfer(
            *config_, config_->serviceAddress + "/log/usage?id=" + PercentEncode(fileId), &json, stop_);
        if (!transfer.prepared)
            return "#04";
        switch (transfer.result) {
        case CURLE_OK:
            break;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
            return "#06";
        default:
            return "#02";
        }
        if (transfer.status < 200 || transfer.status >= 300)
            return "#05";
        return transfer.body;
    }

    bool CanSend() override {
        if (!config_)
            return false;
        const TTransfer transfer = Transfer(*config_, config_->serviceAddress + "/log/ping", nullptr, stop_);
        return transfer.prepared && transfer.result == CURLE_OK && transfer.status == 200;
    }

    void SetSendComplete() override { completed_ = true; }

private:
    std::optional<TLogServiceConfig> config_;
    corvane::TStopToken* stop_; // owned by the caller; may be null
    bool completed_ = false;
};

} // namespace

std::optional<TLogServiceConfig> ReadLogServiceConfig() {
    const std::string file = ConfigPath() + "brennik.xml";
    if (!FileExists(file))
        return std::nullopt;
    TXmlConfig branding;
    branding.Open(file);
    TLogServiceConfig config;
    std::string address = branding.ReadString("logservice_addr");
    const auto first = address.find_first_not_of(" \t\r\n");
    const auto last = address.find_last_not_of(" \t\r\n");
    config.serviceAddress = first == std::string::npos
                                ? std::string()
                                : WithoutTrailingSlashes(address.substr(first, last - first + 1));
    if (config.serviceAddress.empty())
        return std::nullopt;
    const double timeout = branding.ReadFloat("logservice_timeout");
    config.timeoutSeconds = timeout > 0 ? timeout : kDefaultTimeoutSeconds;
    return config;
}

std::unique_ptr<ISendLog> CreateSendLog(std::optional<TLogServiceConfig> config, corvane::TStopToken* stop) {
    return std::make_unique<TLogSender>(std::move(config), stop);
}

} // namespace qm::skellow
