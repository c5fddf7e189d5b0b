#pragma once

#include "corvane/BsonDocument.h"

#include <string>
#include <vector>

namespace qm {

// One component to check for updates: its "Upgrade.txt" and the state file its requester named.
struct TDownload_Upfile {
    std::string UpFile;
    std::string StateFile;
};

// Where a check request hands a component over. The check itself (fetching the update descriptor
// off the UI thread, the notice dialog, the downloads and the outcome by callback) belongs to the
// upgrade dialog; until it is built, handed-over checks wait here and no outcome is reported, so a
// requester hears nothing rather than a made-up result.
class TUpgradeCheckQueue {
public:
    // The request whose requester hears the outcome: each check request replaces it (a copy).
    void SetRequest(const corvane::TBSONDocument& request) { request_ = request; }
    const corvane::TBSONDocument& Request() const noexcept { return request_; }

    // Queues the check and returns at once.
    void QueueCheck(TDownload_Upfile upfile) { pending_.push_back(std::move(upfile)); }
    const std::vector<TDownload_Upfile>& Pending() const noexcept { return pending_; }

private:
    corvane::TBSONDocument request_;
    std::vector<TDownload_Upfile> pending_;
};

} // namespace qm
