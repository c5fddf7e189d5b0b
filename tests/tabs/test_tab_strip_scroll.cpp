// The strip's layout: hit rectangles with their special rules, and how selecting a tab scrolls a
// row wider than the strip. Expected numbers are worked out by hand from the layout rules.

#include "SkinFixture.h"
#include "desk/tabs/TabStripGeometry.h"
#include "desk/tabs/TaxTab.h"
#include "desk/tabs/TaxTabControlTopPanel.h"

#include <gtest/gtest.h>
#include <memory>
#include <numeric>

namespace qm::test {
namespace {

// W 300, H 24, T 20, right margin 2 (V = 278), tabs 50 long (step 30).
TTabStripMetrics Metrics(int tabs, int tabIndex, int scrollOffset) {
    TTabStripMetrics m;
    m.width = 300;
    m.height = 24;
    m.listButtonWidth = 20;
    m.rightMargin = 2;
    m.maxTabLength = 50;
    m.scrollOffset = scrollOffset;
    m.tabIndex = tabIndex;
    m.visibleTabs.resize(static_cast<std::size_t>(tabs));
    std::iota(m.visibleTabs.begin(), m.visibleTabs.end(), 0);
    return m;
}

TEST(TabStripGeometry, HitRectanglesFollowTheOverlapRules) {
    const TTabStripGeometry g(Metrics(10, 2, 45));
    EXPECT_EQ(g.RowWidth(), 320);
    EXPECT_EQ(g.VisibleRowWidth(), 278);
    // Wholly scrolled out: left as it is.
    EXPECT_EQ(g.TabHitRect(0), (TRect{-45, 0, -15, 24}));
    // Partly scrolled out: starts at 0.
    EXPECT_EQ(g.TabHitRect(1), (TRect{0, 0, 15, 24}));
    // The active tab reaches 20 further; the tab after it starts 20 later.
    EXPECT_EQ(g.TabHitRect(2), (TRect{15, 0, 65, 24}));
    EXPECT_EQ(g.TabHitRect(3), (TRect{65, 0, 75, 24}));
    EXPECT_EQ(g.TabHitRect(4), (TRect{75, 0, 105, 24}));
    // The last tab reaches 20 further too.
    EXPECT_EQ(g.TabHitRect(9), (TRect{225, 0, 275, 24}));

    // Close buttons end where the (clipped) tab ends, 6 pixels down; none for tabs out on the left.
    EXPECT_FALSE(g.CloseHitRect(0).has_value());
    EXPECT_EQ(g.CloseHitRect(1), (TRect{-1, 6, 15, 22}));
    EXPECT_EQ(g.CloseHitRect(2), (TRect{29, 6, 45, 22}));
    EXPECT_EQ(g.ListButtonRect(), (TRect{2, 4, 18, 20}));
}

TEST(TabStripGeometry, RightEndIsClippedToTheVisibleRow) {
    const TTabStripGeometry g(Metrics(10, 0, 0));
    EXPECT_EQ(g.TabHitRect(8), (TRect{240, 0, 270, 24}));
    EXPECT_EQ(g.TabHitRect(9), (TRect{270, 0, 298, 24})) << "278 clipped, then 20 more as the last tab";
    EXPECT_EQ(g.CloseHitRect(9), (TRect{262, 6, 278, 22}));
}

TEST(TabStripGeometry, HiddenTabsTakeNoRoom) {
    TTabStripMetrics m = Metrics(0, 2, 0);
    m.visibleTabs = {0, 2, 3};
    const TTabStripGeometry g(m);
    EXPECT_EQ(g.RowWidth(), 110);
    EXPECT_EQ(g.TabAt(1), 2);
    EXPECT_EQ(g.TabHitRect(1), (TRect{30, 0, 80, 24}));
    EXPECT_EQ(g.TabHitRect(2), (TRect{80, 0, 110, 24}));

    // A hidden active tab pushes nobody.
    m.visibleTabs = {0, 2};
    m.tabIndex = 1;
    const TTabStripGeometry h(m);
    EXPECT_EQ(h.TabHitRect(1), (TRect{30, 0, 80, 24}));
}

TEST(TabStripGeometry, HitTestsCountTheRightAndBottomEdges) {
    const TRect r{2, 4, 18, 20};
    EXPECT_TRUE(ContainsInclusive(r, 18, 20));
    EXPECT_TRUE(ContainsInclusive(r, 2, 4));
    EXPECT_FALSE(ContainsInclusive(r, 19, 10));
    EXPECT_FALSE(ContainsInclusive(r, 10, 21));
    EXPECT_FALSE(ContainsInclusive(r, 1, 10));
}

TEST(TabStripGeometry, FreeStripStartsWhereTheRowEnds) {
    // 3 tabs end at row x 110, on the strip at 130.
    EXPECT_EQ(TTabStripGeometry(Metrics(3, 0, 0)).FreeStripLeft(), 130);
    // A row longer than the view leaves only the right margin.
    EXPECT_EQ(TTabStripGeometry(Metrics(20, 0, 0)).FreeStripLeft(), 298);
    EXPECT_EQ(TTabStripGeometry(Metrics(20, 19, 342)).FreeStripLeft(), 298);
}

class TabStripScroll : public ::testing::Test {
protected:
    void SetUp() override {
        tab_ = std::make_unique<TTaxTab>();
        tab_->resize(300, 80);
        Strip().SetSkinFile(WriteSkinFile(folder_));
        std::vector<std::string> captions;
        for (int i = 0; i < 20; ++i)
            captions.push_back("");
        Strip().SetTabs(captions);
        tab_->show();
    }
    TTaxTabControlTopPanel& Strip() { return tab_->TopPanel(); }

