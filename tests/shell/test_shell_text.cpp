#include "common/Shell.h"

#include <gtest/gtest.h>

using qm::TRect;

TEST(PathSeparators, ConvertEveryOccurrence) {
    EXPECT_EQ(qm::ToBackslashes("Plugins/Login/Porlock.so"), "Plugins\\Login\\Porlock.so");
    EXPECT_EQ(qm::ToBackslashes("a\\b/c//"), "a\\b\\c\\\\");
    EXPECT_EQ(qm::ToSlashes("Config\\Skin.Sys"), "Config/Skin.Sys");
    EXPECT_EQ(qm::ToSlashes("\\\\server\\share/x"), "//server/share/x");
    EXPECT_EQ(qm::ToSlashes(""), "");
}

TEST(Rectangles, PointsEqualOnlyForACollapsedRectangle) {
    EXPECT_TRUE(qm::PointsEqual(TRect{5, 7, 5, 7}));
    EXPECT_TRUE(qm::PointsEqual(TRect{}));
    EXPECT_FALSE(qm::PointsEqual(TRect{5, 7, 6, 7})); // one pixel wide
    EXPECT_FALSE(qm::PointsEqual(TRect{5, 7, 5, 8})); // one pixel high
    EXPECT_FALSE(qm::PointsEqual(TRect{5, 7, 7, 5})); // left == bottom, top == right
}

TEST(Rectangles, UnionTakesTheOuterEdges) {
    EXPECT_EQ(qm::RectUnion(TRect{10, 20, 30, 40}, TRect{15, 5, 25, 60}), (TRect{10, 5, 30, 60}));
    EXPECT_EQ(qm::RectUnion(TRect{-5, -5, 0, 0}, TRect{100, 100, 110, 120}), (TRect{-5, -5, 110, 120}));
    // Symmetric, and a rectangle inside another changes nothing.
    EXPECT_EQ(qm::RectUnion(TRect{15, 5, 25, 60}, TRect{10, 20, 30, 40}), (TRect{10, 5, 30, 60}));
    EXPECT_EQ(qm::RectUnion(TRect{0, 0, 50, 50}, TRect{10, 10, 20, 20}), (TRect{0, 0, 50, 50}));
}
