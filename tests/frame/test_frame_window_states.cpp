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

TEST_F(DeskFrame, StartsNormalOverTheScreenWithTheRestorePositionCentred) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    EXPECT_EQ(Desk().geometry(), QRect(0, 0, screen.width(), WorkArea().height()));
    // Centred for the minimum size, 800 x 600, not for the current one.
    EXPECT_EQ(Desk().RestorePosition(), QPoint(240, 212));
    EXPECT_EQ(Desk().minimumSize(), QSize(800, 600));
    ExpectMaximizeButton(Desk(), TFrmDesk::wsMaximized, "nor_01.png", "nor_02.png");
}

TEST_F(DeskFrame, TitleDoubleClicksMaximizeThenRestore) {
    // Move the window away first, so that maximizing shows and the restore position is its own.
    MousePress(Container(), TitlePoint());
    MouseDrag(Container(), TitlePoint() + QPoint(30, 40));
    MouseRelease(Container(), TitlePoint() + QPoint(30, 40));
    ASSERT_EQ(Desk().pos(), QPoint(30, 40));

    DoubleClick(Container(), TitlePoint());
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsMaximized);
    EXPECT_EQ(Desk().geometry(), QRect(0, 0, WorkArea().width(), WorkArea().height()));
    EXPECT_FALSE(Desk().Dragging());
    ExpectMaximizeButton(Desk(), TFrmDesk::wsNormal, "max_01.png", "max_02.png");

    // The button is still down after the second press; moving it then must not drag the window
    // away from where it was restored to.
    DoubleClickPress(Container(), TitlePoint());
    MouseDrag(Container(), TitlePoint() + QPoint(7, 9));
    MouseRelease(Container(), TitlePoint() + QPoint(7, 9));
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    EXPECT_EQ(Desk().geometry(), QRect(30, 40, 800, 600));
    EXPECT_EQ(Desk().RestorePosition(), QPoint(30, 40));
    ExpectMaximizeButton(Desk(), TFrmDesk::wsMaximized, "nor_01.png", "nor_02.png");

    // Outside the title rectangle a double-click changes nothing.
    DoubleClick(Container(), StatusPoint());
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    EXPECT_EQ(Desk().geometry(), QRect(30, 40, 800, 600));
}

TEST_F(DeskFrame, MaximizeButtonSwitchesStateAndLooks) {
    TUIcon& button = Desk().MaximizeButton();
    const QPoint at = Centre(button.Bounds);
    const QImage before = Container().CanvasBitmap().copy(QRect(at - QPoint(3, 3), QSize(6, 6)));

    MouseClick(Container(), at);
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsMaximized);
    EXPECT_EQ(Desk().geometry(), QRect(0, 0, WorkArea().width(), WorkArea().height()));
    ExpectMaximizeButton(Desk(), TFrmDesk::wsNormal, "max_01.png", "max_02.png");
    // Repainted with the restore look.
    EXPECT_NE(Container().CanvasBitmap().copy(QRect(at - QPoint(3, 3), QSize(6, 6))), before);

    // The button moved with the right edge of the restored window.
    MouseClick(Container(), Centre(button.Bounds));
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    EXPECT_EQ(Desk().geometry(), QRect(Desk().RestorePosition(), QSize(800, 600)));
    ExpectMaximizeButton(Desk(), TFrmDesk::wsMaximized, "nor_01.png", "nor_02.png");
    EXPECT_LT(Centre(button.Bounds).x(), 800);

    // A double-click on the button: its first press is the button's, the second the title's.
    const QPoint onButton = Centre(button.Bounds);
    const TRect& title = Container().TitleArea();
    ASSERT_TRUE(onButton.y() >= title.top && onButton.y() < title.bottom);
    DoubleClick(Container(), onButton);
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    EXPECT_EQ(Desk().geometry(), QRect(Desk().RestorePosition(), QSize(800, 600)));
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
