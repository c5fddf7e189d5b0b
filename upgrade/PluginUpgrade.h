#pragma once

#include "corvane/Plugin.h"

#include <QTimer>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qm {

class TDownload_EXE;
class TFrmUpgrade;

// The upgrade plug-in's plugin object: update checks of installed components, downloads of
// programs with a window for the caller to dock, and (later) store applications. Long-running work
// reports by the callback convention (common/CallBack.h). One per process (see CreatePlugin).
class TUpgrade : public corvane::TClientPlugin {
public:
    TUpgrade();
    // Frees the download jobs too: their windows' code goes with this library.
    ~TUpgrade() override;

    // The process's one instance, or nullptr when there is none.
    static TUpgrade* Instance() noexcept { return instance_; }

    // Checks the component of "upfile" ("StateFile" for its state); offline: nothing at all.
    void REQ_1(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Downloads "IntelFile" to "LocalFile" and runs it with "params"; answers "inst", the job's
    // download window. An optional "sha256" must match the file before it is run (PackageIntegrity.h).
    // Offline: nothing, no "inst".
    void REQ_2(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Opens store application "app_id": installs it when it is not installed, updates it when the
    // store offers another version, then has the host run its "main.lua". Answers "state" (whether
    // the install or update was done) when one was attempted.
    void REQ_3(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Frees every download job (and with it its window).
    void REQ_99(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // The outcome of a check this object asked for: LastResult := "Result".
    void CallBack(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);

    // Shows the upgrade notice a check has prepared (run by ShowTimer on the UI thread).
    void ShowUpgradeDialog();

    // Null until the first check request made online.
    TFrmUpgrade* UpgradeForm() const noexcept { return UpgradeForm_.get(); }
    // 10 ms, started by a check that queued a main package, stopped by its tick.
    const QTimer& ShowTimer() const noexcept { return ShowTimer_; }
    // appid -> job; duplicate and empty keys allowed.
    using TAppJobs = std::vector<std::pair<std::string, std::unique_ptr<TDownload_EXE>>>;
    const TAppJobs& AppJobs() const noexcept { return AppJobs_; }
    int LastResult() const noexcept { return LastResult_; }

    // Checks the application in folder path (relative to AppPath) for an update through REQ_1 and
    // waits for the outcome with the UI running (WaitForResult); 99 when none can come any more.
    int UpgradeApp(const std::string& id, const std::string& path, const std::string& params);

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override;

private:
    // Whether anything that could still report to CallBack is under way.
    bool ResultMayStillCome() const;

    std::unique_ptr<TFrmUpgrade> UpgradeForm_;
    QTimer ShowTimer_;
    TAppJobs AppJobs_;
    int LastResult_ = 0;

    static inline TUpgrade* instance_ = nullptr;
};

} // namespace qm
