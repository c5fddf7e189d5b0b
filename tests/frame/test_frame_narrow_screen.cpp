// A screen narrower (and lower) than the desk's minimum size of 800 x 600.

#include "DeskFrameFixture.h"

namespace qm::test {
namespace {

TEST_F(DeskFrame, OnANarrowScreenTheRestoredWindowHangsOverTheLeftAndTopEdges) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    ASSERT_EQ(screen.size(), QSize(639, 479)) << "the program's screen configuration was not applied";

    // Centred: (639 - 800) / 2 and (479 - 600) / 2, halved toward zero.
    EXPECT_EQ(Desk().RestorePosition(), QPoint(-80, -60));
    EXPECT_EQ(Desk().size(), QSize(800, 600)) << "never smaller than the minimum size";

    DoubleClick(Container(), TitlePoint());
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsMaximized);
    EXPECT_EQ(Desk().pos(), QPoint(0, 0));
    DoubleClick(Container(), TitlePoint());
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    EXPECT_EQ(Desk().geometry(), QRect(-80, -60, 800, 600));

    // Dragging from there keeps counting from the negative position.
    MousePress(Container(), TitlePoint());
    MouseDrag(Container(), TitlePoint() + QPoint(30, 10));
    MouseRelease(Container(), TitlePoint() + QPoint(30, 10));
    EXPECT_EQ(Desk().RestorePosition(), QPoint(-50, -50));
}

} // namespace
} // namespace qm::test
