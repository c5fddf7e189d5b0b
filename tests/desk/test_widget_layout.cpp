// Where widgets land and what they cover: the wrap-around position rule, the bounds of each
// widget kind, and the failures of widget creation.
#include "DeskFixture.h"
#include "corvane/Errors.h"
#include "pictures/Rect.h"

namespace qm::test {
namespace {

using WidgetLayout = DeskTest;

bool IsRed(QColor c) {
    return c == kRed;
}

TEST_F(WidgetLayout, NegativeLeftEqualToTheImageWidthSitsFlushWithTheRightEdge) {
    auto container = ShownContainer(200, 150);
    TUIcon& icon = AddIcon(*container, IconDoc(-20, 40, "red_20x10.png", ""), true);
    EXPECT_EQ(icon.Bounds, (TRect{180, 40, 200, 50}));
    const QImage& canvas = container->CanvasBitmap();
    EXPECT_EQ(canvas.pixelColor(199, 45), kRed);
    EXPECT_EQ(canvas.pixelColor(180, 45), kRed);
    EXPECT_NE(canvas.pixelColor(179, 45), kRed);
    EXPECT_EQ(CountPixels(canvas, canvas.rect(), IsRed), 20 * 10);
}

TEST_F(WidgetLayout, NegativeTopCountsFromTheBottomEdge) {
    auto container = ShownContainer(200, 150);
    TUIcon& icon = AddIcon(*container, IconDoc(0, -10, "red_20x10.png", ""), true);
    EXPECT_EQ(icon.Bounds, (TRect{0, 140, 20, 150}));
    EXPECT_EQ(container->CanvasBitmap().pixelColor(0, 149), kRed);
}

TEST_F(WidgetLayout, PositionsAtLeastTheContainerSizeWrapAround) {
    auto container = ShownContainer(200, 150);
    TUIcon& icon = AddIcon(*container, IconDoc(210, 150 + 30, "red_20x10.png", ""), true);
    EXPECT_EQ(icon.Bounds, (TRect{10, 30, 30, 40}));
    EXPECT_EQ(container->CanvasBitmap().pixelColor(10, 30), kRed);
    // A position follows the container's size when it changes.
    TUIcon& fromRight = AddIcon(*container, IconDoc(-50, 60, "blue_20x10.png", ""), true);
    container->resize(300, 150);
    EXPECT_EQ(fromRight.Bounds, (TRect{250, 60, 270, 70}));
    EXPECT_EQ(container->CanvasBitmap().pixelColor(250, 60), kBlue);
}

TEST_F(WidgetLayout, IconBoundsCoverTheLargerOfItsTwoImages) {
    auto container = ShownContainer(200, 150);
    TUIcon& plain = AddIcon(*container, IconDoc(10, 40, "red_20x10.png", ""), true);
    EXPECT_EQ(plain.NormalRect, (TRect{10, 40, 30, 50}));
    EXPECT_EQ(plain.HoverRect, TRect{});
    EXPECT_EQ(plain.Bounds, plain.NormalRect);

    TUIcon& hovering = AddIcon(*container, IconDoc(50, 40, "red_20x10.png", "yellow_24x14.png"), true);
    EXPECT_EQ(hovering.NormalRect, (TRect{50, 40, 70, 50}));
    EXPECT_EQ(hovering.HoverRect, (TRect{50, 40, 74, 54}));
    EXPECT_EQ(hovering.Bounds, (TRect{50, 40, 74, 54}));
    // Normal look painted; the hover image is not.
    EXPECT_EQ(container->CanvasBitmap().pixelColor(69, 49), kRed);
    EXPECT_EQ(container->CanvasBitmap().pixelColor(72, 52), kBackgroundColor);
}

TEST_F(WidgetLayout, TextBoundsAreTheMeasuredTextAtItsPosition) {
    auto container = ShownContainer(300, 150);
    corvane::TBSONDocument doc = TextDoc(40, 50, "Quarterly VAT 增值税");
    doc.SetString("fontcolor_nor", "clRed");
    TUIText& text = AddText(*container, doc, true);
    EXPECT_EQ(text.Bounds.left, 40);
    EXPECT_EQ(text.Bounds.top, 50);
    EXPECT_GT(text.Bounds.right - text.Bounds.left, 40);
    EXPECT_GT(text.Bounds.bottom - text.Bounds.top, 8);
    // All ink inside the bounds.
    const QImage& canvas = container->CanvasBitmap();
    const QRect bounds = ToQRect(text.Bounds);
    const int inside = CountPixels(canvas, bounds, IsReddish);
    EXPECT_GT(inside, 20);
    EXPECT_EQ(CountPixels(canvas, canvas.rect(), IsReddish), inside);

    // A longer text and a larger font measure larger.
    TUIText& longer = AddText(*container, TextDoc(40, 80, "Quarterly VAT 增值税 return"), true);
    EXPECT_GT(longer.Bounds.right - longer.Bounds.left, text.Bounds.right - text.Bounds.left);
    corvane::TBSONDocument big = TextDoc(40, 100, "Quarterly VAT 增值税");
    big.SetDouble("fontsize", 20);
    TUIText& larger = AddText(*container, big, true);
    EXPECT_GT(larger.Bounds.bottom - larger.Bounds.top, text.Bounds.bottom - text.Bounds.top);
}

TEST_F(WidgetLayout, EmptyTextHasTheBoundsOfTheMeasuredEmptyTextAndPaintsNothing) {
    auto container = ShownContainer(200, 150);
    const QImage before = container->CanvasBitmap().copy();
    TUIText& text = AddText(*container, TextDoc(30, 40, ""), true);
    EXPECT_EQ(text.Bounds.left, 30);
    EXPECT_EQ(text.Bounds.right, 30);
    EXPECT_GT(text.Bounds.bottom, 40);
    EXPECT_EQ(container->CanvasBitmap(), before);
    MoveMouse(*container, 30, 40);
    EXPECT_EQ(container->CanvasBitmap(), before);
}

TEST_F(WidgetLayout, FontStyleCodesOnlyOneToThreeChangeTheFont) {
    TObjText text;
    text.FontStyle = 1;
    EXPECT_TRUE(DeskFont(text).bold());
    EXPECT_FALSE(DeskFont(text).italic());
    text.FontStyle = 2;
    EXPECT_FALSE(DeskFont(text).bold());
    EXPECT_TRUE(DeskFont(text).italic());
    text.FontStyle = 3;
    EXPECT_TRUE(DeskFont(text).bold());
    EXPECT_TRUE(DeskFont(text).italic());
    text.FontStyle = 5;
    EXPECT_FALSE(DeskFont(text).bold());
    EXPECT_FALSE(DeskFont(text).italic());
}

TEST_F(WidgetLayout, TextObjectStartsWithTheDeskFont) {
    const TObjText text;
    EXPECT_EQ(text.Text, "");
    EXPECT_EQ(text.FontName, "宋体");
    EXPECT_EQ(text.FontSize, 10);
    EXPECT_EQ(text.FontStyle, 0);
    EXPECT_EQ(text.ColorNormal, 0);
    EXPECT_EQ(text.ColorHover, 0);
    EXPECT_EQ(DeskFont(text).pointSize(), 10);
}

TEST_F(WidgetLayout, CaptionBelowTheImageIsCentredUnderIt) {
    auto container = ShownContainer(300, 200);
    corvane::TBSONDocument doc = IconTextDoc(100, 20, "purple_16x16.png", "", 0, "Invoices 发票");
    doc.SetString("fontcolor_nor", "$0000FF");
    TUIconText& widget = AddIconText(*container, doc, true);

    EXPECT_EQ(widget.NormalIconRect, (TRect{100, 20, 116, 36}));
    const TRect& caption = widget.NormalTextRect;
    EXPECT_EQ(caption.top, widget.NormalIconRect.bottom + 3);
    EXPECT_GT(caption.right - caption.left, 16);
    EXPECT_LE(std::abs((caption.left + caption.right) - (100 + 116)), 1);
    EXPECT_EQ(widget.HoverIconRect, widget.NormalIconRect);
    EXPECT_EQ(widget.HoverTextRect, widget.NormalTextRect);
    EXPECT_EQ(widget.Bounds, RectUnion(widget.NormalIconRect, caption));

    // The image and, in "$0000FF" (red), the caption are where the rectangles say.
    const QImage& canvas = container->CanvasBitmap();
    EXPECT_EQ(canvas.pixelColor(108, 28), kPurple);
    const int captionInk = CountPixels(canvas, ToQRect(caption), IsReddish);
    EXPECT_GT(captionInk, 20);
    EXPECT_EQ(CountPixels(canvas, canvas.rect(), IsReddish), captionInk);
}

TEST_F(WidgetLayout, CaptionToTheRightIsCentredVerticallyBesideTheImage) {
    auto container = ShownContainer(300, 200);
    TUIconText& widget = AddIconText(*container, IconTextDoc(10, 60, "purple_16x16.png", "", 1, "Tax"), true);
    const TRect& icon = widget.NormalIconRect;
    const TRect& caption = widget.NormalTextRect;
    EXPECT_EQ(caption.left, icon.right + 2);
    EXPECT_LE(std::abs((caption.top + caption.bottom) - (icon.top + icon.bottom)), 1);
    EXPECT_EQ(widget.Bounds.left, icon.left);
    EXPECT_EQ(widget.Bounds.right, caption.right);
}

TEST_F(WidgetLayout, HoverImageOfAnIconTextCarriesItsOwnCaptionPlace) {
    auto container = ShownContainer(300, 200);
    TUIconText& below =
        AddIconText(*container, IconTextDoc(100, 20, "red_20x10.png", "yellow_24x14.png", 0, "Tax"), true);
    EXPECT_EQ(below.HoverIconRect, (TRect{100, 20, 124, 34}));
    EXPECT_EQ(below.HoverTextRect.top, 34 + 3);
    EXPECT_EQ(below.NormalTextRect.top, 30 + 3);
    EXPECT_EQ(below.Bounds.bottom, below.HoverTextRect.bottom);
    EXPECT_EQ(below.Bounds.right, std::max(124, below.HoverTextRect.right));

    TUIconText& right =
        AddIconText(*container, IconTextDoc(10, 100, "red_20x10.png", "yellow_24x14.png", 1, "Tax"), true);
    EXPECT_EQ(right.NormalTextRect.left, 30 + 2);
    EXPECT_EQ(right.HoverTextRect.left, 34 + 2);
    EXPECT_EQ(right.Bounds.right, right.HoverTextRect.right);
}

TEST_F(WidgetLayout, BlankNormalImageIsAnAssertionOfTheWidgetModel) {
    auto container = ShownContainer(200, 150);
    try {
        AddIcon(*container, IconDoc(10, 10, " ", "yellow_24x14.png"), true);
        FAIL() << "a blank normal image was accepted";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), "NorPngFile must exist");
        EXPECT_EQ(e.SourceFile(), "Common\\UIDesign");
        EXPECT_EQ(e.Line(), 403);
        EXPECT_STREQ(e.what(), "NorPngFile must exist (Common\\UIDesign, line 403)");
    }
    try {
        AddIconText(*container, IconTextDoc(10, 10, "", "", 0, "x"), true);
        FAIL() << "a blank normal image was accepted";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Line(), 510);
    }
    EXPECT_EQ(container->Widgets().size(), 2u);
}

