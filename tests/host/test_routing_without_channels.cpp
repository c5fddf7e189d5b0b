#include <gtest/gtest.h>

#include "common/Paths.h"
#include "common/Routing.h"
#include "corvane/Khan.h"
#include "host/UIPlugin.h"

// Usage statistics are optional: an installation without the channels plug-in drops the event
// quietly instead of greeting the user with an error.
TEST(RoutingWithoutChannels, UsageEventIsDroppedQuietly) {
    ASSERT_FALSE(corvane::PluginFileExists(qm::AppPath() + "Skellow.dll"));
    qm::TUIPlugin host;
    corvane::Khan().SetHostPlugin(&host);
    EXPECT_NO_THROW(qm::SendFunctionKey(1, 1));
    EXPECT_FALSE(corvane::Khan().IsLoaded(qm::AppPath() + "Skellow.dll"));
    corvane::Khan_Free();
}
