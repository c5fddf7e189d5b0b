#pragma once

#include "corvane/Plugin.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace qm::skellow {

class TChanThrd;

// The channels plug-in's plugin object: forum and home pages through the login plug-in (requests
// 1 and 2), the app-store catalogue refresh (101) and usage events (301), which a worker thread
// counts in "BKLOG/" and ships to the logging service. One per process (see CreatePlugin).
class TPluginSkellow : public corvane::TClientPlugin {
public:
    TPluginSkellow();
    ~TPluginSkellow() override;

    // The process's one instance, or nullptr when there is none.
    static TPluginSkellow* Instance() noexcept { return instance_; }

    // Forum page: login plug-in request 9 with "UrlNode" = "forum_addr", "NoLogin" = false.
    void REQ_1(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Home page: request 9 with "UrlNode" = "home_addr", "NoLogin" = true.
    void REQ_2(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Refreshes the store addresses and prices in the app-store catalogue; errors reach the sender.
    void REQ_101(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Queues a usage event for the worker and returns at once; nothing when statistics are off
    // ("usage_statistics" = 0 in SysConfig.Xml when the plug-in was created).
    void REQ_301(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override;

private:
    static inline TPluginSkellow* instance_ = nullptr;

    // The worker, started once (under the lock; a start that fails is tried again by the next
    // event); raises what starting it raises.
    TChanThrd* StartWorker();

    bool statisticsOn_ = true;
    std::mutex workerLock_;                        // guards starting the worker
    std::unique_ptr<TChanThrd> worker_;            // created by the first usage event
    std::atomic<TChanThrd*> workerReady_{nullptr}; // worker_ once started: the lock-free way in
};

} // namespace qm::skellow
