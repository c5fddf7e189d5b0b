#include "HostFixture.h"
#include "common/Paths.h"
#include "common/Routing.h"
#include "corvane/Errors.h"

namespace {

using Routing = THostTest;

corvane::IDataDocument LastUsageEvent() {
    return corvane::Khan().Invoke(qm::AppPath() + "Skellow.dll", corvane::TakeDataDocument(1, 0));
}

TEST_F(Routing, FunctionKeyIsZeroPaddedTypeAndNumbers) {
    EXPECT_EQ(qm::FunctionKeyText(5, 1, 1), "S2S007S005S001S001");
    EXPECT_EQ(qm::FunctionKeyText(12, 104, 1), "S2S007S012S104S001");
    EXPECT_EQ(qm::FunctionKeyText(5, 1234, 0), "S2S007S005S1234S000");
}

TEST_F(Routing, UsageEventReachesTheChannelsPlugin) {
    qm::SetSharedValue("Login", "UserName", "张三");
    qm::SendFunctionKey(1, 1);
    auto event = LastUsageEvent();
    ASSERT_EQ(event->GetValue("count").AsInteger(), 1);
    EXPECT_EQ(event->GetValue("@ReqCMD").AsInteger(), 301);
    EXPECT_EQ(event->GetValue("FProductID").AsString(), "1");
    EXPECT_EQ(event->GetValue("FProductVer").AsString(), "0.1.0") << "the running program's version without its build";
    EXPECT_EQ(event->GetValue("FBKUser").AsString(), "张三");
    EXPECT_EQ(event->GetValue("FFunctionKey").AsString(), "S2S007S005S001S001");
}

TEST_F(Routing, UsageEventWithoutALoggedInUserHasAnEmptyUser) {
    qm::SendFunctionKey(104, 1);
    auto event = LastUsageEvent();
    EXPECT_EQ(event->GetValue("FBKUser").AsString(), "");
    EXPECT_EQ(event->GetValue("FFunctionKey").AsString(), "S2S007S005S104S001");
}

TEST_F(Routing, SharedValuesRoundTripThroughTheHost) {
    qm::SetSharedValue("Upgrade", "calc", "/opt/apps/calc/main.lua");
    EXPECT_EQ(qm::GetSharedValue("UPGRADE", "Calc")->GetValue("value").AsString(), "/opt/apps/calc/main.lua");
    qm::SetSharedValue("Upgrade", "calc", "");
    EXPECT_EQ(qm::GetSharedValue("Upgrade", "calc")->GetValue("value").AsString(), "");
}

TEST_F(Routing, ExecLuaFileRunsTheFileOrRefusesBeforeSending) {
    qm::ExecLuaFile(Script("app.lua", "app_started = 'yes'"));
    EXPECT_EQ(Global("app_started"), "yes");

    const std::string missing = scripts.File("gone.lua");
    try {
        qm::ExecLuaFile(missing);
        FAIL() << "no error";
    } catch (const corvane::ETax& error) {
        EXPECT_STREQ(error.ClassName(), "ETax") << "raised before the host could answer with EPlugin";
        EXPECT_EQ(error.Message(), "文件(" + missing + ")不存在！");
        EXPECT_EQ(error.Location(), "procedure ExecLuaFile(LuaFile: String)");
    }
}

} // namespace
