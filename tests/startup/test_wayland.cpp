// The desk as a native Wayland client of a real compositor (weston, headless): the protocol it
// speaks (WAYLAND_DEBUG) names the desktop entry's id as its window's app id, so that docks match
// the window to quillmere.desktop.
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

TEST(DeskOnWayland, AppIdIsTheDesktopEntrys) {
    TTestInstallation desk(UniqueTitle("wayland"));
    TCompositor compositor(desk.Dir().parent_path() / "runtime");
    ASSERT_TRUE(compositor.WaitReady());

    const fs::path runs = desk.Dir().parent_path();
    THostProcess host(THostProcess::TOptions{desk.Dir() / "Quillmere", runs / "wayland.output.txt",
                                             runs / "wayland.dialogs.txt", desk.Dir(),
                                             compositor.ClientEnvironment()});
    ASSERT_TRUE(host.WaitForOutput("set_app_id")) << host.Output().substr(0, 4000);
    ASSERT_TRUE(host.RoundTrip());
    const std::string output = host.Output();
    const auto appIds = Requests(output, std::regex("(xdg_toplevel@\\d+)\\.set_app_id\\(\"([^\"]*)\"\\)"));
    ASSERT_FALSE(appIds.empty()) << "the desk did not run as a Wayland client:\n" << output.substr(0, 4000);
    for (const std::smatch& appId : appIds)
        EXPECT_EQ(appId[2].str(), "quillmere") << "every window names the desktop entry";
    EXPECT_TRUE(host.Running());
}

} // namespace
} // namespace qmtest
