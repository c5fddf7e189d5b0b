#pragma once

#include "HostProcess.h"
#include "TestInstallation.h"
#include "XServer.h"
#include "tests/support/TabStripPoints.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace qmtest {

// The sample installation as it is installed — the host, the runtime library, the sample's
// configuration, scripts, pictures and image store, and the desk tools plug-in — laid out in a
// temporary folder under a title of its own, and its host started on an X server with the trace
// channel on. The channels plug-in is the start-up tests' recorder, so no usage statistics leave
// the machine. One more boot script reports the desk's border width, and extraScript, when given,
// runs as the last boot script. The top-window test plug-in is there as
// "Plugins\TopWindow\TopWindow.dll". The upgrade plug-in and the decompression tool are there as
// they are installed. prepare, when given, sees the installation folder before the host starts.
// Modal dialogs are recorded and clicked away, unless watchDialogs is false: then they stay up for
// the test to answer.
// The desk frame's tab strip as it sets it up in a desk window at window, not scrolled.
qm::test::TStripLayout DeskStrip(const QRect& window);
// A point of that strip (strip coordinates) on the screen.
QPoint OnDeskStrip(const QRect& window, QPoint at);

class TSampleDesk {
public:
    explicit TSampleDesk(const TXServer& server, const std::string& extraScript = "",
                         const std::function<void(const std::filesystem::path&)>& prepare = {},
                         bool watchDialogs = true);
    ~TSampleDesk();
    TSampleDesk(const TSampleDesk&) = delete;
    TSampleDesk& operator=(const TSampleDesk&) = delete;

    THostProcess& Host() const { return *host_; }
    const std::filesystem::path& Dir() const noexcept { return installation_.Dir(); }

    // A picture of the installation: loose files from Pictures/, or "pack:" + a name from the
    // image store.
    QImage Picture(const std::string& name) const;
    // The border width of the desk container, as the boot scripts were told it.
    int Border() const noexcept { return border_; }

    // Occurrences of text in the host's output.
    int Count(const std::string& text) const;

    // Starts the installation's host once more on the same server; name tags its output files.
    std::unique_ptr<THostProcess> Start(const std::string& name) const;

private:
    const TXServer& server_;
    TTestInstallation installation_;
    std::unique_ptr<THostProcess> host_;
    int border_ = 0;
    bool watchDialogs_ = true;
};

} // namespace qmtest
