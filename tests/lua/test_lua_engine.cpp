// The engine itself: its libraries, registering functions, and how errors end a run.
#include "BridgeFixture.h"
#include "corvane/Errors.h"

#include <stdexcept>

namespace {

using LuaEngine = TBridgeTest;

TEST_F(LuaEngine, OpensTheStandardLibrariesAndTheOlderIdioms) {
    ASSERT_EQ(Run(R"(
        has_base = type(pcall) == "function" and type(newproxy) == "function"
        has_loadlib = type(package.loadlib) == "function" and loadlib == package.loadlib
        has_table = type(table.insert) == "function" and table.getn({1, 2, 3}) == 3
        has_io = type(io.open) == "function"
        has_string = string.format("%03d", 7) == "007" and type(string.gfind) == "function"
        has_math = math.floor(2.5) == 2 and math.mod(7, 3) == 1
        has_debug = type(debug.traceback) == "function"
        has_os = os ~= nil
    )"),
              0)
        << qm::TaxLua().LastScriptError();
    for (const char* name :
         {"has_base", "has_loadlib", "has_table", "has_io", "has_string", "has_math", "has_debug"})
        EXPECT_TRUE(GlobalIsTrue(name)) << name;
    // Only the listed libraries are opened.
    EXPECT_FALSE(GlobalIsTrue("has_os"));
}

TEST_F(LuaEngine, AutoRegisterPublishesEveryScriptFunction) {
    const char* functions[] = {"plugin_invoke",
                               "plugin_unload",
                               "log",
                               "desk_prop",
                               "app_prop",
                               "uidesk_data",
                               "uibench_data",
                               "create_uicon",
                               "create_uitext",
                               "create_uicontext",
                               "uidesk_dock_winctrl",
                               "uibench_dock_winctrl",
                               "newpage",
                               "insertpage",
                               "page_dock_winctrl",
                               "page_by_winctrl",
                               "page_focornew_by_winctrl",
                               "focuspage",
                               "page_visible",
                               "runfile",
                               "runluaf",
                               "set_pagectrl_property"};
    lua_State* L = State();
    for (const char* name : functions) {
        lua_getglobal(L, name);
        EXPECT_EQ(lua_type(L, -1), LUA_TFUNCTION) << name;
        lua_pop(L, 1);
    }

    qm::TTaxLua manual(false);
    lua_getglobal(manual.State(), "plugin_invoke");
    EXPECT_TRUE(lua_isnil(manual.State(), -1))
        << "an engine without auto-register publishes nothing by itself";
    lua_pop(manual.State(), 1);
}

TEST_F(LuaEngine, RegisterFunctionBindsAMethodUnderAnyName) {
    qm::TTaxLua& engine = qm::TaxLua();
    engine.RegisterFunction("say", "log");
    engine.RegisterFunction("vanished", "no_such_method");
    ASSERT_EQ(Run(R"(
        say("through an alias")
        vanished_results = select('#', vanished({plugin = "uip", req_id = 1}))
    )"),
              0)
        << engine.LastScriptError();
    const auto logged = host.ReceivedWith(1);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].doc.GetValue("msg").AsString(), "through an alias");
    // A function whose method does not exist does nothing and returns nothing.
    EXPECT_EQ(GlobalNumber("vanished_results"), 0.0);
    EXPECT_EQ(host.Received().size(), 1u);
}

TEST_F(LuaEngine, RegisteredMethodRunsOnTheGivenObject) {
    // The other engine's current script decides where relative plug-in names resolve, which shows
    // whose method the function calls.
    TScriptFolder otherFolder;
    qm::TTaxLua other(false);
    other.RunFile(otherFolder.Write("other.lua", "-- sets the other engine's current script\n"));
    qm::TaxLua().RegisterFunction("other_unload", "plugin_unload", &other);

    ASSERT_EQ(Run(R"(other_unload({plugin = "NotInstalled.dll"}))"), 0) << qm::TaxLua().LastScriptError();
    const auto unloads = host.ReceivedWith(9);
    ASSERT_EQ(unloads.size(), 1u);
    EXPECT_EQ(unloads[0].doc.GetValue("plugin").AsString(), otherFolder.Dir() + "NotInstalled.dll");
}

TEST_F(LuaEngine, RunFileLeavesTheStackAsItFoundIt) {
    lua_State* L = State();
    lua_pushstring(L, "caller's value");
    const int top = lua_gettop(L);
    EXPECT_EQ(Run("return 1, 2, 3"), 0);
    EXPECT_EQ(lua_gettop(L), top);
    EXPECT_NE(Run("error('x')"), 0);
    EXPECT_EQ(lua_gettop(L), top);
    EXPECT_THROW(Run("plugin_invoke({req_id = 1})"), corvane::ELua);
    EXPECT_EQ(lua_gettop(L), top);
    EXPECT_STREQ(lua_tostring(L, -1), "caller's value");
    lua_pop(L, 1);
}

