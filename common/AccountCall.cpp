#include "common/AccountCall.h"

#include "common/CurlPerform.h"
#include "common/HttpPolicy.h"
#include "corvane/Errors.h"

#include <cmath>
#include <optional>

namespace qm {

namespace {

std::string SecondsText(double seconds) {
    if (seconds == std::floor(seconds))
        return std::to_string(static_cast<long long>(seconds));
    return corvane::FormatText("%g", seconds);
}

[[noreturn]] void RaiseTransferError(CURLcode result, const TAccountServiceConfig& config,
                                     const char* location) {
    switch (result) {
    case CURLE_OPERATION_TIMEDOUT:
        throw corvane::ETax(
            corvane::FormatText("账户服务没有在%s秒内应答", SecondsText(config.timeoutSeconds)), location);
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
        throw corvane::ETax(corvane::FormatText("无法连接账户服务(%s)：%s", config.serviceAddress,
                                                curl_easy_strerror(result)),
                            location);
    default:
        throw corvane::ETax(corvane::FormatText("与账户服务通信失败(%s)：%s", config.serviceAddress,
                                                curl_easy_strerror(result)),
                            location);
    }
}

// The service's answer as JSON: its object on success, its "error" text raised otherwise.
nlohmann::ordered_json ReadAnswer(long status, const std::string& body, const char* location) {
    const nlohmann::ordered_json answer = nlohmann::ordered_json::parse(body, nullptr, false);
    const bool isObject = !answer.is_discarded() && answer.is_object();
    if (status >= 200 && status < 300) {
        if (!isObject)
            throw corvane::ETax("账户服务的应答无法解析", location);
        return answer;
    }
    if (isObject) {
        const auto error = answer.find("error");
        if (error != answer.end() && error->is_string() && !error->get_ref<const std::string&>().empty())
            throw corvane::ETax(error->get<std::string>(), location);
    }
    throw corvane::ETax(corvane::FormatText("账户服务应答了错误(HTTP %ld)", status), location);
}

nlohmann::ordered_json Call(const TAccountServiceConfig& config, const std::string& pathAndQuery,
                            const std::optional<std::string>& postBody, const char* location) {
    CurlEasy curl =
        MakeHttpHandle(config.serviceAddress + pathAndQuery, ServiceCallLimits(config.timeoutSeconds));
    CurlHeaderList headers;
    TCappedAnswer answer;
    CURL* handle = curl.get();
    bool configured =
        handle != nullptr && AppendCurlHeader(headers, "Accept: application/json") &&
        (!postBody || AppendCurlHeader(headers, "Content-Type: application/json; charset=utf-8")) &&
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK &&
        CollectAnswer(handle, answer);
    if (configured && postBody)
        configured = curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                                      static_cast<curl_off_t>(postBody->size())) == CURLE_OK &&
                     curl_easy_setopt(handle, CURLOPT_POSTFIELDS, postBody->c_str()) == CURLE_OK;
    if (!configured)
        throw corvane::ETax("无法为账户服务准备网络连接", location);

    const CURLcode result = PerformStoppable(handle);
    if (answer.tooLarge)
        throw corvane::ETax("账户服务的应答过大", location);
    if (result != CURLE_OK)
        RaiseTransferError(result, config, location);
    return ReadAnswer(AnswerStatus(handle), answer.body, location);
}

} // namespace

nlohmann::ordered_json PostToAccountService(const TAccountServiceConfig& config, const std::string& path,
                                            const nlohmann::ordered_json& body, const char* location) {
    std::string text;
    try {
        text = body.dump();
    } catch (const nlohmann::ordered_json::exception&) {
        throw corvane::ETax("发给账户服务的内容不是有效的UTF-8文本", location);
    }
    return Call(config, path, text, location);
}

nlohmann::ordered_json GetFromAccountService(const TAccountServiceConfig& config,
                                             const std::string& pathAndQuery, const char* location) {
    return Call(config, pathAndQuery, std::nullopt, location);
}

} // namespace qm
