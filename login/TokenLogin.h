#pragma once

#include <string>

namespace qm {

// The account service's token-login page, ready for the twice-encoded address to be appended:
// the host from "tokenlogin_addr" (else "accountservice_addr") of "brennik.xml" followed by
// "/myaccount/loginSend.do?sendTo=". Raises ETax when neither is set.
std::string TokenLoginEndpoint();

} // namespace qm
