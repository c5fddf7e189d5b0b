// The tab strip skin "PgSkin.bmp" of the sample installation: the strip and the page control read
// every piece from a fixed place, so the pieces must be exactly there, and pieces that the strip
// draws side by side must meet without a visible seam.
#include "SampleFiles.h"

#include <QImage>
#include <QRect>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct TPiece {
    std::string name;
    QRect rect;
};

constexpr int kStripHeight = 24;
constexpr int kButtonTop = 50;

// Where the strip and the page control take their pieces from.
std::vector<TPiece> SkinPieces() {
    std::vector<TPiece> pieces;
    const char* tabPieces[] = {"left end normal", "right end normal", "left end hover", "right end hover",
                               "left end active", "right end active", "junction n/n",   "junction n/h",
                               "junction h/n",    "junction n/a",     "junction a/n",   "junction h/a",
                               "junction a/h"};
    for (int i = 0; i < 13; ++i)
        pieces.push_back({tabPieces[i], QRect(i * 22, 0, 20, kStripHeight)});
    pieces.push_back({"middle normal", QRect(286, 0, 1, kStripHeight)});
    pieces.push_back({"middle hover", QRect(289, 0, 1, kStripHeight)});
    pieces.push_back({"middle active", QRect(292, 0, 1, kStripHeight)});
    pieces.push_back({"strip background", QRect(295, 0, 1, kStripHeight)});
    pieces.push_back({"frame colour", QRect(298, 0, 1, 1)});
    pieces.push_back({"page background", QRect(301, 0, 1, kStripHeight)});
    const char* closeButtons[] = {"close on normal tab", "close on hovered tab", "close on active tab",
                                  "close hovered", "close pressed"};
    for (int i = 0; i < 5; ++i)
        pieces.push_back({closeButtons[i], QRect(i * 18, kButtonTop, 16, 16)});
    const char* listButtons[] = {"list normal", "list hovered", "list pressed"};
    for (int i = 0; i < 3; ++i)
        pieces.push_back({listButtons[i], QRect(288 + i * 18, kButtonTop, 16, 16)});
    return pieces;
}

class TabSkin : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        file_ = sample::ImageDir() / "Pictures" / "PgSkin.bmp";
        skin_ = QImage(QString::fromStdString(file_.string()));
    }

    static QRgb At(int x, int y) { return skin_.pixel(x, y); }

    // The column x of one piece equals the column of another, row for row.
    static void ExpectSameColumn(int x, int otherX, const std::string& what) {
        for (int y = 0; y < kStripHeight; ++y)
            ASSERT_EQ(At(x, y), At(otherX, y))
                << what << ": row " << y << " differs (x " << x << " / " << otherX << ")";
    }

    static inline std::filesystem::path file_;
    static inline QImage skin_;
};

TEST_F(TabSkin, IsAnUncompressed24BitBitmapOfTheSkinsSize) {
    const std::string bytes = sample::ReadBytes(file_);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 24) << "bits per pixel";
    EXPECT_EQ(static_cast<unsigned char>(bytes[30]), 0) << "compression";

    ASSERT_FALSE(skin_.isNull()) << file_ << " does not load";
    // The pressed list button ends at x 340 and the close buttons at y 66.
    EXPECT_EQ(skin_.width(), 340);
    EXPECT_EQ(skin_.height(), 66);
}

TEST_F(TabSkin, PiecesSitExactlyWhereTheStripReadsThem) {
    ASSERT_FALSE(skin_.isNull());
    const std::vector<TPiece> pieces = SkinPieces();
    auto inPiece = [&](int x, int y) {
        for (const TPiece& piece : pieces)
            if (piece.rect.contains(x, y))
                return true;
        return false;
    };
    // Everything outside the pieces is one filler colour, and no piece uses it: a piece drawn one
    // pixel off its place shows up on one side or the other.
    const QRgb filler = At(20, 0);
    ASSERT_FALSE(inPiece(20, 0));
    for (int y = 0; y < skin_.height(); ++y)
        for (int x = 0; x < skin_.width(); ++x)
            if (!inPiece(x, y)) {
                ASSERT_EQ(At(x, y), filler) << "pixel outside every piece at " << x << "," << y;
            }
    for (const TPiece& piece : pieces)
        for (int y = piece.rect.top(); y <= piece.rect.bottom(); ++y)
            for (int x = piece.rect.left(); x <= piece.rect.right(); ++x)
                ASSERT_NE(At(x, y), filler) << piece.name << " has an unpainted pixel at " << x << "," << y;
}

