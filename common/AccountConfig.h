#pragma once

#include <optional>
#include <string>

// Where the account service is, as the installation's branding file "brennik.xml" (in ConfigPath)
// says: the root's direct children, names compared without regard to case,
//   accountservice_addr     base address of the account service ("https://host" or "https://host/api");
//                           plain http only to this machine's loopback
//   tokenlogin_addr         web host of the token-login page; default: accountservice_addr
//   accountservice_timeout  seconds a call may take in all; default 15
namespace qm {

struct TAccountServiceConfig {
    std::string serviceAddress;    // without a trailing "/"
    std::string tokenLoginAddress; // without a trailing "/"
    double timeoutSeconds = 15;
};

// nullopt when the branding file or its "accountservice_addr" is missing or blank: the component
// is then not installed. A branding file that does not parse raises ETax, and so does a service
// address that would carry passwords in clear ("账户服务地址必须使用 https": plain http to a host
// other than 127.0.0.0/8, [::1] or localhost), after writing it to the log.
std::optional<TAccountServiceConfig> ReadAccountServiceConfig();

// The token-login page with its "sendTo" query opened, ready for the encoded target address:
// tokenlogin host + "/myaccount/loginSend.do?sendTo=". Raises ETax when no address is configured.
std::string TokenLoginEndpoint();

} // namespace qm
