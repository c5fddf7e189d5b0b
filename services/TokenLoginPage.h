#pragma once

#include "services/SessionBook.h"

#include <httplib.h>
#include <optional>
#include <string>
#include <string_view>

namespace qm::server {

// GET /myaccount/loginSend.do?sendTo=<address>&token=<token>: the page a browser opens to arrive
// logged in. The program encodes the address twice, so the query value, once the server has
// decoded it, is still percent-encoded and is decoded here once more. A valid token is used up
// and answered with 302 to the address; a missing, unknown or expired token gets 403, an address
// that is not http(s) gets 400, both as small HTML pages.
void AnswerTokenLogin(SessionBook& sessions, const httplib::Request& request, httplib::Response& response);

// Percent-decoding ("%41" -> "A"; "+" stays "+"); nullopt for a broken escape.
std::optional<std::string> PercentDecode(std::string_view text);

// True for an absolute http:// or https:// address with a host and no control characters, the
// only kind of address the page redirects to (never javascript:, data: or a relative path).
bool IsWebAddress(std::string_view address);

} // namespace qm::server
