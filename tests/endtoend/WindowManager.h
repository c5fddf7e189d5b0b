#pragma once

#include "XServer.h"

#include <QRect>
#include <filesystem>
#include <string>
#include <sys/types.h>

namespace qmtest {

// A real window manager (openbox) on the test's X server, with panels: the margins it keeps free
// along the screen's edges make the work area it announces (_NET_WORKAREA). Stopped with this object.
class TWindowManager {
public:
    // Waits until the manager runs and announces the work area; throws when it does not.
    TWindowManager(const TXServer& server, const std::filesystem::path& folder, int top, int left);
    ~TWindowManager();
    TWindowManager(const TWindowManager&) = delete;
    TWindowManager& operator=(const TWindowManager&) = delete;

    // The work area the manager announced.
    QRect WorkArea() const;

private:
    const TXServer& server_;
    pid_t pid_ = -1;
};

// The ids of the visible top-level windows of process pid ("0x..." as xdotool prints them, decimal).
std::vector<std::string> WindowIds(const TXServer& server, pid_t pid);
// A window property as xprop prints it ("" when the window has none).
std::string WindowProperty(const TXServer& server, const std::string& window, const std::string& property);

} // namespace qmtest
