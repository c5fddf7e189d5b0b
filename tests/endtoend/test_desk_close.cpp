// The desk's close button ends the program, also while another top-level window of the process is
// open, so that the instance lock goes with it and the next start is not refused.
#include "SampleDesk.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace qmtest {
namespace {

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 800;

// A window of a plug-in of its own beside the desk, away from the title buttons.
const char* const kOtherWindowScript =
    "local shown = plugin_invoke({plugin = \"Plugins\\\\TopWindow\\\\TopWindow.dll\", req_id = 1,\n"
    "                             caption = \"Other window\", left = 200, top = 200, width = 320, height = "
    "200})\n"
    "log(\"other window shown \" .. shown.visible)\n";

TEST(DeskClose, CloseButtonEndsTheProgramBesideAnotherWindowAndTheNextStartIsNotRefused) {
    TXServer server(kScreenWidth, kScreenHeight);
    TSampleDesk desk(server, kOtherWindowScript);
    ASSERT_TRUE(desk.Host().WaitForOutput("other window shown 1")) << desk.Host().Output();
    const pid_t pid = desk.Host().Pid();
    const QRect deskWindow(0, 0, kScreenWidth, kScreenHeight);
    std::vector<QRect> windows;
    ASSERT_TRUE(WaitUntil(
        [&] {
            windows = server.WindowsOf(pid);
            return windows.size() == 2 && std::count(windows.begin(), windows.end(), deskWindow) == 1;
        },
        10s))
        << windows.size() << " windows";

    const QImage close = desk.Picture("pack:close_01.png");
    ASSERT_FALSE(close.isNull());
    const int b = desk.Border();
    server.Click(deskWindow.topLeft() +
                 QPoint(deskWindow.width() - b - close.width() / 2, b + 1 + close.height() / 2));
    const std::optional<int> status = desk.Host().WaitForExit(20s);
    ASSERT_TRUE(status.has_value()) << "still running with " << server.WindowsOf(pid).size()
                                    << " visible windows";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status;
    EXPECT_TRUE(desk.Host().Dialogs().empty());

    const std::unique_ptr<THostProcess> next = desk.Start("next");
    EXPECT_TRUE(next->WaitForOutput("upgrade script finished")) << next->Output();
    const std::vector<TDialogRecord> dialogs = next->Dialogs();
    EXPECT_TRUE(dialogs.empty()) << dialogs.front().message;
    EXPECT_TRUE(next->Running());
}

} // namespace
} // namespace qmtest