TEST_F(WidgetLayout, BrokenWidgetIsReportedAtEveryRebuildButDoesNotHideTheOthers) {
    auto container = ShownContainer(200, 150);
    AddIcon(*container, IconDoc(10, 10, "", ""), false);
    AddIcon(*container, IconDoc(50, 50, "red_20x10.png", ""), false);
    EXPECT_THROW(container->Rebuild(), EAssertionFailed);
    EXPECT_EQ(container->CanvasBitmap().pixelColor(55, 55), kRed);
}

TEST_F(WidgetLayout, UnknownImageNameRaisesTheStoreError) {
    auto container = ShownContainer(200, 150);
    EXPECT_THROW(AddIcon(*container, IconDoc(10, 10, "no_such_icon.png", ""), true), corvane::EUI);
}

TEST_F(WidgetLayout, InvalidColourTextFailsTheCreationAfterTheWidgetWasAppended) {
    auto container = ShownContainer(200, 150);
    corvane::TBSONDocument doc = TextDoc(10, 10, "Tax");
    doc.SetString("fontcolor_nor", "clNotAColour");
    try {
        AddText(*container, doc, true);
        FAIL() << "an invalid colour was accepted";
    } catch (const EConvertError& e) {
        EXPECT_NE(std::string(e.what()).find("clNotAColour"), std::string::npos);
    }
    ASSERT_EQ(container->Widgets().size(), 1u);

    corvane::TBSONDocument hover = IconTextDoc(10, 10, "red_20x10.png", "", 0, "Tax");
    hover.SetString("fontcolor_mov", "$12G4");
    EXPECT_THROW(AddIconText(*container, hover, true), EConvertError);
    EXPECT_EQ(container->Widgets().size(), 2u);
}

