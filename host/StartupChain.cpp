#include "host/StartupChain.h"

#include "common/DefaultBrowser.h"
#include "common/Paths.h"
#include "common/Routing.h"
#include "host/BootList.h"
#include "host/ErrorHandler.h"
#include "host/HostLog.h"
#include "host/StartupLog.h"
#include "host/StartupPreload.h"
#include "host/TaxLua.h"
#include "pictures/PngPack.h"
#include "pictures/StartupPictures.h"

namespace qm {

TStartupChain::TStartupChain() {
    bootTimer_.setInterval(1);
    QObject::connect(&bootTimer_, &QTimer::timeout, [this] { BootScripts(); });
    upgradeTimer_.setInterval(1);
    QObject::connect(&upgradeTimer_, &QTimer::timeout, [this] { UpgradeScript(); });
}

void TStartupChain::Start() {
    bootTimer_.start();
}

void TStartupChain::BootScripts() {
    bootTimer_.stop();
    const std::string bootFile = ConfigPath() + "boot.xml";
    if (!FileExists(bootFile)) {
        StartupLog("no boot.xml: the desk shows its frame only");
        StartBrowserPathLookup();
        done_ = true;
        return;
    }
    std::vector<std::string> scripts;
    try {
        scripts = ReadBootList(bootFile);
    } catch (const std::exception& error) {
        // The user sees why the desk stays empty; the rest of the start goes on.
        HandleDeskException(error);
    }
    WaitForFontConfiguration();
    for (const std::string& script : scripts) {
        if (!FileExists(script))
            continue;
        try {
            TaxLua().RunFile(script);
        } catch (const std::exception& error) {
            // A failing boot script must not keep the others from building the desk.
            qCWarning(lcHost, "boot script %s: %s", script.c_str(), error.what());
        }
    }
    if (OnBootScriptsRun)
        OnBootScriptsRun();
    try {
        RememberStartupPictures(PicturesPath(), PngPack().SmallLooseTaken());
    } catch (const std::exception& error) {
        // The next start decodes its icons itself.
        qCWarning(lcHost, "startup pictures: %s", error.what());
    }
    StartupLog("boot scripts finished");
    // Ahead, once the desk is built: a click that opens the browser never waits for xdg-settings.
    StartBrowserPathLookup();
    upgradeTimer_.start();
}

void TStartupChain::UpgradeScript() {
    upgradeTimer_.stop();
    done_ = true;
    TaxLua().RunFile(ConfigPath() + "Upgrade.lua");
    SendFunctionKey(1, 1);
    StartupLog("upgrade script finished");
}

} // namespace qm
