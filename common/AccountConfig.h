#pragma once

#include <optional>
#include <string>

// Where the account service is, as the installation's branding file "brennik.xml" (in ConfigPath)
// says: the root's direct children, names compared without regard to case,
//   accountservice_addr     base address of the account service ("https://host" or "https://host/api")
//   tokenlogin_addr         web host of the token-login page; default: accountservice_addr
//   accountservice_timeout  seconds a call may take in all; default 15
namespace qm {

struct TAccountServiceConfig {
    std::string serviceAddress;    // without a trailing "/"
    std::string tokenLoginAddress; // without a trailing "/"
    double timeoutSeconds = 15;
};

// nullopt when the branding file or its "accountservice_addr" is missing or blank: the component
// is then not installed. A branding file that does not parse raises ETax.
std::optional<TAccountServiceConfig> ReadAccountServiceConfig();

// The token-login page with its "sendTo" query opened, ready for the encoded target address:
// tokenlogin host + "/myaccount/loginSend.do?sendTo=". Raises ETax when no address is configured.
std::string TokenLoginEndpoint();

} // namespace qm
