// Object references that do not name a live object of the right kind: each request that takes one
// stops the script with an error naming the key, and the desk stays exactly as it was.
#include "PageDeskFixture.h"

#include <QCoreApplication>
#include <QRect>
#include <tuple>

namespace qm::test {
namespace {

// Everything a page request could change: the pages, their order, captions, tabs and tags, the
// active page, and where each plug-in window sits.
struct TDeskState {
    std::vector<std::tuple<const TTaxTabSheet*, std::string, std::int32_t, bool, bool>> pages;
    const TTaxTabSheet* active = nullptr;
    std::vector<std::pair<const QWidget*, bool>> windows;
    std::vector<std::string> tabs;

    bool operator==(const TDeskState&) const = default;
};

class BadHandles : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        TPluginWindow& control = Control();
        SetGlobal("control", control.Handle());

        // A control and a page that existed once.
        TPluginWindow& gone = Control();
        SetGlobal("stale_control", gone.Handle());
        windows.pop_back();
        Run("stale_page = newpage{caption = 'Short-lived'}.inst");
        Page(1).deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_FALSE(corvane::Handles().IsLive(GlobalHandle("stale_page")));

        // A page closed from its tab: alive, but no longer one of the desk's pages.
        Run("closed_page = newpage{caption = 'Closed'}.inst");
        ASSERT_TRUE(Pages().RemovePage(Page(1)));
        ASSERT_TRUE(corvane::Handles().IsLive(GlobalHandle("closed_page")));

        // A live handle of another kind: the desk's background bitmap.
        Run(R"(
            desk_bg = plugin_invoke{plugin = "uip", req_id = 101}.desk_bg
            page = newpage{caption = "Live"}.inst
            page_dock_winctrl{page_inst = page, wctrl_inst = control}
            other = newpage{caption = "Other"}.inst
        )");
        std::int32_t forged = 1999999999;
        while (corvane::Handles().IsLive(forged))
            ++forged;
        SetGlobal("forged", forged);
    }

    TDeskState State() const {
        TDeskState state;
        for (const TTaxTabSheet* page : Pages().Pages())
            state.pages.emplace_back(page, page->Caption(), page->Tag(), page->TabVisible(),
                                     page->BtnCloseVisible());
        state.active = Pages().ActivePage();
        for (const auto& window : windows)
            state.windows.emplace_back(window->parentWidget(), window->isVisible());
        state.tabs = Pages().TopPanel().Tabs();
        return state;
    }

    // Runs a script whose one request carries a bad reference under key; the error must name the
    // key, reach the starter and leave the desk untouched.
    void ExpectRefused(const std::string& script, const std::string& key) {
        SCOPED_TRACE(script);
        const TDeskState before = State();
        const std::optional<corvane::EPlugin> error = ErrorOf(script);
        ASSERT_TRUE(error.has_value());
        EXPECT_NE(error->Message().find("<" + key + ">"), std::string::npos) << error->Message();
        EXPECT_FALSE(error->Location().empty());
        ProcessEvents();
        EXPECT_TRUE(State() == before) << "the desk changed";
    }
};

// Bad page references: none, forged, destroyed, closed, and live objects that are no page.
const char* const kBadPages[] = {"0", "forged", "stale_page", "closed_page", "desk_bg", "control"};
// Bad control references: none, forged, destroyed, and a live object that is no control.
const char* const kBadControls[] = {"0", "forged", "stale_control", "desk_bg"};

TEST_F(BadHandles, DockIntoPageRefusesABadPageOrControl) {
    for (const char* bad : kBadPages)
        ExpectRefused(std::string("page_dock_winctrl{page_inst = ") + bad + ", wctrl_inst = control}",
                      "page_inst");
    for (const char* bad : kBadControls)
        ExpectRefused(std::string("page_dock_winctrl{page_inst = other, wctrl_inst = ") + bad + "}",
                      "wctrl_inst");
    EXPECT_EQ(windows.front()->parentWidget(), Pages().PageByTag(windows.front()->Handle()));
}

TEST_F(BadHandles, FocusPageRefusesABadPage) {
    for (const char* bad : kBadPages)
        ExpectRefused(std::string("focuspage{page_inst = ") + bad + "}", "page_inst");
}

