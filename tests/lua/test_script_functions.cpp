// The script functions that talk to the host: request numbers, arguments, answers, conversions.
#include "BridgeFixture.h"
#include "corvane/Errors.h"

namespace {

using ScriptFunctions = TBridgeTest;
using corvane::TBSONItemKind;

struct THostFunction {
    const char* name;
    std::int32_t request;
    bool takesTable;
    bool answersTable;
};

// plugin_invoke and log have tests of their own.
constexpr THostFunction kHostFunctions[] = {
    {"plugin_unload", 9, true, false},
    {"desk_prop", 11, false, true},
    {"app_prop", 12, true, true},
    {"uidesk_data", 2, false, true},
    {"uibench_data", 3, false, true},
    {"create_uicon", 4, true, false},
    {"create_uitext", 5, true, false},
    {"create_uicontext", 6, true, false},
    {"uidesk_dock_winctrl", 7, true, false},
    {"uibench_dock_winctrl", 8, true, false},
    {"newpage", 201, true, true},
    {"insertpage", 205, true, true},
    {"page_dock_winctrl", 202, true, false},
    {"page_by_winctrl", 203, true, true},
    {"page_focornew_by_winctrl", 206, true, true},
    {"focuspage", 204, true, false},
    {"page_visible", 207, true, false},
    {"runfile", 104, true, false},
    {"runluaf", 103, true, false},
    {"set_pagectrl_property", 105, true, false},
};

TEST_F(ScriptFunctions, EachSendsItsHostRequestAndAnswersAsItsRowSays) {
    // runluaf's host runs the file it is given.
    scripts.Write("empty.lua", "");
    for (const THostFunction& function : kHostFunctions) {
        SCOPED_TRACE(function.name);
        host.ClearReceived();
        // Extra arguments must not come back as results.
        const std::string call =
            std::string(function.name) +
            (function.takesTable ? R"(({plugin = "uip", luaf = "empty.lua", marker = "m"}, "extra", 3))"
                                 : R"(("extra", 3))");
        ASSERT_EQ(Run("local r = {" + call +
                      "}\n"
                      "result_count = table.getn(r)\n"
                      "answered = r[1] and r[1].answered_req\n"),
                  0)
            << qm::TaxLua().LastScriptError();

        ASSERT_EQ(host.Received().size(), 1u);
        const corvane::TBSONDocument& sent = host.Received()[0].doc;
        EXPECT_EQ(host.Received()[0].number, function.request);
        EXPECT_EQ(sent.GetValue("@ReqCMD").Kind(), TBSONItemKind::Int);
        if (function.takesTable) {
            EXPECT_EQ(sent.GetValue("marker").AsString(), "m");
        } else {
            EXPECT_EQ(sent.GetCount(), 1) << "functions without an argument send an empty request";
        }

        EXPECT_EQ(GlobalNumber("result_count"), function.answersTable ? 1.0 : 0.0);
        if (function.answersTable) {
            EXPECT_EQ(GlobalNumber("answered"), static_cast<double>(function.request));
        }
    }
}

TEST_F(ScriptFunctions, ANonTableArgumentDoesNothingAndReturnsNothing) {
    const char* tableFunctions[] = {"plugin_invoke",
                                    "plugin_unload",
                                    "app_prop",
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
    for (const char* name : tableFunctions) {
        SCOPED_TRACE(name);
        const std::string f = name;
        ASSERT_EQ(Run("counts = {select('#', " + f + "(\"x\")), select('#', " + f + "(5)), select('#', " + f +
                      "())}\n"
                      "total = counts[1] + counts[2] + counts[3]\n"),
                  0)
            << qm::TaxLua().LastScriptError();
        EXPECT_EQ(GlobalNumber("total"), 0.0);
    }
    EXPECT_TRUE(host.Received().empty());
}

TEST_F(ScriptFunctions, LogSendsOneRequestPerArgumentInOrder) {
    ASSERT_EQ(Run(R"(
        log("a", 2)
        log(1.5, true, nil)
        log()
    )"),
              0)
        << qm::TaxLua().LastScriptError();
    const auto logged = host.ReceivedWith(1);
    ASSERT_EQ(host.Received().size(), logged.size()) << "log sends request 1 only";
    ASSERT_EQ(logged.size(), 5u);
    const char* expected[] = {"a", "2", "1.5", "", ""};
    for (std::size_t i = 0; i < logged.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(logged[i].doc.GetValue("tag").AsString(), "TTaxLua");
        EXPECT_EQ(logged[i].doc.GetValue("msg").AsString(), expected[i]);
    }
}

TEST_F(ScriptFunctions, TableBecomesADocumentOfNumbersAndTexts) {
    ASSERT_EQ(Run(R"(
        local many = {}
        for i = 1, 40 do many[i] = i * 10 end
        newpage({title = "Invoices", width = 300, ratio = 0.25, flag = true, sub = {1, 2},
                 act = print, [1] = "one", [2.5] = 3, [true] = "t"})
        newpage(many)
    )"),
              0)
        << qm::TaxLua().LastScriptError();
    ASSERT_EQ(host.Received().size(), 2u);

    const corvane::TBSONDocument& doc = host.Received()[0].doc;
    EXPECT_EQ(doc.GetItem(0).Name(), "@ReqCMD");
    EXPECT_EQ(doc.GetValue("title").Kind(), TBSONItemKind::String);
    EXPECT_EQ(doc.GetValue("title").AsString(), "Invoices");
    EXPECT_EQ(doc.GetValue("width").Kind(), TBSONItemKind::Double);
    EXPECT_EQ(doc.GetValue("width").AsInteger(), 300);
    EXPECT_EQ(doc.GetValue("ratio").AsFloat(), 0.25);
    EXPECT_EQ(doc.GetValue("1").AsString(), "one");
    EXPECT_EQ(doc.GetValue("2.5").AsInteger(), 3);
    for (const char* skipped : {"flag", "sub", "act", "true"})
        EXPECT_FALSE(doc.HasItem(skipped)) << skipped;
    EXPECT_EQ(doc.GetCount(), 6);

    // Number keys are converted on a copy, so the traversal visits every entry.
    const corvane::TBSONDocument& many = host.Received()[1].doc;
    EXPECT_EQ(many.GetCount(), 41);
    for (int i = 1; i <= 40; ++i)
        ASSERT_EQ(many.GetValue(std::to_string(i)).AsInteger(), i * 10) << i;
}

TEST_F(ScriptFunctions, ATableCannotRedirectARequest) {
    ASSERT_EQ(Run(R"(create_uicon({["@ReqCMD"] = 9, plugin = "uip"}))"), 0) << qm::TaxLua().LastScriptError();
    ASSERT_EQ(host.Received().size(), 1u);
    EXPECT_EQ(host.Received()[0].number, 4);
}

TEST_F(ScriptFunctions, AnswerBecomesATableOfNumbersAndTexts) {
    ASSERT_EQ(Run(R"(
        local d = uidesk_data()
        width, zoom, caption = d.width, d.zoom, d.caption
        visible_present = d.visible ~= nil
    )"),
              0)
        << qm::TaxLua().LastScriptError();
    EXPECT_EQ(GlobalNumber("width"), 1024.0);
    EXPECT_EQ(GlobalNumber("zoom"), 1.5);
    EXPECT_EQ(GlobalText("caption"), "desk");
    EXPECT_FALSE(GlobalIsTrue("visible_present")) << "boolean items are not handed to scripts";
}

TEST_F(ScriptFunctions, HostRequestsReachableThroughUip) {
    ASSERT_EQ(Run(R"(
        local function same(a, b)
            for k, v in pairs(a) do if b[k] ~= v then return false end end
            for k, v in pairs(b) do if a[k] ~= v then return false end end
            return true
        end
        local through_bus = plugin_invoke({plugin = "uip", req_id = 2})
        local direct = uidesk_data()
        equal = same(through_bus, direct)
        not_empty = next(direct) ~= nil
        shared = plugin_invoke({plugin = "uip", req_id = 10}).answered_req
    )"),
              0)
        << qm::TaxLua().LastScriptError();
    EXPECT_TRUE(GlobalIsTrue("equal"));
    EXPECT_TRUE(GlobalIsTrue("not_empty"));
    EXPECT_EQ(GlobalNumber("shared"), 10.0) << "a host request without a script function of its own";
    const auto viaUip = host.ReceivedWith(2);
    ASSERT_EQ(viaUip.size(), 2u);
    EXPECT_EQ(viaUip[0].doc.GetValue("plugin").AsString(), "uip") << "\"uip\" is never resolved as a path";
}

TEST_F(ScriptFunctions, WithoutAHostPluginAScriptFunctionFailsClearly) {
    corvane::Khan().SetHostPlugin(nullptr);
    try {
        Run("desk_prop()");
        FAIL() << "no error reached the starter";
    } catch (const corvane::EPlugin& error) {
        EXPECT_NE(error.Message().find("11"), std::string::npos) << error.Message();
    }
}

} // namespace
