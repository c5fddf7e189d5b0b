#pragma once

#include <string>

namespace qm::server {

// What the access log shows of a request: its target, except that the query string of the account
// paths ("/account/", "/myaccount/", also under a test prefix such as "/hang") is left out, since
// it carries login tokens. path is the request's path without the query, target the full one.
std::string LoggedTarget(const std::string& path, const std::string& target);

} // namespace qm::server
