#pragma once

#include "common/AccountConfig.h"

#include <nlohmann/json.hpp>
#include <string>

// One call of the account service over HTTP(S): blocking, on any thread, no event processing,
// certificates checked, and never longer than the configured time limit. Request bodies travel
// only in the POST body, so secrets never appear in an address or a log line.
namespace qm {

// POSTs `body` as JSON to the service address + `path` ("/account/login") and answers the JSON
// object the service sent. Raises ETax (with `location`) when the time limit passes, the service
// cannot be reached, or it answers an error: then the service's own "error" text is the message.
nlohmann::ordered_json PostToAccountService(const TAccountServiceConfig& config, const std::string& path,
                                            const nlohmann::ordered_json& body, const char* location);

// The same with GET; `pathAndQuery` carries an already encoded query.
nlohmann::ordered_json GetFromAccountService(const TAccountServiceConfig& config,
                                             const std::string& pathAndQuery, const char* location);

} // namespace qm