TEST_F(BadHandles, FocusOrNewPageRefusesABadControlAndLeavesNoEmptyPage) {
    for (const char* bad : kBadControls)
        ExpectRefused(std::string("page_focornew_by_winctrl{wctrl_inst = ") + bad +
                          ", mode = 1, caption = 'Empty', notab = 0, nobtnclose = 0}",
                      "wctrl_inst");
    EXPECT_EQ(Captions(), (std::vector<std::string>{"工作台", "Live", "Other"}));
}

TEST_F(BadHandles, DeskDockingRefusesABadControl) {
    for (const char* bad : kBadControls)
        ExpectRefused(std::string("uidesk_dock_winctrl{inst = ") + bad +
                          ", left = 10, top = 10, width = 50, height = 50, anchors = ''}",
                      "inst");
}

TEST_F(BadHandles, BenchDockingRefusesABadControlAPageOrTheBenchItself) {
    const auto dock = [](const std::string& inst) {
        return "uibench_dock_winctrl{inst = " + inst +
               ", left = 10, top = 10, width = 50, height = 50, anchors = ''}";
    };
    for (const char* bad : kBadControls)
        ExpectRefused(dock(bad), "inst");
    // A page belongs to its page control, and the bench cannot hold itself.
    ExpectRefused(dock("other"), "inst");
    TUIContainer& bench = desk.BenchContainer();
    SetGlobal("bench",
              corvane::Handles().Register(static_cast<const QWidget*>(&bench), corvane::kHandleControl));
    ExpectRefused(dock("bench"), "inst");

    // A good control is docked where it was asked to go.
    TPluginWindow& good = Control();
    SetGlobal("good", good.Handle());
    Run(dock("good"));
    EXPECT_EQ(good.parentWidget(), &bench);
    EXPECT_EQ(good.geometry(), QRect(10, 10, 50, 50));
}

TEST_F(BadHandles, NoControlGoesIntoAPageInsideItself) {
    ExpectRefused("page_dock_winctrl{page_inst = other, wctrl_inst = other}", "wctrl_inst");
    // The desk container holds the page control, and so every page, new ones included.
    TUIContainer& container = desk.DeskContainer();
    SetGlobal("container",
              corvane::Handles().Register(static_cast<const QWidget*>(&container), corvane::kHandleControl));
    ExpectRefused("page_dock_winctrl{page_inst = other, wctrl_inst = container}", "wctrl_inst");
    ExpectRefused("page_focornew_by_winctrl{wctrl_inst = container, mode = 0, caption = 'Loop', notab = 0, "
                  "nobtnclose = 0}",
                  "wctrl_inst");
    EXPECT_EQ(Pages().PageCount(), 3);
    EXPECT_TRUE(container.isWindow());
}

TEST_F(BadHandles, FindingByAControlThatIsNoneOfTheDesksAnswersZero) {
    Run(R"(
        by_zero = page_by_winctrl{wctrl_inst = 0}.page_inst
        by_forged = page_by_winctrl{wctrl_inst = forged}.page_inst
        by_stale = page_by_winctrl{wctrl_inst = stale_control}.page_inst
        by_live = page_by_winctrl{wctrl_inst = control}.page_inst
    )");
    EXPECT_EQ(GlobalNumber("by_zero"), 0.0);
    EXPECT_EQ(GlobalNumber("by_forged"), 0.0);
    EXPECT_EQ(GlobalNumber("by_stale"), 0.0);
    EXPECT_EQ(GlobalHandle("by_live"), GlobalHandle("page"));
}

TEST_F(BadHandles, WithoutADeskEveryDeskRequestIsAClearError) {
    TUIPlugin deskless;
    corvane::Khan().SetHostPlugin(&deskless);
    for (const char* script : {"newpage{caption = 'x'}", "focuspage{page_inst = page}",
                               "set_pagectrl_property{notoolbar = 1}", "page_visible{visible = 0}"}) {
        SCOPED_TRACE(script);
        const std::optional<corvane::EPlugin> error = ErrorOf(script);
        ASSERT_TRUE(error.has_value());
        EXPECT_NE(error->Location().find("TUIPlugin.REQ_"), std::string::npos);
    }
    corvane::Khan().SetHostPlugin(&host);
    EXPECT_EQ(Pages().PageCount(), 3);
}

} // namespace
} // namespace qm::test
