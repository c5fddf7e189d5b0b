// An error while the desk window is being created (here: the image store that the title bar draws
// from is missing) goes to the desk's error handler, which is installed before the frame is built:
// it is logged and shown, and the program does not die of it.
#include "TestInstallation.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

namespace qmtest {
namespace {

TEST(DeskCreationErrors, MissingImageStoreIsLoggedAndShownInsteadOfEndingTheProgram) {
    TTestInstallation desk(UniqueTitle("no pngs.sys"));
    std::filesystem::remove(desk.Dir() / "Config" / "pngs.sys");
    const std::string message = "文件(" + (desk.Dir() / "Config" / "pngs.sys").string() + ")不存在！";

    auto host = desk.Start("desk");
    const bool shown = host->WaitForDialog();
    // Closing the message must not end the program by a signal either: the desk's event loop runs on
    // after the message was clicked away, or the program has ended by then.
    if (shown)
        host->RoundTrip();
    const auto status = host->WaitForExit(0ms);
    EXPECT_FALSE(status && WIFSIGNALED(*status)) << "the host died of signal " << WTERMSIG(*status) << ":\n"
                                                 << host->Output();
    ASSERT_TRUE(shown) << host->Output();

    EXPECT_EQ(host->Dialogs().front().message, message);
    const auto logs = desk.LogFiles();
    ASSERT_EQ(logs.size(), 1u);
    const std::string log = ReadWholeFile(logs.front());
    EXPECT_NE(log.find("\r\nClass:ETax\r\nMsg:" + message +
                       "\r\nLocation:TPngPack.LoadFile(AFile: string)\r\n\r\n"),
              std::string::npos)
        << log;
}

} // namespace
} // namespace qmtest