TEST_F(LuaEngine, ErrorsOfScriptCodeEndTheRunQuietly) {
    qm::TTaxLua& engine = qm::TaxLua();

    int status = 0;
    EXPECT_NO_THROW(status = Run("before = 1\nx = = 1\n", "syntax.lua"));
    EXPECT_NE(status, 0);
    EXPECT_NE(engine.LastScriptError().find("syntax.lua:2:"), std::string::npos) << engine.LastScriptError();
    EXPECT_FALSE(GlobalNumber("before").has_value()) << "a file that does not compile runs no line";

    EXPECT_NO_THROW(status = Run("before = 1\nerror('boom')\nafter = 1\n", "runtime.lua"));
    EXPECT_NE(status, 0);
    EXPECT_NE(engine.LastScriptError().find("boom"), std::string::npos) << engine.LastScriptError();
    EXPECT_EQ(GlobalNumber("before"), 1.0);
    EXPECT_FALSE(GlobalNumber("after").has_value());

    EXPECT_NO_THROW(status = engine.RunFile(scripts.Dir() + "missing.lua"));
    EXPECT_NE(status, 0);
    EXPECT_NE(engine.LastScriptError().find("missing.lua"), std::string::npos) << engine.LastScriptError();
}

TEST_F(LuaEngine, AnExceptionBehindAScriptFunctionReachesTheStarterUnchanged) {
    try {
        Run(R"(
            before = 1
            create_uicon({fail_with = "eui", fail_msg = "widget failed"})
            after = 1
        )");
        FAIL() << "no error reached the starter";
    } catch (const corvane::EUI& error) {
        EXPECT_EQ(error.Message(), "widget failed");
        EXPECT_EQ(error.Location(), "TTestHostPlugin.REQ_4");
    }
    EXPECT_EQ(GlobalNumber("before"), 1.0);
    EXPECT_FALSE(GlobalNumber("after").has_value()) << "the error ends the script";

    // Not only the system's own errors: any C++ exception keeps its type.
    try {
        Run(R"(newpage({fail_with = "runtime", fail_msg = "out of pages"}))");
        FAIL() << "no error reached the starter";
    } catch (const corvane::ETax&) {
        FAIL() << "the error changed its type";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "out of pages");
    }

    // The engine stays usable after an error.
    EXPECT_EQ(Run("fine = 1"), 0);
    EXPECT_EQ(GlobalNumber("fine"), 1.0);
}

TEST_F(LuaEngine, AnErrorTheScriptCatchesItselfStaysWithTheScript) {
    qm::TTaxLua& engine = qm::TaxLua();
    EXPECT_EQ(Run(R"(
        ok, message = pcall(plugin_invoke, {req_id = 2})
        after = 1
    )"),
              0);
    EXPECT_FALSE(GlobalIsTrue("ok"));
    EXPECT_EQ(GlobalText("message"), "param <plugin=?> must input");
    EXPECT_EQ(GlobalNumber("after"), 1.0);

    // A caught error must not come back later in place of the script's own error.
    int status = 0;
    EXPECT_NO_THROW(status = Run(R"(
        pcall(plugin_invoke, {req_id = 2})
        error("the script's own failure")
    )"));
    EXPECT_NE(status, 0);
    EXPECT_NE(engine.LastScriptError().find("the script's own failure"), std::string::npos);
}

TEST_F(LuaEngine, NestedRunsKeepTheirErrorsApart) {
    // B fails with an error of its own; A goes on after the nested run and then fails through a
    // script function: A's starter sees A's error.
    scripts.Write("quiet_b.lua", "b_ran = 1\nerror('b fails quietly')\n");
    EXPECT_THROW(Run(R"(
        runluaf({luaf = "quiet_b.lua"})
        a_went_on = 1
        plugin_invoke({plugin = "uip"})
    )"),
                 corvane::ELua);
    EXPECT_EQ(GlobalNumber("b_ran"), 1.0);
    EXPECT_EQ(GlobalNumber("a_went_on"), 1.0);

    // An error raised inside the nested run ends both runs and reaches the outer starter.
    scripts.Write("failing_b.lua", "b_started = 1\nplugin_unload({})\nb_finished = 1\n");
    try {
        Run(R"(
            runluaf({luaf = "failing_b.lua"})
            a_finished = 1
        )");
        FAIL() << "no error reached the starter";
    } catch (const corvane::ELua& error) {
        EXPECT_EQ(error.Message(), "param <plugin=?> must input");
        EXPECT_EQ(error.Location(), "TTaxLua.plugin_unload(LuaState: TLuaState): Integer");
    }
    EXPECT_EQ(GlobalNumber("b_started"), 1.0);
    EXPECT_FALSE(GlobalNumber("b_finished").has_value());
    EXPECT_FALSE(GlobalNumber("a_finished").has_value());

    // An error A caught itself belongs to A's run: a nested run that fails quietly with the same
    // text does not raise it.
    scripts.Write("mimic_b.lua", "error('param <plugin=?> must input', 0)\n");
    int status = -1;
    EXPECT_NO_THROW(status = Run(R"(
        pcall(plugin_invoke, {req_id = 2})
        runluaf({luaf = "mimic_b.lua"})
        a_after_mimic = 1
    )"));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(GlobalNumber("a_after_mimic"), 1.0);
}

TEST_F(LuaEngine, ClosingTheEngineRunsNoScriptFunction) {
    // A finalizer that still calls a script function while the state closes must find the
    // functions switched off instead of reaching a half-destroyed engine.
    ASSERT_EQ(Run(R"(
        keeper = newproxy(true)
        getmetatable(keeper).__gc = function() log("closing") end
    )"),
              0)
        << qm::TaxLua().LastScriptError();
    qm::FreeTaxLua();
    EXPECT_TRUE(host.ReceivedWith(1).empty());
}

} // namespace
