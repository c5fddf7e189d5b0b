#include "skellow/LogSender.h"

#include "common/BrandingFile.h"
#include "common/CurlPerform.h"
#include "common/HttpPolicy.h"
#include "common/PercentEncoding.h"
#include "common/TextTrim.h"
#include "common/XmlConfig.h"
#include "corvane/Errors.h"

namespace qm::skellow {

namespace {

constexpr double kDefaultTimeoutSeconds = 5;

std::string WithoutTrailingSlashes(std::string address) {
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    return address;
}

struct TTransfer {
    bool prepared = false;
    CURLcode result = CURLE_OK;
    long status = 0;
    std::string body;
};

// One blocking call, bounded by the time limit and cut short by stop.
TTransfer Transfer(const TLogServiceConfig& config, const std::string& url, const std::string* postBody,
                   corvane::TStopToken* stop) {
    TTransfer transfer;
    CurlEasy curl = MakeHttpHandle(url, ServiceCallLimits(config.timeoutSeconds));
    CurlHeaderList headers;
    TCappedAnswer answer;
    CURL* handle = curl.get();
    bool configured = handle != nullptr && CollectAnswer(handle, answer);
    if (configured && postBody)
        configured = AppendCurlHeader(headers, "Content-Type: application/json; charset=utf-8") &&
                     curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK &&
                     curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                                      static_cast<curl_off_t>(postBody->size())) == CURLE_OK &&
                     curl_easy_setopt(handle, CURLOPT_POSTFIELDS, postBody->c_str()) == CURLE_OK;
    if (!configured)
        return transfer;
    transfer.prepared = true;
    transfer.result = PerformStoppable(handle, stop);
    transfer.status = AnswerStatus(handle);
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
    TXmlConfig branding;
    if (!OpenBrandingFile(branding))
        return std::nullopt;
    TLogServiceConfig config;
    config.serviceAddress = WithoutTrailingSlashes(TrimmedCopy(branding.ReadString("logservice_addr")));
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
