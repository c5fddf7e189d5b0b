#include "services/AccessLog.h"

namespace qm::server {

std::string LoggedTarget(const std::string& path, const std::string& target) {
    const bool accountPath =
        path.find("/account/") != std::string::npos || path.find("/myaccount/") != std::string::npos;
    return accountPath ? path : target;
}

} // namespace qm::server
