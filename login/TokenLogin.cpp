#include "login/TokenLogin.h"

#include "corvane/Errors.h"
#include "login/Branding.h"

namespace qm {

std::string TokenLoginEndpoint() {
    std::string host = FindBrandingAddress("tokenlogin_addr").value_or("");
    if (host.empty())
        host = FindBrandingAddress("accountservice_addr").value_or("");
    if (host.empty())
        throw corvane::ETax("没有设置帐户服务的网址", "TokenLoginEndpoint: string");
    while (!host.empty() && host.back() == '/')
        host.pop_back();
    return host + "/myaccount/loginSend.do?sendTo=";
}

} // namespace qm
