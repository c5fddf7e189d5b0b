// The framed panel that carries the strip: its frame, fill and the area left for its children.

#include "SkinFixture.h"
#include "common/ControlAlign.h"
#include "desk/tabs/TaxTab.h"
#include "desk/tabs/TaxTabControlTopPanel.h"

#include <gtest/gtest.h>
#include <memory>

namespace qm::test {
namespace {

TEST(TaxTab, FramesAndFillsBelowTheStripAndLaysChildrenOutThere) {
    TTempFolder folder;
    TTaxTab tab;
    tab.resize(300, 80);
    tab.TopPanel().SetSkinFile(WriteSkinFile(folder));
    tab.SetColor(QColor(10, 20, 30));
    tab.SetBorderColor(QColor(Qt::red));
    QWidget& child = *std::make_unique<QWidget>(&tab).release();
    SetControlAlign(&child, alClient);
    child.hide(); // so the panel's own painting shows
    tab.show();

    EXPECT_EQ(tab.TopPanel().geometry(), QRect(0, 0, 300, 24));
    const QImage shot = tab.grab().toImage();
    EXPECT_EQ(PieceAt(shot, 150, 10), "background");
    EXPECT_EQ(shot.pixelColor(0, 50), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(299, 50), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(150, 79), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(150, 24), QColor(10, 20, 30)) << "no top line under a strip";
    EXPECT_EQ(shot.pixelColor(150, 50), QColor(10, 20, 30));

    child.show();
    EXPECT_EQ(child.geometry(), QRect(1, 24, 298, 55));
    tab.resize(400, 100);
    EXPECT_EQ(tab.TopPanel().geometry(), QRect(0, 0, 400, 24)) << "the strip keeps the panel's width";
    EXPECT_EQ(child.geometry(), QRect(1, 24, 398, 75));
}

TEST(TaxTab, MarginFontAndCursorReachTheStrip) {
    TTaxTab tab;
    tab.SetRightMargin(7);
    EXPECT_EQ(tab.TopPanel().RightMargin(), 7);
    EXPECT_EQ(tab.RightMargin(), 7);
    QFont font = tab.Font();
    font.setPixelSize(17);
    tab.SetFont(font);
    EXPECT_EQ(tab.TopPanel().font().pixelSize(), 17);
    tab.setCursor(Qt::PointingHandCursor);
    EXPECT_EQ(tab.TopPanel().cursor().shape(), Qt::PointingHandCursor);
}

} // namespace
} // namespace qm::test
