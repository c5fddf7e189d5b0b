// The desk as a native Wayland client of a real compositor (weston, headless): the protocol it
// speaks (WAYLAND_DEBUG) names the desktop entry's id as its app id, and a message dialog names
// the desk's window as its parent, so that the compositor keeps it with the desk.
#include "TestInstallation.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <signal.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qmtest {
namespace {

namespace fs = std::filesystem;

// weston on its headless back end, on a socket of its own in a runtime folder of its own.
class TCompositor {
public:
    explicit TCompositor(const fs::path& runtime) : runtime_(runtime) {
        fs::create_directories(runtime_);
        fs::permissions(runtime_, fs::perms::owner_all);
        socket_ = "qm-wayland-" + std::to_string(getpid());
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent)
                _exit(1);
            setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
            const std::string log = (runtime_ / "weston.log").string();
            execlp("weston", "weston", "--backend=headless-backend.so", ("--socket=" + socket_).c_str(),
                   "--width=1280", "--height=800", "--idle-time=0", ("--log=" + log).c_str(), nullptr);
            _exit(127);
        }
    }
    ~TCompositor() {
        ::kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    bool WaitReady() const {
        return WaitUntil([&] { return fs::exists(runtime_ / socket_); }, 10s);
    }
    // The environment a client of this compositor runs with.
    std::vector<std::string> ClientEnvironment() const {
        return {"QT_QPA_PLATFORM=wayland", "XDG_RUNTIME_DIR=" + runtime_.string(),
                "WAYLAND_DISPLAY=" + socket_, "WAYLAND_DEBUG=client", "DISPLAY"};
    }

private:
    fs::path runtime_;
    std::string socket_;
    pid_t pid_ = -1;
};

// The object behind a request in a WAYLAND_DEBUG line: "xdg_toplevel@24" of " ->
// xdg_toplevel@24.set_app_id(...)".
std::vector<std::smatch> Requests(const std::string& output, const std::regex& request) {
    std::vector<std::smatch> found;
    for (std::sregex_iterator it(output.begin(), output.end(), request), end; it != end; ++it)
        found.push_back(*it);
    return found;
}

TEST(DeskOnWayland, AppIdIsTheDesktopEntrysAndDialogsNameTheDeskAsTheirParent) {
    TTestInstallation desk(UniqueTitle("wayland"));
    // An error of the upgrade script shows a message once the desk is up.
    desk.WriteFile("Config/Upgrade.lua", "plugin_invoke{req_id = 1}\n");
    TCompositor compositor(desk.Dir().parent_path() / "runtime");
    ASSERT_TRUE(compositor.WaitReady());

    const fs::path runs = desk.Dir().parent_path();
    THostProcess host(THostProcess::TOptions{desk.Dir() / "Quillmere", runs / "wayland.output.txt",
                                             runs / "wayland.dialogs.txt", desk.Dir(),
                                             compositor.ClientEnvironment()});
    ASSERT_TRUE(host.WaitForDialog()) << host.Output();
    const std::string output = host.Output();

    const auto appIds = Requests(output, std::regex("(xdg_toplevel@\\d+)\\.set_app_id\\(\"([^\"]*)\"\\)"));
    ASSERT_FALSE(appIds.empty()) << "the desk did not run as a Wayland client:\n" << output.substr(0, 2000);
    for (const std::smatch& appId : appIds)
        EXPECT_EQ(appId[2].str(), "quillmere") << "every window names the desktop entry";
    // The desk's window is the first toplevel; the message names it as its parent.
    const std::string deskWindow = appIds.front()[1].str();
    const auto parents =
        Requests(output, std::regex("(xdg_toplevel@\\d+)\\.set_parent\\((xdg_toplevel@\\d+)\\)"));
    ASSERT_FALSE(parents.empty()) << "no window named a parent";
    EXPECT_NE(parents.back()[1].str(), deskWindow);
    EXPECT_EQ(parents.back()[2].str(), deskWindow);
    EXPECT_EQ(host.Dialogs().size(), 1u);
}

} // namespace
} // namespace qmtest