TEST_F(TabSkin, TabPiecesMeetTheStretchedMiddlesWithoutSeams) {
    ASSERT_FALSE(skin_.isNull());
    constexpr int normal = 286, hover = 289, active = 292;
    // Left ends continue into their middle, right ends start from it.
    ExpectSameColumn(19, normal, "left end normal");
    ExpectSameColumn(22, normal, "right end normal");
    ExpectSameColumn(63, hover, "left end hover");
    ExpectSameColumn(66, hover, "right end hover");
    ExpectSameColumn(107, active, "left end active");
    ExpectSameColumn(110, active, "right end active");
    // A junction starts as the tab on its left and ends as the tab on its right.
    const struct {
        int x;
        int left;
        int right;
        const char* name;
    } junctions[] = {{132, normal, normal, "n/n"}, {154, normal, hover, "n/h"},  {176, hover, normal, "h/n"},
                     {198, normal, active, "n/a"}, {220, active, normal, "a/n"}, {242, hover, active, "h/a"},
                     {264, active, hover, "a/h"}};
    for (const auto& junction : junctions) {
        ExpectSameColumn(junction.x, junction.left, std::string("junction ") + junction.name + " left edge");
        ExpectSameColumn(junction.x + 19, junction.right,
                         std::string("junction ") + junction.name + " right edge");
    }
}

TEST_F(TabSkin, ButtonsSitOnTheGroundTheyAreDrawnOver) {
    ASSERT_FALSE(skin_.isNull());
    // Close buttons are drawn 4 pixels below the top of their tab, the list button 4 pixels below
    // the top of the strip: their corners must show what is underneath.
    EXPECT_EQ(At(0, kButtonTop), At(286, 4)) << "close button on a normal tab";
    EXPECT_EQ(At(18, kButtonTop), At(289, 4)) << "close button on a hovered tab";
    EXPECT_EQ(At(36, kButtonTop), At(292, 4)) << "close button on the active tab";
    EXPECT_EQ(At(36 + 15, kButtonTop + 15), At(292, 19)) << "close button on the active tab, lower corner";
    EXPECT_EQ(At(288, kButtonTop), At(295, 4)) << "list button";
    EXPECT_EQ(At(288 + 15, kButtonTop + 15), At(295, 19)) << "list button, lower corner";
    // The looks of one button differ from each other.
    EXPECT_NE(At(54 + 8, kButtonTop + 3), At(0 + 8, kButtonTop + 3))
        << "hovered close button looks like a plain one";
    EXPECT_NE(At(72 + 8, kButtonTop + 3), At(54 + 8, kButtonTop + 3))
        << "pressed close button looks like a hovered one";
}

TEST_F(TabSkin, ActiveTabOpensIntoItsPageAndOthersSitOnTheFrameLine) {
    ASSERT_FALSE(skin_.isNull());
    const QRgb frame = At(298, 0);
    const QRgb stripBottom = At(295, kStripHeight - 1);
    EXPECT_NE(frame, At(295, 0)) << "the frame would not show against the strip";
    EXPECT_EQ(stripBottom, frame) << "the strip's bottom line is the page control's frame";
    EXPECT_EQ(At(286, kStripHeight - 1), frame) << "normal tab";
    EXPECT_EQ(At(289, kStripHeight - 1), frame) << "hovered tab";
    EXPECT_EQ(At(292, kStripHeight - 1), At(301, kStripHeight - 1)) << "active tab ends in the page colour";
}

} // namespace
