// The start-up chain of the real host program in real installation folders: the boot scripts that
// boot.xml lists, then Config/Upgrade.lua, then the start-up usage event to the channels plug-in.
#include "TestInstallation.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace qmtest {
namespace {

using Lines = std::vector<std::string>;

const std::string kStartupUsage = "usage S2S007S037S001S001";

TEST(BootSequence, RunsListedScriptsInOrderPastMissingAndFailingOnesThenUpgradeScriptThenUsageEvent) {
    TTestInstallation desk(UniqueTitle("boot order"));
    desk.WriteFile("Config/Scripts/first.lua", RecordStatement("first boot script"));
    // plugin_invoke without "plugin" raises ELua inside the script.
    desk.WriteFile("Config/Scripts/third.lua", RecordStatement("third boot script") +
                                                   "plugin_invoke{req_id = 1}\n" +
                                                   RecordStatement("third boot script after its error"));
    desk.WriteFile("Config/Scripts/fourth.lua", RecordStatement("fourth boot script"));
    desk.WriteFile("Config/Upgrade.lua", RecordStatement("upgrade script"));
    // Element names do not matter; text and comments between the elements are no entries; paths
    // may be written the Windows way, and may be absolute.
    desk.WriteFile("Config/boot.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<start>\r\n"
                                      "  <script file=\"Config\\Scripts\\first.lua\"/>\r\n"
                                      "  <!-- the second entry names a file that is not there -->\r\n"
                                      "  <entry file=\"Config\\Scripts\\missing.lua\"/>\r\n"
                                      "  <other file=\"" +
                                          (desk.Dir() / "Config/Scripts/third.lua").string() +
                                          "\"/>\r\n"
                                          "  <script file=\"Config/Scripts/fourth.lua\"/>\r\n</start>\r\n");

    auto host = desk.Start("desk");
    ASSERT_TRUE(host->WaitForOutput("upgrade script finished")) << host->Output();

    EXPECT_EQ(desk.Evidence(), (Lines{"first boot script", "third boot script", "fourth boot script",
                                      "upgrade script", kStartupUsage}));
    const std::string output = host->Output();
    EXPECT_LT(output.find("boot scripts finished"), output.find("upgrade script finished")) << output;
    // The missing file and the failing script were passed over quietly: nothing logged, nothing
    // shown, and the desk goes on.
    EXPECT_TRUE(desk.LogFiles().empty());
    EXPECT_TRUE(host->Dialogs().empty());
    EXPECT_TRUE(host->Running());
}

TEST(BootSequence, WithoutBootXmlTheDeskKeepsItsFrameOnly) {
    TTestInstallation desk(UniqueTitle("no boot.xml"));
    desk.WriteFile("Config/Upgrade.lua", RecordStatement("upgrade script"));

    auto host = desk.Start("desk");
    ASSERT_TRUE(host->WaitForOutput("no boot.xml")) << host->Output();
    ASSERT_TRUE(host->RoundTrip()) << host->Output();

    // Neither the upgrade script nor the usage event came.
    EXPECT_EQ(desk.Evidence(), Lines{});
    EXPECT_FALSE(host->OutputContains("boot scripts finished"));
    EXPECT_FALSE(host->OutputContains("upgrade script finished"));
    EXPECT_TRUE(host->Dialogs().empty());
    EXPECT_TRUE(host->Running());
}

TEST(BootSequence, MalformedBootXmlIsLoggedAndShownAndTheStartGoesOn) {
    TTestInstallation desk(UniqueTitle("malformed boot.xml"));
    desk.WriteFile("Config/Scripts/desk.lua", RecordStatement("boot script"));
    desk.WriteFile("Config/Upgrade.lua", RecordStatement("upgrade script"));
    desk.WriteFile("Config/boot.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<start>\r\n"
                                      "  <script file=\"Config/Scripts/desk.lua\">\r\n");
    const std::string message = "文件(" + (desk.Dir() / "Config/boot.xml").string() + ")格式错误：";

    auto host = desk.Start("desk");
    ASSERT_TRUE(host->WaitForDialog()) << host->Output();
    EXPECT_TRUE(host->Dialogs().front().message.starts_with(message)) << host->Dialogs().front().message;
    const auto logs = desk.LogFiles();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(ReadWholeFile(logs.front()).find("\r\nClass:ETax\r\nMsg:" + message), std::string::npos);
    // Once the message is closed, the rest of the start goes on.
    ASSERT_TRUE(host->WaitForOutput("upgrade script finished")) << host->Output();
    EXPECT_EQ(desk.Evidence(), (Lines{"upgrade script", kStartupUsage}));
    EXPECT_TRUE(host->Running());
}

TEST(BootSequence, MissingUpgradeScriptIsNoErrorAndTheUsageEventStillGoes) {
    TTestInstallation desk(UniqueTitle("no Upgrade.lua"));
    desk.WriteFile("Config/Scripts/desk.lua", RecordStatement("boot script"));
    desk.WriteBootXml({"Config/Scripts/desk.lua"});

    auto host = desk.Start("desk");
    ASSERT_TRUE(host->WaitForOutput("upgrade script finished")) << host->Output();

    EXPECT_EQ(desk.Evidence(), (Lines{"boot script", kStartupUsage}));
    EXPECT_TRUE(desk.LogFiles().empty());
    EXPECT_TRUE(host->Dialogs().empty());
    EXPECT_TRUE(host->Running());
}

} // namespace
} // namespace qmtest
