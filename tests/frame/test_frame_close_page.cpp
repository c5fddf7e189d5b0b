// What closing a desk page does to the window docked in it.

#include "DeskFrameFixture.h"

#include <QPointer>

namespace qm::test {
namespace {

TEST_F(DeskFrame, ClosingAPageFreesItsFormWhenTheFormLeavesClosingToTheDesk) {
    TDockedWindow& form = DockIntoNewPage("申报表");
    const QPointer<TDockedWindow> watch(&form);
    TTaxTabSheet& page = PageOf(form);
    const std::int32_t handle = form.Handle();

    EXPECT_TRUE(Pages().RemovePage(page)) << "the page is always allowed to close";
    EXPECT_FALSE(Pages().HasPage(&page));
    EXPECT_EQ(Pages().PageCount(), 1);
    ASSERT_FALSE(watch.isNull()) << "freed through the event loop, not under the caller's feet";
    RunDeferredDeletes();
    EXPECT_TRUE(watch.isNull());
    EXPECT_FALSE(corvane::Handles().IsLive(handle));
    // The bench is shown again.
    EXPECT_EQ(Pages().ActivePage(), &Desk().BenchPage());
    EXPECT_TRUE(Desk().BenchPage().isVisible());
}

TEST_F(DeskFrame, AFormThatHandlesClosingIsAskedAndDecidesItself) {
    TDockedWindow& keeps = DockIntoNewPage("未保存");
    SetHandlesClose(keeps);
    keeps.refuseClose = true;
    TDockedWindow& agrees = DockIntoNewPage("已保存");
    SetHandlesClose(agrees);
    const QPointer<TDockedWindow> keepsWatch(&keeps);
    const QPointer<TDockedWindow> agreesWatch(&agrees);
    TTaxTabSheet& keepsPage = PageOf(keeps);

    EXPECT_TRUE(Pages().RemovePage(keepsPage));
    EXPECT_TRUE(Pages().RemovePage(PageOf(agrees)));
    RunDeferredDeletes();
    ASSERT_FALSE(keepsWatch.isNull());
    ASSERT_FALSE(agreesWatch.isNull()) << "its close event decides; the desk frees nothing";
    EXPECT_EQ(keeps.CloseEvents(), 1);
    EXPECT_EQ(agrees.CloseEvents(), 1);
    EXPECT_TRUE(agrees.isHidden()) << "it accepted its close event";
    EXPECT_EQ(keeps.parentWidget(), &keepsPage);
    EXPECT_EQ(Pages().PageCount(), 1);
    EXPECT_TRUE(corvane::Handles().IsLive(keeps.Handle()));
}

TEST_F(DeskFrame, PlainControlsEmptyPagesAndStaleTagsAreLeftAlone) {
    TDockedWindow& control = DockIntoNewPage("编辑框", corvane::kHandleControl);
    const QPointer<TDockedWindow> controlWatch(&control);
    EXPECT_TRUE(Pages().RemovePage(PageOf(control)));
    RunDeferredDeletes();
    ASSERT_FALSE(controlWatch.isNull());
    EXPECT_EQ(control.CloseEvents(), 0);
    EXPECT_TRUE(corvane::Handles().IsLive(control.Handle()));

    TTaxTabSheet& empty = Pages().NewPage(false);
    EXPECT_TRUE(Pages().RemovePage(empty));
    RunDeferredDeletes();

    // The tag names a form that is gone already (its plug-in freed it).
    TDockedWindow& gone = DockIntoNewPage("已关闭");
    TTaxTabSheet& stalePage = PageOf(gone);
    gone.deleteLater();
    RunDeferredDeletes();
    ASSERT_NE(stalePage.Tag(), 0);
    EXPECT_TRUE(Pages().RemovePage(stalePage));
    RunDeferredDeletes();
    EXPECT_EQ(Pages().PageCount(), 1);
    EXPECT_EQ(Pages().ActivePage(), &Desk().BenchPage());
}

TEST_F(DeskFrame, TheTabsCloseButtonClosesItsPageAndFreesTheForm) {
    TDockedWindow& first = DockIntoNewPage("第一页");
    TDockedWindow& second = DockIntoNewPage("第二页");
    const QPointer<TDockedWindow> firstWatch(&first);
    const QPointer<TDockedWindow> secondWatch(&second);
    TTaxTabSheet& firstPage = PageOf(first);
    ASSERT_EQ(Strip().Geometry().VisibleCount(), 2);

    // The second tab's close button (the active tab), clicked as a user does.
    MouseClick(Strip(), CloseButtonPoint(1));
    RunDeferredDeletes();
    EXPECT_TRUE(secondWatch.isNull());
    ASSERT_FALSE(firstWatch.isNull());
    EXPECT_EQ(first.CloseEvents(), 0);
    EXPECT_EQ(Pages().PageCount(), 2);
    EXPECT_EQ(Pages().ActivePage(), &firstPage);
    EXPECT_EQ(Strip().Tabs(), (std::vector<std::string>{Desk().BenchPage().Caption(), "第一页"}));

    // A press on the close button that is released elsewhere closes nothing.
    const QPoint close = CloseButtonPoint(0);
    MousePress(Strip(), close);
    MouseRelease(Strip(), FreeStripPoint());
    EXPECT_EQ(Pages().PageCount(), 2);
    MouseClick(Strip(), close);
    RunDeferredDeletes();
    EXPECT_TRUE(firstWatch.isNull());
    EXPECT_EQ(Pages().PageCount(), 1);
}

TEST_F(DeskFrame, ADoubleClickOnACloseButtonClosesOnePage) {
    DockIntoNewPage("甲");
    DockIntoNewPage("乙");
    DockIntoNewPage("丙");
    // Closing the middle tab moves the last one under the cursor for the second press.
    DoubleClick(Strip(), CloseButtonPoint(1));
    RunDeferredDeletes();
    EXPECT_EQ(Strip().Tabs(), (std::vector<std::string>{Desk().BenchPage().Caption(), "甲", "丙"}));
}

TEST_F(DeskFrame, APageWhoseWindowIsFreedElsewhereClosesAndGoes) {
    auto window = std::make_unique<TDockedWindow>();
    corvane::TBSONDocument request;
    request.SetInteger(std::string(corvane::kReqCmd), 206);
    request.SetInteger("wctrl_inst", window->Handle());
    request.SetString("caption", "插件窗口");
    request.SetInteger("mode", 0);
    request.SetInteger("notab", 0);
    request.SetInteger("nobtnclose", 0);
    Desk().HostPlugin().Invoke(request);
    ASSERT_EQ(Pages().PageCount(), 2);
    const QPointer<TTaxTabSheet> page(&PageOf(*window));

    // The plug-in frees its window, as an unloaded library does.
    window.reset();
    EXPECT_FALSE(Pages().HasPage(page.data()));
    EXPECT_EQ(Pages().PageCount(), 1);
    EXPECT_EQ(Pages().ActivePage(), &Desk().BenchPage());
    RunDeferredDeletes();
    EXPECT_TRUE(page.isNull()) << "the empty page is released";
}

} // namespace
} // namespace qm::test
