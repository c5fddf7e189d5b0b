#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace qm::bench {

// Where the benches' programs show their windows.
enum class TPlatform { Xcb, Wayland, Offscreen };

// "xcb", "wayland" or "offscreen"; nothing for any other name.
std::optional<TPlatform> PlatformNamed(std::string_view name);

// The display of one bench run: an X server (the one $DISPLAY names, else an Xvfb started here), a
// Wayland compositor (the one $WAYLAND_DISPLAY names, else a headless weston started here), or
// Qt's offscreen platform. A server started here has an 800 x 600 screen, as the offscreen
// platform has, and is stopped with this object.
class TDisplayServer {
public:
    explicit TDisplayServer(TPlatform platform);
    ~TDisplayServer();
    TDisplayServer(const TDisplayServer&) = delete;
    TDisplayServer& operator=(const TDisplayServer&) = delete;

    // Whether the display is there; when not, the reason was printed on standard error.
    bool Ready() const noexcept { return ready_; }
    // For the bench's heading, e.g. "xcb on an Xvfb started by the bench (:3)".
    const std::string& Description() const noexcept { return description_; }
    // Prefixes of the variables a program's environment must lose, and the variables ("NAME=value")
    // it gets instead, to show its windows here.
    std::vector<std::string_view> Dropped() const;
    const std::vector<std::string>& Added() const noexcept { return added_; }

private:
    bool StartXvfb();
    bool StartWeston();

    pid_t server_ = -1;
    std::filesystem::path runtimeDir_; // a Wayland compositor's sockets, when started here
    bool ready_ = false;
    std::string description_;
    std::vector<std::string> added_;
};

} // namespace qm::bench
