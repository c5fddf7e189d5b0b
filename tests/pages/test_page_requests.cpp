// The page and desk requests as scripts send them: pages made, inserted, found, focused and hidden,
// plug-in windows docked into pages and onto the desk.
#include "PageDeskFixture.h"

namespace qm::test {
namespace {

using NewPages = PagesTest;

TEST_F(NewPages, NewPageAppendsAnActivePageAndAnswersItsHandle) {
    Run(R"(
        first = newpage{caption = "发票查询"}.inst
        second = newpage{caption = "Reports"}.inst
    )");
    ASSERT_EQ(Pages().PageCount(), 3);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"工作台", "发票查询", "Reports"}));
    EXPECT_EQ(Pages().TopPanel().Tabs(), Captions());
    EXPECT_EQ(Pages().ActivePage(), &Page(2));
    EXPECT_FALSE(Page(2).isHidden());
    EXPECT_TRUE(Page(1).isHidden());
    // The answers are live page handles of exactly those pages.
    EXPECT_EQ(corvane::Handles().Find(GlobalHandle("first"), corvane::kHandlePage), &Page(1));
    EXPECT_EQ(corvane::Handles().Find(GlobalHandle("second"), corvane::kHandlePage), &Page(2));
}

TEST_F(NewPages, InsertPageGoesRightAfterTheActivePage) {
    Run(R"(
        a = newpage{caption = "A"}.inst
        b = newpage{caption = "B"}.inst
        focuspage{page_inst = a}
        c = insertpage{caption = "C"}.inst
    )");
    EXPECT_EQ(Captions(), (std::vector<std::string>{"工作台", "A", "C", "B"}));
    EXPECT_EQ(Pages().ActivePage(), &Page(2));
    EXPECT_EQ(GlobalHandle("c"), Page(2).Handle());
    EXPECT_EQ(Pages().TopPanel().TabIndex(), 2);
}

using DockIntoPage = PagesTest;

TEST_F(DockIntoPage, AFormLosesItsFrameAndFillsThePage) {
    TPluginWindow& form = Form();
    ASSERT_TRUE(form.isWindow());
    SetGlobal("form", form.Handle());
    Run(R"(
        page = newpage{caption = "Form"}.inst
        page_dock_winctrl{page_inst = page, wctrl_inst = form}
        found = page_by_winctrl{wctrl_inst = form}.page_inst
    )");
    TTaxTabSheet& page = Page(1);
    EXPECT_FALSE(form.isWindow());
    EXPECT_EQ(form.parentWidget(), &page);
    EXPECT_EQ(ControlAlign(&form), alClient);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.geometry(), page.contentsRect());
    EXPECT_EQ(page.Tag(), form.Handle());
    EXPECT_EQ(GlobalHandle("found"), page.Handle());

    // It follows the page when the desk grows.
    Pages().resize(Pages().width() + 200, Pages().height() + 100);
    ProcessEvents();
    EXPECT_EQ(form.geometry(), page.contentsRect());
}

TEST_F(DockIntoPage, APlainControlIsClientAlignedAndPagesAreFoundByIt) {
    TPluginWindow& control = Control();
    TPluginWindow& other = Control();
    SetGlobal("control", control.Handle());
    SetGlobal("other", other.Handle());
    Run(R"(
        first = newpage{caption = "One"}.inst
        second = newpage{caption = "Two"}.inst
        page_dock_winctrl{page_inst = first, wctrl_inst = control}
        found = page_by_winctrl{wctrl_inst = control}.page_inst
        none = page_by_winctrl{wctrl_inst = other}.page_inst
    )");
    EXPECT_EQ(control.parentWidget(), &Page(1));
    EXPECT_EQ(ControlAlign(&control), alClient);
    EXPECT_EQ(Page(1).Tag(), control.Handle());
    EXPECT_EQ(Page(2).Tag(), 0);
    EXPECT_EQ(GlobalHandle("found"), GlobalHandle("first"));
    EXPECT_EQ(GlobalNumber("none"), 0.0);
}

TEST_F(DockIntoPage, AControlDockedAgainIsFoundInThePageThatHoldsItNow) {
    TPluginWindow& control = Control();
    SetGlobal("control", control.Handle());
    Run(R"(
        first = newpage{caption = "One"}.inst
        second = newpage{caption = "Two"}.inst
        page_dock_winctrl{page_inst = first, wctrl_inst = control}
        page_dock_winctrl{page_inst = second, wctrl_inst = control}
        found = page_by_winctrl{wctrl_inst = control}.page_inst
        focuspage{page_inst = first}
        focused = page_focornew_by_winctrl{wctrl_inst = control, mode = 0, caption = "x", notab = 0,
                                           nobtnclose = 0}.page_inst
    )");
    EXPECT_EQ(control.parentWidget(), &Page(2));
    EXPECT_EQ(GlobalHandle("found"), GlobalHandle("second"));
    EXPECT_EQ(GlobalHandle("focused"), GlobalHandle("second"));
    EXPECT_EQ(Pages().ActivePage(), &Page(2));
    EXPECT_EQ(Page(1).Tag(), 0) << "the page the control left no longer claims it";
    EXPECT_EQ(Pages().PageCount(), 3);
}

