#pragma once

#include <string>

namespace corvane {
class TBSONDocument;
}

namespace qm::skellow {

// One usage event as the worker needs it: the request's texts, copied on the caller's thread.
struct TUsageEvent {
    std::string productId;
    std::string productVer;
    std::string bkUser;
    std::string functionKey;
    std::string logName; // the user the event is counted for; "" when the request has none

    // Copies the request's "FProductID", "FProductVer", "FBKUser", "FFunctionKey" and "LogName";
    // absent ones are "".
    static TUsageEvent FromRequest(const corvane::TBSONDocument& request);

    // Blank (after trimming) product, version, user and key become "0".
    void Normalise();
};

} // namespace qm::skellow