TEST_F(WidgetLayout, MissingRequiredKeyFailsTheCreationAndTheWidgetStays) {
    auto container = ShownContainer(200, 150);
    corvane::TBSONDocument doc = IconDoc(10, 10, "red_20x10.png", "");
    doc.Remove("png_mov");
    EXPECT_THROW(AddIcon(*container, doc, true), corvane::EPlugin);
    corvane::TBSONDocument text = TextDoc(10, 10, "Tax");
    text.Remove("fontstyle");
    EXPECT_THROW(AddText(*container, text, true), corvane::EPlugin);
    EXPECT_EQ(container->Widgets().size(), 2u);
}

TEST_F(WidgetLayout, DocumentIsCopiedWholeIntoTheWidget) {
    auto container = ShownContainer(200, 150);
    corvane::TBSONDocument doc = IconDoc(10, 40, "red_20x10.png", "");
    doc.SetString("plugin", "uip");
    doc.SetDouble("req_id", 103);
    doc.SetString("site", "desk");
    TUIcon& icon = AddIcon(*container, doc, false);
    doc.SetString("plugin", "changed afterwards");
    EXPECT_EQ(icon.Params.GetCount(), 7);
    EXPECT_EQ(icon.Params.GetValue("plugin").AsString(), "uip");
    EXPECT_EQ(icon.Params.GetValue("req_id").AsInteger(), 103);
    EXPECT_EQ(icon.Params.GetValue("site").AsString(), "desk");
    // Without paint nothing is computed or drawn yet.
    EXPECT_EQ(icon.Bounds, TRect{});
    EXPECT_EQ(container->CanvasBitmap().pixelColor(15, 45), kBackgroundColor);
    container->Rebuild();
    EXPECT_EQ(container->CanvasBitmap().pixelColor(15, 45), kRed);
}

TEST_F(WidgetLayout, KeysGivenAsTextAreReadAsNumbers) {
    auto container = ShownContainer(200, 150);
    corvane::TBSONDocument doc;
    doc.SetString("left", "-20");
    doc.SetString("top", "7");
    doc.SetString("png_nor", "red_20x10.png");
    doc.SetString("png_mov", "");
    TUIcon& icon = AddIcon(*container, doc, true);
    EXPECT_EQ(icon.Bounds, (TRect{180, 7, 200, 17}));
}

// The desk's rectangles, right and bottom exclusive.
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

} // namespace
} // namespace qm::test
