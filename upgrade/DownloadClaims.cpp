#include "upgrade/DownloadClaims.h"

#include "common/AsyncTask.h"
#include "common/Paths.h"

#include <QObject>
#include <QPointer>
#include <algorithm>
#include <map>
#include <vector>

namespace qm::download_claims {

namespace {

struct TJoiner {
    QPointer<QObject> owner;
    std::function<void(TEnd, const std::string&)> onEnd;
};

struct TFileClaim {
    std::string url;
    const QObject* owner = nullptr;
    std::vector<TJoiner> joiners;
};

std::map<std::string, TFileClaim>& Claims() {
    static std::map<std::string, TFileClaim> claims;
    return claims;
}

} // namespace

TClaim Claim(const std::string& file, const std::string& url, QObject* owner,
             std::function<void(TEnd, const std::string&)> onEnd) {
    auto& claims = Claims();
    const std::string key = ToNativePath(file);
    const auto found = claims.find(key);
    if (found == claims.end() || found->second.owner == owner) {
        claims[key] = TFileClaim{url, owner, {}};
        return TClaim::Granted;
    }
    if (found->second.url != url)
        return TClaim::Refused;
    found->second.joiners.push_back(TJoiner{owner, std::move(onEnd)});
    return TClaim::Joined;
}

void Release(const std::string& file, const QObject* owner, TEnd end, const std::string& reason) {
    auto& claims = Claims();
    const auto found = claims.find(ToNativePath(file));
    if (found == claims.end() || found->second.owner != owner)
        return;
    std::vector<TJoiner> joiners = std::move(found->second.joiners);
    claims.erase(found);
    for (TJoiner& joiner : joiners) {
        if (!joiner.owner)
            continue;
        // Later, so that a joiner that starts its next task does not find the file still claimed
        // by a window that is half-way through ending its own.
        CallBackOn(joiner.owner.data(),
                   [onEnd = std::move(joiner.onEnd), end, reason] { onEnd(end, reason); });
    }
}

void Leave(const std::string& file, const QObject* owner) {
    auto& claims = Claims();
    const auto found = claims.find(ToNativePath(file));
    if (found == claims.end())
        return;
    auto& joiners = found->second.joiners;
    joiners.erase(std::remove_if(joiners.begin(), joiners.end(),
                                 [owner](const TJoiner& joiner) { return joiner.owner == owner; }),
                  joiners.end());
}

} // namespace qm::download_claims
