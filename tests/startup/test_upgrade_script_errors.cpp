// Errors raised by Config/Upgrade.lua reach the host's last-chance handler: it writes them to the
// month's log file in the installation, shows their message, and the start-up usage event is then
// not sent. The dialog watcher reads the message and clicks it away, so the desk can go on.
#include "TestInstallation.h"

#include <chrono>
#include <ctime>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace qmtest {
namespace {

using Lines = std::vector<std::string>;

std::string LocalTimeText(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, format, &local));
}

// The installation's log holds exactly one entry with this text, written between the two times:
// the time as "YYYY-MM-DD HH:MM:SS", CR LF, the text, CR LF, CR LF, in the month's file.
void ExpectOneLogEntry(const TTestInstallation& desk, const std::string& text, const std::string& startTime,
                       const std::string& startMonth) {
    const std::string endTime = LocalTimeText("%Y-%m-%d %H:%M:%S");
    const std::string endMonth = LocalTimeText("%Y%m");
    const auto files = desk.LogFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string name = files.front().filename().string();
    EXPECT_TRUE(name == "LOG" + startMonth + ".log" || name == "LOG" + endMonth + ".log") << name;

    const std::string content = ReadWholeFile(files.front());
    const std::size_t stampLength = std::string("YYYY-MM-DD HH:MM:SS").size();
    ASSERT_GT(content.size(), stampLength) << content;
    const std::string stamp = content.substr(0, stampLength);
    EXPECT_LE(startTime, stamp);
    EXPECT_LE(stamp, endTime);
    EXPECT_EQ(content.substr(stampLength), "\r\n" + text + "\r\n\r\n");
}

class UpgradeScriptErrors : public ::testing::Test {
protected:
    // A desk with one boot script and the given upgrade script, started.
    void StartDesk(const std::string& title, const std::string& upgradeScript) {
        title_ = UniqueTitle(title);
        desk_ = std::make_unique<TTestInstallation>(title_);
        desk_->WriteFile("Config/Scripts/desk.lua", RecordStatement("boot script"));
        desk_->WriteBootXml({"Config\\Scripts\\desk.lua"});
        desk_->WriteFile("Config/Upgrade.lua", RecordStatement("upgrade script") + upgradeScript +
                                                   RecordStatement("upgrade script after its error"));
        startTime_ = LocalTimeText("%Y-%m-%d %H:%M:%S");
        startMonth_ = LocalTimeText("%Y%m");
        host_ = desk_->Start("desk");
    }

    // The error was shown once, over the desk (captioned with the title), with its message as the text.
    void ExpectShown(const std::string& message) {
        ASSERT_TRUE(host_->WaitForDialog()) << host_->Output();
        const auto dialogs = host_->Dialogs();
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_EQ(dialogs.front().caption, "提示");
        EXPECT_EQ(dialogs.front().message, message);
        EXPECT_TRUE(dialogs.front().otherWindows.ends_with("TFrmDesk:" + title_))
            << dialogs.front().otherWindows;
    }

    // Once the message is closed, the desk goes on without the rest of the upgrade script and
    // without the usage event.
    void ExpectNoUsageEventAfterwards() {
        ASSERT_TRUE(host_->RoundTrip()) << host_->Output();
        EXPECT_EQ(desk_->Evidence(), (Lines{"boot script", "upgrade script"}));
        EXPECT_TRUE(host_->OutputContains("boot scripts finished"));
        EXPECT_FALSE(host_->OutputContains("upgrade script finished"));
        EXPECT_EQ(host_->Dialogs().size(), 1u);
        EXPECT_TRUE(host_->Running());
    }

    std::string title_;
    std::unique_ptr<TTestInstallation> desk_;
    std::unique_ptr<THostProcess> host_;
    std::string startTime_;
    std::string startMonth_;
};

TEST_F(UpgradeScriptErrors, TaxErrorIsLoggedWithItsLogTextAndShown) {
    StartDesk("ETax from Upgrade.lua", "plugin_invoke{req_id = 1}\n");

    ExpectShown("param <plugin=?> must input");
    ExpectOneLogEntry(*desk_,
                      "Class:ELua\r\nMsg:param <plugin=?> must input\r\n"
                      "Location:TTaxLua.plugin_invoke(LuaState: TLuaState): Integer",
                      startTime_, startMonth_);
    ExpectNoUsageEventAfterwards();
}

TEST_F(UpgradeScriptErrors, OtherErrorIsLoggedAsClassAndMessageAndShown) {
    // The recorder plug-in's request 2 throws std::runtime_error with the given message.
    StartDesk("std::exception from Upgrade.lua",
              "plugin_invoke{plugin = \"Recorder.so\", req_id = 2, message = \"记录器出错: disk full\"}\n");

    ExpectShown("记录器出错: disk full");
    ExpectOneLogEntry(*desk_, "Class:std::runtime_error\r\nMsg:记录器出错: disk full", startTime_,
                      startMonth_);
    ExpectNoUsageEventAfterwards();
}

} // namespace
} // namespace qmtest
