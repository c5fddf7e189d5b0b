// plugin_invoke and plugin_unload with a real plug-in library loaded through the bus.
#include "BridgeFixture.h"
#include "common/Paths.h"
#include "corvane/Errors.h"

namespace {

using PluginInvoke = TBridgeTest;

TEST_F(PluginInvoke, ReachesTheLibraryUnderItsInstalledDllName) {
    // Only TestEcho.so exists beside the test program; installation data says TestEcho.dll.
    ASSERT_FALSE(qm::FileExists(qm::AppPath() + "TestEcho.dll"));
    ASSERT_TRUE(qm::FileExists(qm::AppPath() + "TestEcho.so"));

    ASSERT_EQ(Run(R"(
        local r = plugin_invoke({plugin = "TestEcho.dll", req_id = 1, n = -12, s = "text",
                                 flag = true, nested = {1, 2}, [7] = "seven"})
        resolved = r.plugin
        n, kind_n, n_as_int = r.n, r.kind_n, r.n_as_int
        s, kind_s = r.s, r.kind_s
        kind_req_id = r.kind_req_id
        command, kind_command = r["@ReqCMD"], r["kind_@ReqCMD"]
        seven = r["7"]
        flag_sent = r.flag ~= nil or r.kind_flag ~= nil
        nested_sent = r.nested ~= nil or r.kind_nested ~= nil
        item_count = r.item_count
        n_is_integral = n == math.floor(n)
    )"),
              0)
        << qm::TaxLua().LastScriptError();

    EXPECT_EQ(GlobalText("resolved"), qm::AppPath() + "TestEcho.dll");
    EXPECT_EQ(GlobalText("kind_n"), "double") << "script numbers travel as double items";
    EXPECT_EQ(GlobalNumber("n"), -12.0);
    EXPECT_EQ(GlobalNumber("n_as_int"), -12.0) << "and are read as integers";
    EXPECT_EQ(GlobalText("kind_s"), "string");
    EXPECT_EQ(GlobalText("s"), "text");
    EXPECT_EQ(GlobalText("kind_req_id"), "double") << "req_id stays in the document";
    EXPECT_EQ(GlobalNumber("command"), 1.0);
    EXPECT_EQ(GlobalText("kind_command"), "int");
    EXPECT_EQ(GlobalText("seven"), "seven");
    EXPECT_FALSE(GlobalIsTrue("flag_sent"));
    EXPECT_FALSE(GlobalIsTrue("nested_sent"));
    // plugin, req_id, n, s, 7 and @ReqCMD.
    EXPECT_EQ(GlobalNumber("item_count"), 6.0);
    EXPECT_TRUE(host.Received().empty()) << "a library request does not pass the host";
}

TEST_F(PluginInvoke, UnloadThenInvokeLoadsTheLibraryAfresh) {
    ASSERT_EQ(Run(R"(
        first = plugin_invoke({plugin = "TestEcho.dll", req_id = 1}).requests_since_load
        second = plugin_invoke({plugin = "TestEcho.dll", req_id = 1}).requests_since_load
        plugin_unload({plugin = "TestEcho.dll"})
        after_reload = plugin_invoke({plugin = "TestEcho.dll", req_id = 1}).requests_since_load
    )"),
              0)
        << qm::TaxLua().LastScriptError();
    EXPECT_EQ(GlobalNumber("first"), 1.0);
    EXPECT_EQ(GlobalNumber("second"), 2.0);
    EXPECT_EQ(GlobalNumber("after_reload"), 1.0);

    // The host was asked to unload the path plugin_invoke had loaded.
    const auto unloads = host.ReceivedWith(9);
    ASSERT_EQ(unloads.size(), 1u);
    EXPECT_EQ(unloads[0].doc.GetValue("plugin").AsString(), qm::AppPath() + "TestEcho.dll");
}

TEST_F(PluginInvoke, MissingParametersStopTheScriptWithTheirELua) {
    const std::string invokeLocation = "TTaxLua.plugin_invoke(LuaState: TLuaState): Integer";
    const std::string unloadLocation = "TTaxLua.plugin_unload(LuaState: TLuaState): Integer";
    struct TCase {
        const char* call;
        const char* message;
        std::string location;
    } cases[] = {
        {"plugin_invoke({req_id = 2})", "param <plugin=?> must input", invokeLocation},
        {R"(plugin_invoke({plugin = "uip"}))", "param <req_id=?> must input", invokeLocation},
        {R"(plugin_invoke({plugin = "TestEcho.dll", req_id = true}))", "param <req_id=?> must input",
         invokeLocation},
        {"plugin_unload({req_id = 2})", "param <plugin=?> must input", unloadLocation},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.call);
        try {
            Run(std::string("after = nil\n") + test.call + "\nafter = 1\n");
            ADD_FAILURE() << "no error reached the starter";
        } catch (const corvane::ELua& error) {
            EXPECT_EQ(error.Message(), test.message);
            EXPECT_EQ(error.Location(), test.location);
        }
        EXPECT_FALSE(GlobalNumber("after").has_value()) << "the error ends the script";
    }
    EXPECT_TRUE(host.Received().empty());
    EXPECT_FALSE(corvane::Khan().IsLoaded(qm::AppPath() + "TestEcho.dll"));
}

TEST_F(PluginInvoke, AHandlerErrorOfTheLibraryReachesTheStarter) {
    // TestEcho's REQ_3 needs "inst"; the bus's EPlugin for the missing key ends the script.
    try {
        Run(R"(plugin_invoke({plugin = "TestEcho.dll", req_id = 3}))");
        FAIL() << "no error reached the starter";
    } catch (const corvane::EPlugin& error) {
        EXPECT_NE(error.Message().find("inst"), std::string::npos) << error.Message();
    }
    // A request number the library does not answer.
    EXPECT_THROW(Run(R"(plugin_invoke({plugin = "TestEcho.dll", req_id = 99}))"), corvane::EPlugin);
    // A library that is not there.
    EXPECT_THROW(Run(R"(plugin_invoke({plugin = "NoSuchLibrary.dll", req_id = 1}))"), corvane::EPlugin);
}

} // namespace
