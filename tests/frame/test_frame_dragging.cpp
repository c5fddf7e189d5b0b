// Dragging the borderless desk window by its title rectangle or by the free part of the tab strip,
// and the tab strip's double-click.

#include "DeskFrameFixture.h"

namespace qm::test {
namespace {

TEST_F(DeskFrame, TitleDragMovesTheWindowAndRemembersWhereTo) {
    Restore();
    const QPoint start = Desk().pos();
    MousePress(Container(), TitlePoint());
    EXPECT_TRUE(Desk().Dragging());
    MouseDrag(Container(), TitlePoint() + QPoint(30, 40));
    EXPECT_EQ(Desk().pos(), start + QPoint(30, 40));
    // The next move is seen from where the window is now.
    MouseDrag(Container(), TitlePoint() + QPoint(-5, 2));
    EXPECT_EQ(Desk().pos(), start + QPoint(25, 42));
    EXPECT_EQ(Desk().RestorePosition(), start + QPoint(25, 42));
    MouseRelease(Container(), TitlePoint() + QPoint(-5, 2));
    EXPECT_FALSE(Desk().Dragging());
    MouseDrag(Container(), TitlePoint() + QPoint(50, 50));
    EXPECT_EQ(Desk().pos(), start + QPoint(25, 42)) << "the release ended the drag";

    // Restoring goes back to where the window was dragged.
    Desk().ChangeWindowState(TFrmDesk::wsMaximized);
    WaitForGeometry(WorkArea());
    Desk().ChangeWindowState(TFrmDesk::wsNormal);
    WaitForGeometry(QRect(start + QPoint(25, 42), QSize(800, 600)));
}

TEST_F(DeskFrame, OnlyALeftPressInTheTitleDragsAndOnlyInTheNormalState) {
    Restore();
    const QPoint start = Desk().pos();
    const QPoint restore = Desk().RestorePosition();

    MousePress(Container(), StatusPoint());
    MouseDrag(Container(), StatusPoint() + QPoint(20, 20));
    MouseRelease(Container(), StatusPoint() + QPoint(20, 20));
    EXPECT_FALSE(Desk().Dragging());
    EXPECT_EQ(Desk().pos(), start);

    MousePress(Container(), TitlePoint(), Qt::RightButton);
    MouseDrag(Container(), TitlePoint() + QPoint(20, 20));
    MouseRelease(Container(), TitlePoint() + QPoint(20, 20), Qt::RightButton);
    EXPECT_EQ(Desk().pos(), start);

    Desk().ChangeWindowState(TFrmDesk::wsMaximized);
    WaitForGeometry(WorkArea());
    MousePress(Container(), TitlePoint());
    EXPECT_FALSE(Desk().Dragging());
    MouseDrag(Container(), TitlePoint() + QPoint(20, 20));
    MouseRelease(Container(), TitlePoint() + QPoint(20, 20));
    EXPECT_EQ(Desk().pos(), QPoint(0, 0));
    EXPECT_EQ(Desk().RestorePosition(), restore);
}

TEST_F(DeskFrame, AfterMinimizingDraggingStaysOffUntilTheStateChanges) {
    Restore();
    const QPoint restored = Desk().pos();
    Desk().ChangeWindowState(TFrmDesk::wsMinimized);
    ASSERT_TRUE(WaitUntil([this] { return Desk().isMinimized(); }));
    // Brought back from the task bar: the desk is not told, so it is still minimized for itself.
    Desk().showNormal();
    QCoreApplication::processEvents();
    ASSERT_FALSE(Desk().isMinimized());
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsMinimized);

    MousePress(Container(), TitlePoint());
    MouseDrag(Container(), TitlePoint() + QPoint(15, 15));
    MouseRelease(Container(), TitlePoint() + QPoint(15, 15));
    EXPECT_EQ(Desk().pos(), restored);

    Restore();
    MousePress(Container(), TitlePoint());
    MouseDrag(Container(), TitlePoint() + QPoint(15, 15));
    MouseRelease(Container(), TitlePoint() + QPoint(15, 15));
    EXPECT_EQ(Desk().pos(), restored + QPoint(15, 15));
}

TEST_F(DeskFrame, TabStripDragsFromItsFreeAreaButNotFromATab) {
    DockIntoNewPage("发票");
    ASSERT_EQ(Strip().height(), 24);
    ASSERT_FALSE(Pages().FreeStripRect().isEmpty());
    Restore();
    const QPoint start = Desk().pos();

    MousePress(Strip(), TabPoint(0));
    EXPECT_FALSE(Desk().Dragging());
    MouseDrag(Strip(), TabPoint(0) + QPoint(20, 10));
    MouseRelease(Strip(), TabPoint(0) + QPoint(20, 10));
    EXPECT_EQ(Desk().pos(), start);

    const QPoint free = FreeStripPoint();
    MousePress(Strip(), free);
    EXPECT_TRUE(Desk().Dragging());
    MouseDrag(Strip(), free + QPoint(12, 7));
    EXPECT_EQ(Desk().pos(), start + QPoint(12, 7));
    EXPECT_EQ(Desk().RestorePosition(), start + QPoint(12, 7));
    MouseRelease(Strip(), free + QPoint(12, 7));
    EXPECT_FALSE(Desk().Dragging());

    // Not in the maximized state either.
    Desk().ChangeWindowState(TFrmDesk::wsMaximized);
    MousePress(Strip(), FreeStripPoint());
    EXPECT_FALSE(Desk().Dragging());
    MouseRelease(Strip(), FreeStripPoint());
}

TEST_F(DeskFrame, TabStripDoubleClickTogglesOnlyFromItsFreeArea) {
    DockIntoNewPage("发票");
    DockIntoNewPage("报表");
    // Start from a window smaller than the screen, so that each toggle shows.
    Restore();
    const QRect normal = Desk().geometry();

    PutCursorOnStrip(FreeStripPoint());
    DoubleClick(Strip(), FreeStripPoint());
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsMaximized);
    WaitForGeometry(WorkArea());

    // The second press may be held and moved: the restored window stays where it belongs.
    PutCursorOnStrip(FreeStripPoint());
    DoubleClickPress(Strip(), FreeStripPoint());
    MouseDrag(Strip(), FreeStripPoint() + QPoint(6, 3));
    MouseRelease(Strip(), FreeStripPoint() + QPoint(6, 3));
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    WaitForGeometry(normal);

    // On a tab the double-click is the tab's, even right after a click in the free area.
    TTaxTabSheet* active = Pages().ActivePage();
    PutCursorOnStrip(FreeStripPoint());
    MouseClick(Strip(), FreeStripPoint());
    PutCursorOnStrip(TabPoint(0));
    DoubleClick(Strip(), TabPoint(0));
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    EXPECT_EQ(Desk().geometry(), normal);
    EXPECT_NE(Pages().ActivePage(), active) << "the tab was clicked";
}

} // namespace
} // namespace qm::test
