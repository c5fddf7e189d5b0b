// What the strip paints, read back pixel by pixel from the widget's own painting with a skin whose
// pieces all have colours of their own.

#include "SkinFixture.h"
#include "corvane/Errors.h"
#include "desk/tabs/TabCaptionFit.h"
#include "desk/tabs/TabStripPainter.h"
#include "desk/tabs/TaxTab.h"
#include "desk/tabs/TaxTabControlTopPanel.h"

#include <QFontMetrics>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

namespace qm::test {
namespace {

// Strip 300 wide: list button 20, right margin 2, so the row shows in x 20..297. Tabs are 50
// long with a step of 30.
class TabStripPaint : public ::testing::Test {
protected:
    void SetUp() override {
        skinFile_ = WriteSkinFile(folder_);
        tab_ = std::make_unique<TTaxTab>();
        tab_->resize(300, 80);
        Strip().SetSkinFile(skinFile_);
        tab_->show();
    }

    TTaxTabControlTopPanel& Strip() { return tab_->TopPanel(); }
    QImage Shot() { return Strip().grab().toImage(); }
    std::string At(int x, int y) { return PieceAt(Shot(), x, y); }
    void Leave() {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&Strip(), &leave);
    }

    TTempFolder folder_;
    std::string skinFile_;
    std::unique_ptr<TTaxTab> tab_;
};

TEST_F(TabStripPaint, RowIsBuiltFromEndsMiddlesAndJunctions) {
    Strip().SetTabs({"", "", ""});
    const QImage shot = Shot();
    ASSERT_EQ(shot.size(), QSize(300, 24));
    // List area: the button picture at x 2..17, y 4..19, background around it.
    EXPECT_EQ(PieceAt(shot, 10, 12), "list_normal");
    EXPECT_EQ(PieceAt(shot, 0, 0), "background");
    EXPECT_EQ(PieceAt(shot, 19, 12), "background");
    // Row x = strip x - 20; tab k spans row k*30 .. k*30+50.
    EXPECT_EQ(PieceAt(shot, 20, 2), "left_active");
    EXPECT_EQ(PieceAt(shot, 39, 23), "left_active");
    EXPECT_EQ(PieceAt(shot, 40, 2), "middle_active");
    EXPECT_EQ(PieceAt(shot, 49, 2), "middle_active");
    EXPECT_EQ(PieceAt(shot, 50, 2), "junction_active_normal");
    EXPECT_EQ(PieceAt(shot, 69, 2), "junction_active_normal");
    EXPECT_EQ(PieceAt(shot, 75, 2), "middle_normal");
    EXPECT_EQ(PieceAt(shot, 85, 2), "junction_normal_normal");
    EXPECT_EQ(PieceAt(shot, 105, 2), "middle_normal");
    EXPECT_EQ(PieceAt(shot, 110, 2), "right_normal");
    EXPECT_EQ(PieceAt(shot, 129, 23), "right_normal");
    // The row is 3 * 30 + 20 = 110 wide; the strip's background follows.
    EXPECT_EQ(PieceAt(shot, 130, 2), "background");
    EXPECT_EQ(PieceAt(shot, 299, 23), "background");
}

TEST_F(TabStripPaint, HoverAndActiveLooksPickTheirJunctions) {
    Strip().SetTabs({"", "", ""});

    MouseMove(Strip(), {105, 2}); // over tab 2, the last one (above the close buttons' row)
    EXPECT_EQ(Strip().HoverCode(), 3);
    EXPECT_EQ(At(85, 2), "junction_normal_hover");
    EXPECT_EQ(At(105, 2), "middle_hover");
    EXPECT_EQ(At(115, 2), "right_hover");

    MouseMove(Strip(), {75, 2}); // over tab 1, right of the active tab 0
    EXPECT_EQ(Strip().HoverCode(), 2);
    EXPECT_EQ(At(55, 2), "junction_active_hover");
    EXPECT_EQ(At(75, 2), "middle_hover");
    EXPECT_EQ(At(85, 2), "junction_hover_normal");
    EXPECT_EQ(At(115, 2), "right_normal");

    Strip().SetTabIndex(1);
    MouseMove(Strip(), {35, 2}); // over tab 0, left of the active tab 1
    EXPECT_EQ(Strip().HoverCode(), 1);
    EXPECT_EQ(At(25, 2), "left_hover");
    EXPECT_EQ(At(45, 2), "middle_hover");
    EXPECT_EQ(At(55, 2), "junction_hover_active");
    EXPECT_EQ(At(75, 2), "middle_active");
    EXPECT_EQ(At(85, 2), "junction_active_normal");

    Strip().SetTabIndex(2);
    Leave();
    EXPECT_EQ(Strip().HoverCode(), -1000);
    EXPECT_EQ(At(25, 2), "left_normal");
    EXPECT_EQ(At(55, 2), "junction_normal_normal");
    EXPECT_EQ(At(85, 2), "junction_normal_active");
    EXPECT_EQ(At(105, 2), "middle_active");
    EXPECT_EQ(At(115, 2), "right_active");
}

TEST_F(TabStripPaint, WithoutVisibleTabsOnlyBackgroundAndListButtonArePainted) {
    Strip().SetTabs({"a", "b", "c"});
    for (int i = 0; i < 3; ++i)
        Strip().SetTabVisible(i, false);
    EXPECT_EQ(Strip().Geometry().RowWidth(), 0);
    const QImage shot = Shot();
    EXPECT_EQ(PieceAt(shot, 10, 12), "list_normal");
    for (int x = 20; x < 300; ++x)
        for (int y : {0, 12, 23})
            ASSERT_EQ(PieceAt(shot, x, y), "background") << x << "," << y;
}

TEST_F(TabStripPaint, ListButtonShowsHoverAndPressWhileTheMouseIsOnIt) {
    Strip().SetTabs({"only"});
    MouseMove(Strip(), {10, 12});
    EXPECT_EQ(Strip().HoverCode(), 0);
    EXPECT_EQ(Strip().PressState(), 1);
    EXPECT_EQ(At(10, 12), "list_hovered");
    MousePress(Strip(), {10, 12});
    EXPECT_EQ(Strip().PressState(), 2);
    EXPECT_EQ(At(10, 12), "list_pressed");
    MouseRelease(Strip(), {10, 12});
    EXPECT_EQ(Strip().PressState(), 0);
    EXPECT_EQ(At(10, 12), "list_normal");
    MouseMove(Strip(), {30, 12});
    EXPECT_EQ(At(10, 12), "list_normal");
}

TEST_F(TabStripPaint, CloseButtonFollowsTheTabThenTheMouse) {
    Strip().SetTabs({"", "", ""});
    Strip().SetCloseVisible(0, true);
    Strip().SetCloseVisible(1, true);
    // Tab k's close picture sits at row k*30+14 .. k*30+29, y 4..19.
    EXPECT_EQ(At(40, 12), "close_tab_active");
    EXPECT_EQ(At(70, 12), "close_tab_normal");
    EXPECT_EQ(At(100, 12), "middle_normal") << "tab 2 has no close button";
    EXPECT_EQ(At(70, 2), "middle_normal");

    MouseMove(Strip(), {72, 2}); // tab 1, above its close button
    EXPECT_EQ(Strip().HoverCode(), 2);
    EXPECT_EQ(At(70, 12), "close_tab_hover");

    MouseMove(Strip(), {75, 12}); // tab 1's close button
    EXPECT_EQ(Strip().HoverCode(), 1002);
    EXPECT_EQ(Strip().PressState(), 1);
    EXPECT_EQ(At(70, 12), "close_hovered");
    MousePress(Strip(), {75, 12});
    EXPECT_EQ(At(70, 12), "close_pressed");
    MouseRelease(Strip(), {75, 12});
}

TEST_F(TabStripPaint, HiddenListButtonMovesTheRowToZeroAndComesBackTwentyWide) {
    Strip().SetTabs({"", ""});
    Strip().SetToolBarVisible(false);
    Strip().SetToolBarVisible(false); // hiding twice must not lose the width
    EXPECT_EQ(Strip().ListButtonWidth(), 0);
    EXPECT_EQ(Strip().Geometry().VisibleRowWidth(), 298);
    EXPECT_EQ(At(0, 2), "left_active");
    EXPECT_EQ(At(10, 12), "left_active");
    EXPECT_EQ(At(25, 2), "middle_active");
    MouseMove(Strip(), {10, 12});
    EXPECT_EQ(Strip().HoverCode(), 1) << "no list button under the mouse";
    EXPECT_TRUE(Strip().toolTip().isEmpty()) << "the tab's empty caption, not the list's hint";

    Strip().SetToolBarVisible(true);
    EXPECT_EQ(Strip().ListButtonWidth(), 20);
    EXPECT_EQ(At(10, 12), "list_normal");
    EXPECT_EQ(At(20, 2), "left_active");
    EXPECT_EQ(At(45, 2), "middle_active");
}

// The pixels of the caption area of tab 0 that are not its middle piece.
int CaptionPixels(const QImage& shot, int maxTabLength) {
    int count = 0;
    for (int x = 20 + 20; x < 20 + maxTabLength - 20; ++x)
        for (int y = 0; y < 24; ++y)
            if (PieceAt(shot, x, y) != "middle_active")
                ++count;
    return count;
}

TEST_F(TabStripPaint, CaptionTooNarrowEvenForDotsIsLeftOut) {
    QFont big = tab_->Font();
    big.setPixelSize(30);
    tab_->SetFont(big);
    ASSERT_GT(QFontMetrics(big).horizontalAdvance(QStringLiteral("...")), 16);
    ASSERT_GT(QFontMetrics(big).horizontalAdvance(QStringLiteral("纳税")), 16);

    Strip().SetMaxTabLength(56); // 16 pixels for the caption
    Strip().SetTabs({"纳税"});
    EXPECT_EQ(CaptionPixels(Shot(), 56), 0);

    // The same caption area with room for the text does show it.
    Strip().SetMaxTabLength(200);
    Strip().SetTabs({"ab"});
    EXPECT_GT(CaptionPixels(Shot(), 200), 0);
}

// On a screen of twice the pixels the skin's pieces are stretched exactly and the caption is
// drawn at the screen's resolution, not enlarged from a picture of the strip's size.
TEST_F(TabStripPaint, AtRatioTwoPiecesAreDoubledAndTheCaptionIsDrawnSharp) {
    Strip().SetMaxTabLength(200);
    Strip().SetTabs({"纳税申报"});
    const TTabStripGeometry geometry = Strip().Geometry();
    TTabStripScene scene;
    scene.geometry = &geometry;
    scene.skin = Strip().SkinBitmap();
    scene.captions = {QStringLiteral("纳税申报")};
    scene.font = tab_->Font();
    scene.textColor = Qt::black;
    const QImage one = PaintTabStrip(scene);
    scene.ratio = 2;
    const QImage two = PaintTabStrip(scene);
    ASSERT_EQ(two.size(), one.size() * 2);
    EXPECT_EQ(two.devicePixelRatio(), 2.0);

    const QRect caption(40, 0, 200 - 40, one.height()); // tab 0's caption room, list button 20
    int captionDifferences = 0;
    for (int y = 0; y < two.height(); ++y)
        for (int x = 0; x < two.width(); ++x) {
            const bool same = two.pixel(x, y) == one.pixel(x / 2, y / 2);
            if (caption.contains(x / 2, y / 2))
                captionDifferences += same ? 0 : 1;
            else if (!same)
                FAIL() << "outside the caption at " << x << "," << y;
        }
    EXPECT_GT(captionDifferences, 20) << "the caption is the small one enlarged";
}

TEST(TabCaptionFit, ShortensFromTheEndWithDots) {
    QFont font;
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const QString caption = QStringLiteral("abcdefghijklmnop");
    EXPECT_EQ(FitTabCaption(caption, metrics, metrics.horizontalAdvance(caption)), caption);

    const int room = metrics.horizontalAdvance(QStringLiteral("abcd..."));
    EXPECT_EQ(FitTabCaption(caption, metrics, room), QStringLiteral("abcd..."));
    EXPECT_EQ(FitTabCaption(caption, metrics, room - 1), QStringLiteral("abc..."));

    const int dots = metrics.horizontalAdvance(QStringLiteral("..."));
    EXPECT_EQ(FitTabCaption(caption, metrics, dots), QStringLiteral("..."));
    EXPECT_EQ(FitTabCaption(caption, metrics, dots - 1), QString());

    // A character outside the basic plane is dropped whole, never half.
    const QString wide = QStringLiteral("a") + QString::fromUcs4(U"\U0001F600\U0001F600");
    const QString fitted = FitTabCaption(wide, metrics, metrics.horizontalAdvance(wide) - 1);
    EXPECT_TRUE(fitted.endsWith(QStringLiteral("...")));
    const QString kept = fitted.chopped(3);
    EXPECT_TRUE(kept.isEmpty() || !kept.back().isHighSurrogate()) << fitted.toStdString();
}

TEST_F(TabStripPaint, MissingSkinPaintsWhiteAndABrokenOneIsRefused) {
    Strip().SetTabs({"", ""});
    const std::string broken = folder_.File("broken.bmp");
    {
        std::FILE* f = std::fopen(broken.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("this is no bitmap", f);
        std::fclose(f);
    }
    EXPECT_THROW(Strip().SetSkinFile(broken), corvane::EUI);
    EXPECT_EQ(Strip().SkinFile(), skinFile_);
    EXPECT_EQ(At(25, 2), "left_active") << "the old skin stays";

    Strip().SetSkinFile(folder_.File("missing.bmp"));
    EXPECT_TRUE(Strip().SkinBitmap().isNull());
    const QImage shot = Shot();
    for (int x = 0; x < 300; x += 7)
        for (int y : {0, 12, 23})
            ASSERT_EQ(PieceAt(shot, x, y), "white") << x << "," << y;
}

} // namespace
} // namespace qm::test
