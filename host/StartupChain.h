#pragma once

#include <QTimer>
#include <functional>

namespace qm {

// What runs once the message loop runs: each script that "Config/boot.xml" lists, then
// "Config/Upgrade.lua" and the start-up usage event, each from a timer of its own so that the desk
// paints in between.
class TStartupChain {
public:
    TStartupChain();
    TStartupChain(const TStartupChain&) = delete;
    TStartupChain& operator=(const TStartupChain&) = delete;

    // Starts the chain; its first step runs from the event loop.
    void Start();
    // Whether the chain has finished (the upgrade script ran, or there was no boot.xml).
    bool Done() const noexcept { return done_; }

    // Called once the boot scripts have run, before the upgrade script (not without boot.xml).
    std::function<void()> OnBootScriptsRun;

private:
    void BootScripts();
    void UpgradeScript();

    QTimer bootTimer_;
    QTimer upgradeTimer_;
    bool done_ = false;
};

} // namespace qm