TEST_F(DockIntoPage, FocusPageActivatesThePageAndFocusesItsControl) {
    TPluginWindow& form = Form();
    SetGlobal("form", form.Handle());
    Run(R"(
        page = newpage{caption = "Form"}.inst
        page_dock_winctrl{page_inst = page, wctrl_inst = form}
        newpage{caption = "Later"}
    )");
    ASSERT_EQ(Pages().ActivePage(), &Page(2));
    Run("focuspage{page_inst = page}");
    EXPECT_EQ(Pages().ActivePage(), &Page(1));
    EXPECT_EQ(Pages().TopPanel().TabIndex(), 1);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(desk.DeskContainer().focusWidget(), form.Edit());
}

using FocusOrNewPage = PagesTest;

TEST_F(FocusOrNewPage, TheSameControlTwiceMakesOnePage) {
    TPluginWindow& form = Form();
    SetGlobal("form", form.Handle());
    Run(R"(
        local request = {wctrl_inst = form, mode = 0, caption = "发票", notab = 0, nobtnclose = 0}
        first = page_focornew_by_winctrl(request).page_inst
        newpage{caption = "Other"}
        second = page_focornew_by_winctrl(request).page_inst
    )");
    EXPECT_EQ(Captions(), (std::vector<std::string>{"工作台", "发票", "Other"}));
    EXPECT_EQ(GlobalHandle("first"), Page(1).Handle());
    EXPECT_EQ(GlobalHandle("second"), GlobalHandle("first"));
    EXPECT_EQ(Pages().ActivePage(), &Page(1));
    EXPECT_EQ(form.parentWidget(), &Page(1));
    EXPECT_FALSE(form.isWindow());
    EXPECT_EQ(Page(1).Tag(), form.Handle());
    EXPECT_EQ(desk.DeskContainer().focusWidget(), form.Edit());
}

TEST_F(FocusOrNewPage, ModeOneGoesAfterTheActivePageAndOtherModesAppend) {
    TPluginWindow& appended = Control();
    TPluginWindow& afterBench = Control();
    TPluginWindow& atEnd = Control();
    SetGlobal("appended", appended.Handle());
    SetGlobal("afterBench", afterBench.Handle());
    SetGlobal("atEnd", atEnd.Handle());
    SetGlobal("bench", desk.BenchPage().Handle());
    Run(R"(
        local function open(control, mode, caption)
            return page_focornew_by_winctrl{wctrl_inst = control, mode = mode, caption = caption,
                                            notab = 0, nobtnclose = 0}.page_inst
        end
        open(appended, 0, "Appended")
        focuspage{page_inst = bench}
        open(afterBench, 1, "After bench")
        focuspage{page_inst = bench}
        open(atEnd, 2, "At end")
    )");
    EXPECT_EQ(Captions(), (std::vector<std::string>{"工作台", "After bench", "Appended", "At end"}));
    EXPECT_EQ(Pages().ActivePage(), &Page(3));
    EXPECT_EQ(Page(1).Tag(), afterBench.Handle());
    EXPECT_EQ(Page(3).Tag(), atEnd.Handle());
}

TEST_F(FocusOrNewPage, NoTabAndNoCloseButtonHideThem) {
    TPluginWindow& hiddenTab = Control();
    TPluginWindow& noClose = Control();
    TPluginWindow& plain = Control();
    SetGlobal("hiddenTab", hiddenTab.Handle());
    SetGlobal("noClose", noClose.Handle());
    SetGlobal("plain", plain.Handle());
    Run(R"(
        page_focornew_by_winctrl{wctrl_inst = hiddenTab, mode = 0, caption = "Hidden", notab = 1, nobtnclose = 0}
        page_focornew_by_winctrl{wctrl_inst = noClose, mode = 0, caption = "Fixed", notab = 0, nobtnclose = 1}
        page_focornew_by_winctrl{wctrl_inst = plain, mode = 0, caption = "Plain", notab = 2, nobtnclose = 2}
    )");
    const TTaxTabControlTopPanel& strip = Pages().TopPanel();
    EXPECT_FALSE(Page(1).TabVisible());
    EXPECT_FALSE(strip.TabVisible(1));
    EXPECT_TRUE(strip.CloseVisible(1));
    EXPECT_TRUE(strip.TabVisible(2));
    EXPECT_FALSE(Page(2).BtnCloseVisible());
    EXPECT_FALSE(strip.CloseVisible(2));
    EXPECT_TRUE(strip.TabVisible(3));
    EXPECT_TRUE(strip.CloseVisible(3));
}

using PageVisible = PagesTest;

