// One desk per instance name: a second start of the host is refused with a message and creates no
// desk, a killed first instance never blocks the next start, and an empty app_title means the
// name "QuillmereExe".
#include "TestInstallation.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace qmtest {
namespace {

using Lines = std::vector<std::string>;

const std::string kAlreadyRunning = "程序已经运行!";

// A desk whose one boot script records "boot script".
std::unique_ptr<TTestInstallation> DeskWithBootScript(const std::string& title) {
    auto desk = std::make_unique<TTestInstallation>(title);
    desk->WriteFile("Config/Scripts/desk.lua", RecordStatement("boot script"));
    desk->WriteBootXml({"Config\\Scripts\\desk.lua"});
    return desk;
}

// The process showed the refusal over no window of its own, and ended normally once it was closed,
// without running any script.
void ExpectRefused(THostProcess& process) {
    ASSERT_TRUE(process.WaitForDialog()) << process.Output();
    const auto status = process.WaitForExit();
    ASSERT_TRUE(status.has_value()) << "the refused process did not end after its message was closed";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status;
    const auto dialogs = process.Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs.front().message, kAlreadyRunning);
    EXPECT_EQ(dialogs.front().otherWindows, "");
    EXPECT_FALSE(process.OutputContains("boot scripts finished")) << process.Output();
}

TEST(SingleInstance, SecondStartIsRefusedAndLeavesTheFirstRunning) {
    const auto desk = DeskWithBootScript(UniqueTitle("twice"));
    auto first = desk->Start("first");
    ASSERT_TRUE(first->WaitForOutput("upgrade script finished")) << first->Output();
    const Lines firstEvidence = desk->Evidence();

    auto second = desk->Start("second");
    ExpectRefused(*second);

    EXPECT_EQ(desk->Evidence(), firstEvidence);
    EXPECT_TRUE(first->Running());
    EXPECT_TRUE(first->Dialogs().empty());
    // The first still holds the name: a third start is refused as well.
    auto third = desk->Start("third");
    ExpectRefused(*third);
}

TEST(SingleInstance, StartsAgainAfterTheFirstWasKilled) {
    const auto desk = DeskWithBootScript(UniqueTitle("after kill"));
    auto first = desk->Start("first");
    ASSERT_TRUE(first->WaitForOutput("boot scripts finished")) << first->Output();
    first->Kill(SIGKILL);

    auto next = desk->Start("next");
    ASSERT_TRUE(next->WaitForOutput("boot scripts finished")) << next->Output();
    EXPECT_TRUE(next->Dialogs().empty());
    EXPECT_TRUE(next->Running());
    const Lines evidence = desk->Evidence();
    EXPECT_EQ(std::count(evidence.begin(), evidence.end(), "boot script"), 2);
}

TEST(SingleInstance, EmptyTitleTakesTheNameQuillmereExe) {
    // Whoever else runs a desk without a title on this machine would hold the same name.
    const auto first = DeskWithBootScript("");
    // An error of the upgrade script shows the desk's caption beside its message: empty as well.
    first->WriteFile("Config/Upgrade.lua", "plugin_invoke{req_id = 1}\n");
    auto firstRun = first->Start("first");
    ASSERT_TRUE(firstRun->WaitForDialog())
        << "is another desk without a title running? " << firstRun->Output();
    EXPECT_TRUE(firstRun->Dialogs().front().otherWindows.ends_with("TFrmDesk:"))
        << firstRun->Dialogs().front().otherWindows;

    // Another installation without a title, and one titled "QuillmereExe", are refused.
    const auto untitled = DeskWithBootScript("");
    auto untitledRun = untitled->Start("untitled");
    ExpectRefused(*untitledRun);
    EXPECT_EQ(untitled->Evidence(), Lines{});

    const auto named = DeskWithBootScript("QuillmereExe");
    auto namedRun = named->Start("named");
    ExpectRefused(*namedRun);
    EXPECT_EQ(named->Evidence(), Lines{});

    // A different name is not held.
    const auto other = DeskWithBootScript(UniqueTitle("beside the untitled desk"));
    auto otherRun = other->Start("other");
    EXPECT_TRUE(otherRun->WaitForOutput("boot scripts finished")) << otherRun->Output();
    EXPECT_TRUE(firstRun->Running());
}

} // namespace
} // namespace qmtest
