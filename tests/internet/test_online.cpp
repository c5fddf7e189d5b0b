#include "common/Internet.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <net/if.h>
#include <string>

namespace qm {
namespace {

// The interfaces' state as the kernel publishes it under /sys/class/net, read independently of
// the interface list that IsOnline asks for.
bool SysfsShowsActiveInterface() {
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/net")) {
        unsigned long flags = 0;
        std::ifstream(entry.path() / "flags") >> std::hex >> flags;
        std::string state;
        std::ifstream(entry.path() / "operstate") >> state;
        const bool running = state == "up" || state == "unknown";
        if ((flags & IFF_UP) && !(flags & IFF_LOOPBACK) && running)
            return true;
    }
    return false;
}

class OnlineTest : public ::testing::Test {
protected:
    void TearDown() override { SetOnlineOverrideForTesting(std::nullopt); }
};

TEST_F(OnlineTest, FollowsTheSystemsInterfaces) {
    EXPECT_EQ(IsOnline(), SysfsShowsActiveInterface());
}

TEST_F(OnlineTest, TestOverrideWinsUntilCleared) {
    const bool system = IsOnline();
    SetOnlineOverrideForTesting(!system);
    EXPECT_EQ(IsOnline(), !system);
    SetOnlineOverrideForTesting(system);
    EXPECT_EQ(IsOnline(), system);
    SetOnlineOverrideForTesting(std::nullopt);
    EXPECT_EQ(IsOnline(), SysfsShowsActiveInterface());
}

} // namespace
} // namespace qm
