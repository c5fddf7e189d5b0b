// The desk's window states: normal, minimized and maximized, from the title-bar buttons and from
// double-clicks on the title rectangle.

#include "DeskFrameFixture.h"

namespace qm::test {
namespace {

QPoint Centre(const TRect& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void ExpectMaximizeButton(const TFrmDesk& desk, std::int32_t tag, const char* normal, const char* hover) {
    const TUIcon& button = desk.MaximizeButton();
    EXPECT_EQ(button.Tag, tag);
    EXPECT_EQ(button.Icon.NorPngFile, normal);
    EXPECT_EQ(button.Icon.MovPngFile, hover);
}

TEST_F(DeskFrame, StartsMaximizedInTheWorkAreaWithTheRestorePositionCentred) {
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsMaximized);
    EXPECT_TRUE(Desk().isMaximized()) << "the window system is told, too";
    EXPECT_EQ(Desk().geometry(), WorkArea());
    // Centred for the restored size, 800 x 600, not for the current one.
    EXPECT_EQ(Desk().RestorePosition(), QPoint(240, 212));
    EXPECT_EQ(Desk().minimumSize(), QSize(800, 600));
    // The restore picture from the first paint: a click restores.
    ExpectMaximizeButton(Desk(), TFrmDesk::wsNormal, "max_01.png", "max_02.png");
}

TEST_F(DeskFrame, TitleDoubleClicksRestoreThenMaximize) {
    DoubleClick(Container(), TitlePoint());
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    EXPECT_FALSE(Desk().isMaximized());
    EXPECT_TRUE(WaitForGeometry(QRect(240, 212, 800, 600)));
    ExpectMaximizeButton(Desk(), TFrmDesk::wsMaximized, "nor_01.png", "nor_02.png");

    // Moved away, so that the restore position is its own.
    MousePress(Container(), TitlePoint());
    MouseDrag(Container(), TitlePoint() + QPoint(30, 40));
    MouseRelease(Container(), TitlePoint() + QPoint(30, 40));
    ASSERT_EQ(Desk().pos(), QPoint(270, 252));

    DoubleClick(Container(), TitlePoint());
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsMaximized);
    EXPECT_TRUE(Desk().isMaximized());
    EXPECT_TRUE(WaitForGeometry(WorkArea()));
    EXPECT_FALSE(Desk().Dragging());
    ExpectMaximizeButton(Desk(), TFrmDesk::wsNormal, "max_01.png", "max_02.png");

    // The button is still down after the second press; moving it then must not drag the window
    // away from where it was restored to.
    DoubleClickPress(Container(), TitlePoint());
    MouseDrag(Container(), TitlePoint() + QPoint(7, 9));
    MouseRelease(Container(), TitlePoint() + QPoint(7, 9));
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    EXPECT_TRUE(WaitForGeometry(QRect(270, 252, 800, 600)));
    EXPECT_EQ(Desk().RestorePosition(), QPoint(270, 252));
    ExpectMaximizeButton(Desk(), TFrmDesk::wsMaximized, "nor_01.png", "nor_02.png");

    // Outside the title rectangle a double-click changes nothing.
    DoubleClick(Container(), StatusPoint());
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    EXPECT_EQ(Desk().geometry(), QRect(270, 252, 800, 600));
}

TEST_F(DeskFrame, MaximizeButtonSwitchesStateAndLooks) {
    TUIcon& button = Desk().MaximizeButton();
    // The button's look with the pointer elsewhere.
    const auto look = [&] {
        MouseMove(Container(), StatusPoint());
        const QPoint at = Centre(button.Bounds);
        return Container().CanvasBitmap().copy(QRect(at - QPoint(3, 3), QSize(6, 6)));
    };
    const QImage maximizedLook = look();

    MouseClick(Container(), Centre(button.Bounds));
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    EXPECT_TRUE(WaitForGeometry(QRect(Desk().RestorePosition(), QSize(800, 600))));
    ExpectMaximizeButton(Desk(), TFrmDesk::wsMaximized, "nor_01.png", "nor_02.png");
    // Repainted with the maximize look, and moved with the right edge of the restored window.
    EXPECT_NE(look(), maximizedLook);
    EXPECT_LT(Centre(button.Bounds).x(), 800);

    MouseClick(Container(), Centre(button.Bounds));
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsMaximized);
    EXPECT_TRUE(WaitForGeometry(WorkArea()));
    ExpectMaximizeButton(Desk(), TFrmDesk::wsNormal, "max_01.png", "max_02.png");
    EXPECT_EQ(look(), maximizedLook);

    // A double-click on the button of the restored window: its first press is the button's
    // (maximize), the second the title's (restore).
    MouseClick(Container(), Centre(button.Bounds));
    ASSERT_TRUE(WaitForGeometry(QRect(Desk().RestorePosition(), QSize(800, 600))));
    const QPoint onButton = Centre(button.Bounds);
    const TRect& title = Container().TitleArea();
    ASSERT_TRUE(onButton.y() >= title.top && onButton.y() < title.bottom);
    DoubleClick(Container(), onButton);
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    EXPECT_TRUE(WaitForGeometry(QRect(Desk().RestorePosition(), QSize(800, 600))));
}

TEST_F(DeskFrame, WhatTheWindowSystemMaximizesOrRestoresBecomesTheDesksState) {
    // A keyboard shortcut of the window manager, say: the desk follows, button included.
    Desk().showNormal();
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    ExpectMaximizeButton(Desk(), TFrmDesk::wsMaximized, "nor_01.png", "nor_02.png");
    Desk().showMaximized();
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsMaximized);
    ExpectMaximizeButton(Desk(), TFrmDesk::wsNormal, "max_01.png", "max_02.png");
    EXPECT_TRUE(WaitForGeometry(WorkArea()));
}

TEST_F(DeskFrame, ASecondStartBringsTheMinimizedDeskBackInItsState) {
    Desk().ChangeWindowState(TFrmDesk::wsMinimized);
    ASSERT_TRUE(WaitUntil([this] { return Desk().isMinimized(); }));
    Desk().BringToFront();
    EXPECT_FALSE(Desk().isMinimized());
    EXPECT_TRUE(Desk().isVisible());
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsMaximized) << "minimized from the maximized state";
    ExpectMaximizeButton(Desk(), TFrmDesk::wsNormal, "max_01.png", "max_02.png");
}

TEST_F(DeskFrame, MinimizeButtonMinimizesAfterItsTimer) {
    // The minimize button sits left of the maximize button.
    const TRect& maximize = Desk().MaximizeButton().Bounds;
    MouseClick(Container(), {maximize.left - 4, (maximize.top + maximize.bottom) / 2});
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsMinimized);
    EXPECT_TRUE(WaitUntil([this] { return Desk().isMinimized(); }));
}

} // namespace
} // namespace qm::test
