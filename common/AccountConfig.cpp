#include "common/AccountConfig.h"

#include "common/Paths.h"
#include "common/XmlConfig.h"
#include "corvane/Errors.h"

namespace qm {

namespace {

constexpr double kDefaultTimeoutSeconds = 15;

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string WithoutTrailingSlashes(std::string address) {
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    return address;
}

std::string BrandingFile() {
    return ConfigPath() + "brennik.xml";
}

} // namespace

std::optional<TAccountServiceConfig> ReadAccountServiceConfig() {
    const std::string file = BrandingFile();
    if (!FileExists(file))
        return std::nullopt;
    TXmlConfig branding;
    branding.Open(file);
    TAccountServiceConfig config;
    config.serviceAddress = WithoutTrailingSlashes(Trimmed(branding.ReadString("accountservice_addr")));
    if (config.serviceAddress.empty())
        return std::nullopt;
    config.tokenLoginAddress = WithoutTrailingSlashes(Trimmed(branding.ReadString("tokenlogin_addr")));
    if (config.tokenLoginAddress.empty())
        config.tokenLoginAddress = config.serviceAddress;
    const double timeout = branding.ReadFloat("accountservice_timeout");
    config.timeoutSeconds = timeout > 0 ? timeout : kDefaultTimeoutSeconds;
    return config;
}

std::string TokenLoginEndpoint() {
    const std::optional<TAccountServiceConfig> config = ReadAccountServiceConfig();
    if (!config)
        throw corvane::ETax(
            corvane::FormatText("配置文件(%s)没有给出账户服务地址(accountservice_addr)", BrandingFile()),
            "TokenLoginEndpoint");
    return config->tokenLoginAddress + "/myaccount/loginSend.do?sendTo=";
}

} // namespace qm
