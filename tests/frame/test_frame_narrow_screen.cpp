// Work areas smaller than the desk's usual restored size of 800 x 600: a small screen, and a
// 1920 x 1080 screen at a scale of 200 % (960 x 540 of the desk's pixels). The window, its
// minimum size included, fits the work area, and the whole desk, status bar included, is on it.

#include "DeskFrameFixture.h"

namespace qm::test {
namespace {

struct TSmallScreen {
    QSize workArea;     // in the desk's pixels
    QSize restoredSize; // the restored window, and the minimum size
    QPoint restorePosition;
};

TEST_F(DeskFrame, OnASmallWorkAreaTheWholeWindowFitsIt) {
    const TSmallScreen screens[] = {
        {{639, 479}, {639, 479}, {0, 0}},
        {{960, 540}, {800, 540}, {80, 0}},
    };
    const QRect area = WorkArea();
    const TSmallScreen* screen = nullptr;
    for (const TSmallScreen& candidate : screens)
        if (candidate.workArea == area.size())
            screen = &candidate;
    ASSERT_NE(screen, nullptr) << "the program's screen configuration was not applied: " << area.width()
                               << "x" << area.height();

    EXPECT_EQ(Desk().RestoredSize(), screen->restoredSize);
    EXPECT_EQ(Desk().minimumSize(), screen->restoredSize);
    EXPECT_EQ(Desk().RestorePosition(), screen->restorePosition);
    EXPECT_EQ(Desk().geometry(), area);
    // The status bar lies inside the window, which lies inside the work area.
    EXPECT_LE(Container().StatusArea().bottom, Desk().height());
    EXPECT_GT(Container().StatusHeight(), 0);

    DoubleClick(Container(), TitlePoint());
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsNormal);
    WaitForGeometry(QRect(screen->restorePosition, screen->restoredSize));
    EXPECT_TRUE(area.contains(Desk().geometry()));
    EXPECT_LE(Container().StatusArea().bottom, Desk().height());

    DoubleClick(Container(), TitlePoint());
    EXPECT_EQ(Desk().WindowState(), TFrmDesk::wsMaximized);
    WaitForGeometry(area);
}

} // namespace
} // namespace qm::test