    TTempFolder folder_;
    std::unique_ptr<TTaxTab> tab_;
};

TEST_F(TabStripScroll, SelectingScrollsTheTabIntoView) {
    // Row 20 * 30 + 20 = 620, view 278.
    Strip().SetTabIndex(1); // ends at 80, in view
    EXPECT_EQ(Strip().ScrollOffset(), 0);
    Strip().SetTabIndex(10); // ends at 350: 350 - 278, plus a step to spare
    EXPECT_EQ(Strip().ScrollOffset(), 102);
    Strip().SetTabIndex(19); // the last tab: 620 - 278, no step to spare
    EXPECT_EQ(Strip().ScrollOffset(), 342);
    Strip().SetTabIndex(5); // starts at 150, left of the view: the tab before it comes first
    EXPECT_EQ(Strip().ScrollOffset(), 120);
    Strip().SetTabIndex(8); // 240..290 is in view at 120: unchanged
    EXPECT_EQ(Strip().ScrollOffset(), 120);
    Strip().SetTabIndex(0);
    EXPECT_EQ(Strip().ScrollOffset(), 0);
}

TEST_F(TabStripScroll, ScrolledRowIsCopiedFromTheOffset) {
    Strip().SetTabIndex(19);
    ASSERT_EQ(Strip().ScrollOffset(), 342);
    const QImage shot = Strip().grab().toImage();
    // Row x = strip x - 20 + 342. Tab 19's middle is row 590..599, its right end 600..619.
    EXPECT_EQ(PieceAt(shot, 268, 2), "middle_active");
    EXPECT_EQ(PieceAt(shot, 278, 2), "right_active");
    EXPECT_EQ(PieceAt(shot, 297, 23), "right_active");
    EXPECT_EQ(PieceAt(shot, 298, 2), "background") << "the right margin";
    // Row 342 is inside tab 10's junction with tab 11 (row 330..349).
    EXPECT_EQ(PieceAt(shot, 20, 2), "junction_normal_normal");
    EXPECT_EQ(PieceAt(shot, 10, 12), "list_normal");
}

TEST_F(TabStripScroll, LastTabOfAShortenedRowPullsTheRowBack) {
    Strip().SetTabIndex(19);
    ASSERT_EQ(Strip().ScrollOffset(), 342);
    std::vector<std::string> fewer(15, "");
    Strip().SetTabs(fewer); // row now 470: the offset shows empty space past its end
    Strip().SetTabIndex(14);
    EXPECT_EQ(Strip().ScrollOffset(), 470 - 278);
}

TEST(TabStripScrollRule, FirstTabAndAFittingRowScrollToZero) {
    EXPECT_EQ(ScrollOffsetForSelection(0, 20, 30, 620, 278, 200), 0);
    EXPECT_EQ(ScrollOffsetForSelection(5, 6, 30, 200, 278, 50), 0);
    EXPECT_EQ(ScrollOffsetForSelection(-1, 20, 30, 620, 278, 100), 0) << "never negative";
}

} // namespace
} // namespace qm::test
