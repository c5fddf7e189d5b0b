#include "common/AccountConfig.h"

#include "common/BrandingFile.h"
#include "common/LogChannels.h"
#include "common/Paths.h"
#include "common/TextTrim.h"
#include "common/XmlConfig.h"
#include "corvane/Errors.h"
#include "corvane/TextCase.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace qm {

namespace {

constexpr double kDefaultTimeoutSeconds = 15;

std::string WithoutTrailingSlashes(std::string address) {
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    return address;
}

bool IsLoopbackHost(const std::string& host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        in6_addr v6{};
        const std::string inner = host.substr(1, host.size() - 2);
        return inet_pton(AF_INET6, inner.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
    }
    if (corvane::SameText(host, "localhost"))
        return true;
    in_addr v4{};
    return inet_pton(AF_INET, host.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127;
}

// Whether a password sent to the address stays off the network in clear: https anywhere, plain
// http only to this machine's loopback. An address without a scheme is taken as http, as the
// network library takes it. Anything that does not parse plainly (user info, a port that is not
// a number, a host in another spelling) counts as unsafe.
bool KeepsPasswordsOffTheWire(const std::string& address) {
    const auto schemeEnd = address.find("://");
    const std::string scheme = schemeEnd == std::string::npos
                                   ? std::string("http")
                                   : corvane::LowerAscii(address.substr(0, schemeEnd));
    if (scheme == "https")
        return true;
    if (scheme != "http")
        return false;
    const std::size_t start = schemeEnd == std::string::npos ? 0 : schemeEnd + 3;
    const std::string authority = address.substr(start, address.find_first_of("/?#", start) - start);
    if (authority.empty() || authority.find('@') != std::string::npos)
        return false;
    // A bracketed IPv6 host ends at "]" (npos + 1 is 0: no "]"), any other at the port's ":".
    const std::size_t hostEnd = authority.front() == '[' ? authority.find(']') + 1 : authority.find(':');
    if (hostEnd == 0)
        return false;
    const std::string host = authority.substr(0, hostEnd);
    const std::string port = hostEnd < authority.size() ? authority.substr(hostEnd) : std::string();
    const bool portPlain = port.empty() || (port.size() > 1 && port.front() == ':' &&
                                            port.find_first_not_of("0123456789", 1) == std::string::npos);
    return portPlain && IsLoopbackHost(host);
}

[[noreturn]] void RefuseClearAddress() {
    const std::string message = "账户服务地址必须使用 https";
    // The file, not the address: an address may carry user info that is no one's business.
    LogWarning(lcCommon, message + "(" + BrandingFile() + ")");
    throw corvane::ETax(message, "ReadAccountServiceConfig: TAccountServiceConfig");
}

} // namespace

std::optional<TAccountServiceConfig> ReadAccountServiceConfig() {
    TXmlConfig branding;
    if (!OpenBrandingFile(branding))
        return std::nullopt;
    TAccountServiceConfig config;
    config.serviceAddress = WithoutTrailingSlashes(TrimmedCopy(branding.ReadString("accountservice_addr")));
    if (config.serviceAddress.empty())
        return std::nullopt;
    if (!KeepsPasswordsOffTheWire(config.serviceAddress))
        RefuseClearAddress();
    config.tokenLoginAddress = WithoutTrailingSlashes(TrimmedCopy(branding.ReadString("tokenlogin_addr")));
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