TEST_F(PageVisible, CaptionWithoutRegardToCaseThenNameAndCaptionWins) {
    Run(R"(
        newpage{caption = "Invoices"}
        newpage{caption = "Reports"}
    )");
    TTaxTabSheet& invoices = Page(1);
    TTaxTabSheet& reports = Page(2);
    reports.setObjectName(QStringLiteral("pgReports"));

    Run("page_visible{caption = 'INVOICES', visible = 0}");
    EXPECT_FALSE(invoices.TabVisible());
    EXPECT_TRUE(reports.TabVisible());
    Run("page_visible{caption = 'invoices', visible = 1}");
    EXPECT_TRUE(invoices.TabVisible());

    Run("page_visible{name = 'PGREPORTS', visible = 0}");
    EXPECT_FALSE(reports.TabVisible());
    Run("page_visible{name = 'pgreports', visible = 1}");
    EXPECT_TRUE(reports.TabVisible());

    // With both keys only the caption counts, even when it names no page.
    Run("page_visible{caption = 'Reports', name = 'tbBench', visible = 0}");
    EXPECT_FALSE(reports.TabVisible());
    EXPECT_TRUE(desk.BenchPage().TabVisible());
    Run("page_visible{caption = 'nothing here', name = 'tbBench', visible = 0}");
    EXPECT_TRUE(desk.BenchPage().TabVisible());
    EXPECT_TRUE(invoices.TabVisible());
    // Neither key: nothing changes.
    Run("page_visible{visible = 0}");
    EXPECT_TRUE(desk.BenchPage().TabVisible());
    EXPECT_TRUE(invoices.TabVisible());
    EXPECT_FALSE(reports.TabVisible());
    EXPECT_EQ(Pages().PageCount(), 3);
}

using DeskRequests = PagesTest;

TEST_F(DeskRequests, ToolbarFollowsNoToolbar) {
    ASSERT_TRUE(Pages().ToolbarVisible());
    Run("set_pagectrl_property{notoolbar = 1}");
    EXPECT_FALSE(Pages().ToolbarVisible());
    EXPECT_FALSE(Pages().TopPanel().ToolBarVisible());
    Run("set_pagectrl_property{notoolbar = 0}");
    EXPECT_TRUE(Pages().ToolbarVisible());
    EXPECT_TRUE(Pages().TopPanel().ToolBarVisible());
}

TEST_F(DeskRequests, NegativeLeftCountsFromTheRightEdgeOfTheDesk) {
    ASSERT_EQ(desk.DeskContainer().width(), 1000);
    TPluginWindow& control = Control();
    SetGlobal("control", control.Handle());
    Run(R"(
        uidesk_dock_winctrl{inst = control, left = -200, top = 40, width = 150, height = 60, anchors = ""}
        local metrics = uidesk_data()
        content_width = metrics.content_width
    )");
    EXPECT_EQ(control.parentWidget(), &desk.DeskContainer());
    EXPECT_EQ(control.geometry(), QRect(800, 40, 150, 60));
    EXPECT_TRUE(control.isVisible());
    EXPECT_EQ(GlobalNumber("content_width"), desk.DeskContainer().ContentWidth());
}

using ClosingWithTheWindow = PagesTest;

TEST_F(ClosingWithTheWindow, APageClosesWhenItsWindowIsFreedElsewhere) {
    TPluginWindow& kept = Form();
    TPluginWindow& freed = Form();
    SetGlobal("kept", kept.Handle());
    SetGlobal("freed", freed.Handle());
    Run(R"(
        page_focornew_by_winctrl{wctrl_inst = kept, caption = "Kept", mode = 0, notab = 0, nobtnclose = 0}
        page_focornew_by_winctrl{wctrl_inst = freed, caption = "Freed", mode = 0, notab = 0, nobtnclose = 0}
    )");
    ASSERT_EQ(Captions(), (std::vector<std::string>{"工作台", "Kept", "Freed"}));
    const TTaxTabSheet* freedPage = &Page(2);

    // The plug-in frees its window, as an unloaded library does.
    std::erase_if(windows,
                  [&](const std::unique_ptr<TPluginWindow>& window) { return window.get() == &freed; });
    ProcessEvents();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"工作台", "Kept"}));
    EXPECT_EQ(Pages().TopPanel().Tabs(), Captions());
    EXPECT_FALSE(Pages().HasPage(freedPage));
    EXPECT_EQ(Pages().ActivePage(), &Page(1));
    EXPECT_EQ(Page(1).Tag(), kept.Handle());
}

TEST_F(ClosingWithTheWindow, AWindowDockedAgainClosesOnlyThePageThatHoldsItNow) {
    TPluginWindow& moved = Control();
    SetGlobal("moved", moved.Handle());
    Run(R"(
        first = newpage{caption = "First"}.inst
        second = newpage{caption = "Second"}.inst
        page_dock_winctrl{page_inst = first, wctrl_inst = moved}
        page_dock_winctrl{page_inst = second, wctrl_inst = moved}
    )");
    ASSERT_EQ(moved.parentWidget(), &Page(2));
    std::erase_if(windows,
                  [&](const std::unique_ptr<TPluginWindow>& window) { return window.get() == &moved; });
    ProcessEvents();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"工作台", "First"}));
}

} // namespace
} // namespace qm::test
