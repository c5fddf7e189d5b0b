// Composing the container's picture: areas, border, background, bars, and the rules for the
// background file, read back from the composed bitmaps.
#include "DeskFixture.h"
#include "corvane/HandleTable.h"
#include "desk/CanvasDrawing.h"
#include "desk/ColorText.h"
#include "desk/DeskFont.h"

#include <QPainter>
#include <QtMath>
#include <cmath>

namespace qm::test {
namespace {

using ContainerCompose = DeskTest;

TEST_F(ContainerCompose, FramedContainerComposesBorderBarsAndBackgroundIntoTheirAreas) {
    auto container = ShownContainer(200, 150);
    const QImage& canvas = container->CanvasBitmap();
    ASSERT_EQ(canvas.size(), QSize(200, 150));

    EXPECT_EQ(container->BorderWidth(), kBorderWidth);
    EXPECT_EQ(container->TitleHeight(), kTitleHeight);
    EXPECT_EQ(container->StatusHeight(), kStatusHeight);
    EXPECT_EQ(container->BackgroundWidth(), 200 - 2 * kBorderWidth);
    EXPECT_EQ(container->BackgroundHeight(), 150 - 2 * kBorderWidth);
    EXPECT_EQ(container->ContentWidth(), 200 - 2 * kBorderWidth);
    EXPECT_EQ(container->ContentHeight(), 150 - 2 * kBorderWidth - kTitleHeight - kStatusHeight);
    EXPECT_EQ(container->ContentArea().top, container->TitleArea().bottom);
    EXPECT_EQ(container->ContentArea().bottom, container->StatusArea().top);

    // The border runs round all four edges.
    for (const QPoint p : {QPoint(0, 0), QPoint(2, 75), QPoint(197, 75), QPoint(100, 0), QPoint(100, 149)})
        EXPECT_EQ(canvas.pixelColor(p), kBorderColor) << p.x() << "," << p.y();
    // Title bar just inside the border, then background, then the status bar above the bottom border.
    const int titleTop = kBorderWidth;
    const int statusTop = 150 - kBorderWidth - kStatusHeight;
    EXPECT_EQ(canvas.pixelColor(3, titleTop), kTitleColor);
    EXPECT_EQ(canvas.pixelColor(196, titleTop + kTitleHeight - 1), kTitleColor);
    EXPECT_EQ(canvas.pixelColor(100, titleTop + kTitleHeight), kBackgroundColor);
    EXPECT_EQ(canvas.pixelColor(100, statusTop - 1), kBackgroundColor);
    EXPECT_EQ(canvas.pixelColor(100, statusTop), kStatusColor);
    EXPECT_EQ(canvas.pixelColor(100, 150 - kBorderWidth - 1), kStatusColor);

    // The background bitmap has the same bars and background but no border.
    const QImage& background = container->BackgroundBitmap();
    ASSERT_EQ(background.size(), QSize(200, 150));
    EXPECT_EQ(background.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(background.pixelColor(100, titleTop), kTitleColor);
    EXPECT_EQ(background.pixelColor(100, 75), kBackgroundColor);
    EXPECT_EQ(background.pixelColor(100, statusTop), kStatusColor);
}

TEST_F(ContainerCompose, AllFlagsClearedLetsTheBackgroundFillTheWholeContainer) {
    auto container = std::make_unique<TUIContainer>(nullptr, pictures.Pngs());
    container->SetShowBorder(false);
    container->SetShowTitleBar(false);
    container->SetShowStatusBar(false);
    container->resize(120, 90);
    container->show();
    ProcessEvents();

    EXPECT_EQ(container->BorderWidth(), 0);
    EXPECT_EQ(container->TitleHeight(), 0);
    EXPECT_EQ(container->StatusHeight(), 0);
    EXPECT_EQ(container->ContentWidth(), 120);
    EXPECT_EQ(container->ContentHeight(), 90);
    EXPECT_EQ(container->BackgroundWidth(), 120);
    EXPECT_EQ(container->BackgroundHeight(), 90);
    const QImage& canvas = container->CanvasBitmap();
    EXPECT_EQ(CountPixels(canvas, canvas.rect(), [](QColor c) { return c != kBackgroundColor; }), 0);
}

TEST_F(ContainerCompose, ResizingRebuildsBothBitmapsAtTheNewSize) {
    auto container = ShownContainer(200, 150);
    container->resize(260, 170);
    EXPECT_EQ(container->CanvasBitmap().size(), QSize(260, 170));
    EXPECT_EQ(container->BackgroundBitmap().size(), QSize(260, 170));
    EXPECT_EQ(container->CanvasBitmap().pixelColor(259, 169), kBorderColor);
    EXPECT_EQ(container->CanvasBitmap().pixelColor(130, 170 - kBorderWidth - 1), kStatusColor);
}

TEST_F(ContainerCompose, ZeroSizeContainerIgnoresRebuildRefreshAndRedraw) {
    TUIContainer container(nullptr, pictures.Pngs());
    container.resize(0, 100);
    container.Rebuild();
    EXPECT_TRUE(container.CanvasBitmap().isNull());
    EXPECT_TRUE(container.BackgroundBitmap().isNull());

    // A blank normal image would raise as soon as its bounds were computed; here nothing is computed.
    TUIcon& blank = AddIcon(container, IconDoc(5, 5, "", ""), true);
    EXPECT_EQ(blank.Bounds, TRect{});
    TUIcon& icon = AddIcon(container, IconDoc(5, 5, "red_20x10.png", ""), true);
    icon.Refresh(true);
    icon.Redraw(true);
    icon.SetState(1);
    EXPECT_EQ(icon.Bounds, TRect{});
    EXPECT_TRUE(container.CanvasBitmap().isNull());
}

TEST_F(ContainerCompose, ContainerShrunkToZeroKeepsItsLastPicture) {
    auto container = ShownContainer(100, 80);
    AddIcon(*container, IconDoc(10, 10, "red_20x10.png", ""), true);
    const QImage before = container->CanvasBitmap().copy();
    container->resize(100, 0);
    container->Rebuild();
    EXPECT_EQ(container->CanvasBitmap(), before);
}

TEST_F(ContainerCompose, SetBackgroundFileTakesOnlyAnExistingFileOfAnotherName) {
    auto container = ShownContainer(100, 80);
    const std::string picture = pictures.File("desk_bg.png");
    WritePng(picture, 4, 4, kPurple);

    container->SetBackgroundFile(pictures.File("no_such_picture.png"));
    EXPECT_EQ(container->BackgroundFile(), "bg.png");
    EXPECT_EQ(container->CanvasBitmap().pixelColor(50, 40), kBackgroundColor);

    container->SetBackgroundFile(picture);
    EXPECT_EQ(container->BackgroundFile(), picture);
    EXPECT_EQ(container->CanvasBitmap().pixelColor(50, 40), kPurple);
    EXPECT_EQ(container->BackgroundBitmap().pixelColor(50, 40), kPurple);

    // The same name again does not rebuild: a changed file on disk is not picked up.
    WritePng(picture, 4, 4, kGreen);
    container->SetBackgroundFile(picture);
    EXPECT_EQ(container->CanvasBitmap().pixelColor(50, 40), kPurple);

    // A missing file leaves name and picture alone.
    container->SetBackgroundFile(pictures.File("gone.png"));
    EXPECT_EQ(container->BackgroundFile(), picture);
    EXPECT_EQ(container->CanvasBitmap().pixelColor(50, 40), kPurple);

    // The next rebuild reloads the picture from its file.
    container->resize(101, 80);
    EXPECT_EQ(container->CanvasBitmap().pixelColor(50, 40), kGreen);
}

TEST_F(ContainerCompose, BackgroundFileThatIsNoPngFallsBackToTheDefaultPicture) {
    auto container = ShownContainer(100, 80);
    const std::string picture = pictures.File("desk_bg.png");
    WritePng(picture, 4, 4, kPurple);
    container->SetBackgroundFile(picture);
    ASSERT_EQ(container->CanvasBitmap().pixelColor(50, 40), kPurple);

    const std::string notPng = pictures.File("desk_bg.bmp");
    WriteBytes(notPng, "not a png picture");
    container->SetBackgroundFile(notPng);
    EXPECT_EQ(container->BackgroundFile(), notPng);
    EXPECT_EQ(container->CanvasBitmap().pixelColor(50, 40), kBackgroundColor);
}

TEST_F(ContainerCompose, PngExtensionOfTheBackgroundFileMatchesInAnyCase) {
    auto container = ShownContainer(100, 80);
    const std::string picture = pictures.File("DESK_BG.PNG");
    WritePng(picture, 4, 4, kPurple);
    container->SetBackgroundFile(picture);
    EXPECT_EQ(container->CanvasBitmap().pixelColor(50, 40), kPurple);
}

TEST_F(ContainerCompose, PanelShowsTheComposedCanvas) {
    auto container = ShownContainer(100, 80);
    AddIcon(*container, IconDoc(30, 30, "red_20x10.png", ""), true);
    const QImage shown = container->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_EQ(shown.size(), container->CanvasBitmap().size());
    EXPECT_TRUE(DifferingArea(shown, container->CanvasBitmap()).isEmpty());
}

TEST_F(ContainerCompose, HandedOutBitmapsAndTheContainerLeaveTheHandleTableWithIt) {
    auto container = ShownContainer(100, 80);
    corvane::THandleTable& handles = corvane::Handles();
    const std::int32_t bitmap = handles.Register(&container->BackgroundBitmap(), corvane::kHandleBitmap);
    const std::int32_t control =
        handles.Register(static_cast<QWidget*>(container.get()), corvane::kHandleControl);
    // Rebuilding keeps the bitmap object (and so its handle) valid.
    container->resize(120, 90);
    EXPECT_EQ(handles.Resolve(bitmap, corvane::kHandleBitmap, "desk_bg", "test"),
              &container->BackgroundBitmap());
    container.reset();
    EXPECT_FALSE(handles.IsLive(bitmap));
    EXPECT_FALSE(handles.IsLive(control));
}

// Run as it is and again at screen scales of 1.25, 1.5 and 2 (see CMakeLists.txt): the canvas
// follows the screen's own pixel ratio, layout stays in the container's pixels, and pictures drawn
// at twice the size are drawn where they exist, scaled down smoothly between 1 and 2.
double ScreenScale() {
    const QByteArray scale = qgetenv("QT_SCALE_FACTOR");
    return scale.isEmpty() ? 1.0 : scale.toDouble();
}

// The device pixels wholly inside a rectangle of the container's pixels.
QRect InnerDevicePixels(double ratio, int left, int top, int width, int height) {
    const int x0 = static_cast<int>(std::ceil(left * ratio));
    const int y0 = static_cast<int>(std::ceil(top * ratio));
    const int x1 = static_cast<int>(std::floor((left + width) * ratio));
    const int y1 = static_cast<int>(std::floor((top + height) * ratio));
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

TEST_F(ContainerCompose, CanvasFollowsThePixelRatioAndTakesDoubleSizePictures) {
    WritePng(pictures.File("tile.png"), 20, 10, kRed);
    WritePng(pictures.File("tile@2x.png"), 40, 20, kBlue);
    WritePng(pictures.File("tile_mov.png"), 20, 10, kYellow);
    WritePng(pictures.File("tile_mov@2x.png"), 40, 20, kGreen);
    auto container = ShownContainer(200, 150);
    const double ratio = container->devicePixelRatioF();
    const bool doubled = ratio > 1;
    ASSERT_DOUBLE_EQ(ratio, ScreenScale()) << "the screen the run asked for";
    EXPECT_DOUBLE_EQ(container->CanvasRatio(), ratio);

    TUIcon& icon = AddIcon(*container, IconDoc(10, 40, "tile.png", "tile_mov.png"), true);
    AddIconText(*container, IconTextDoc(60, 40, "tile.png", "", 1, ""), true);
    AddIcon(*container, IconDoc(110, 40, "purple_16x16.png", ""), true); // no double size picture
    EXPECT_EQ(icon.Bounds, (TRect{10, 40, 30, 50})) << "layout keeps the ordinary picture's size";
    EXPECT_EQ(container->TitleHeight(), kTitleHeight);

    const QImage& canvas = container->CanvasBitmap();
    ASSERT_EQ(canvas.size(), QSize(qRound(200 * ratio), qRound(150 * ratio)));
    EXPECT_DOUBLE_EQ(canvas.devicePixelRatio(), ratio);
    EXPECT_EQ(container->BackgroundBitmap().size(), canvas.size());
    const auto devicePixels = [&](int left, int top, int width, int height) {
        return InnerDevicePixels(ratio, left, top, width, height);
    };
    const auto allOf = [&](const QImage& image, const QRect& area, const QColor& colour) {
        return !area.isEmpty() && CountPixels(image, area, [&](QColor c) { return c != colour; }) == 0;
    };
    const QColor normal = doubled ? kBlue : kRed;
    EXPECT_TRUE(allOf(canvas, devicePixels(10, 40, 20, 10), normal));
    EXPECT_TRUE(allOf(canvas, devicePixels(60, 40, 20, 10), normal)) << "icons with captions too";
    EXPECT_TRUE(allOf(canvas, devicePixels(110, 40, 16, 16), kPurple)) << "old pictures are stretched";
    EXPECT_EQ(canvas.pixelColor(QPoint(qCeil(31 * ratio), qCeil(40 * ratio))), kBackgroundColor);
    EXPECT_TRUE(allOf(canvas, devicePixels(0, 0, 200, kBorderWidth), kBorderColor));

    // Hovering restores the background under the icon in device pixels and draws its hover picture.
    icon.SetState(1);
    EXPECT_TRUE(allOf(canvas, devicePixels(10, 40, 20, 10), doubled ? kGreen : kYellow));
    icon.SetState(0);
    EXPECT_TRUE(allOf(canvas, devicePixels(10, 40, 20, 10), normal));

    // What the screen gets: the canvas one to one, the bottom right corner included.
    const QImage shown = container->grab().toImage();
    ASSERT_EQ(shown.size(), canvas.size());
    EXPECT_TRUE(DifferingArea(shown.convertToFormat(canvas.format()), canvas).isEmpty());
}

// One icon with its caption, against a reference drawn at the screen's resolution: the picture
// drawn at twice the size, scaled down smoothly (never the ordinary one stretched), and the caption
// drawn at device resolution (never a canvas of the container's pixels stretched, whose rows would
// repeat at 1.25).
TEST_F(ContainerCompose, CanvasFollowsThePixelRatioForAnIconWithItsCaptionDrawnAtItsResolution) {
    // Stripes, so that smoothing, stretching and offsets all show.
    QImage doubledPicture(64, 64, QImage::Format_ARGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            doubledPicture.setPixelColor(x, y, (x / 3 + y / 5) % 2 ? kBlue : kYellow);
    ASSERT_TRUE(doubledPicture.save(QString::fromStdString(pictures.File("invoice@2x.png"))));
    WritePng(pictures.File("invoice.png"), 32, 32, kRed);
    auto container = ShownContainer(200, 150);
    const double ratio = container->CanvasRatio();
    ASSERT_DOUBLE_EQ(ratio, ScreenScale());

    corvane::TBSONDocument doc = IconTextDoc(80, 40, "invoice.png", "", 0, "发票查询");
    doc.SetDouble("fontsize", 10);
    TUIconText& widget = AddIconText(*container, doc, true);
    const QRect device = DeviceRect(ToQRect(widget.Bounds), ratio);
    ASSERT_FALSE(device.isEmpty());

    QImage reference = container->BackgroundBitmap().copy(device);
    reference.setDevicePixelRatio(ratio);
    {
        QPainter painter(&reference);
        painter.translate(-QPointF(device.topLeft()) / ratio);
        if (ratio != std::floor(ratio))
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(ToQRect(widget.NormalIconRect),
                          ratio > 1 ? doubledPicture : QImage(32, 32, QImage::Format_ARGB32));
        painter.setClipRect(ToQRect(widget.NormalTextRect));
        painter.setFont(DeskFont(widget.Text));
        painter.setPen(ToQColor(widget.Text.ColorNormal));
        painter.drawText(
            QPoint(widget.NormalTextRect.left, widget.NormalTextRect.top + painter.fontMetrics().ascent()),
            QString::fromStdString(widget.Text.Text));
    }
    if (ratio <= 1)
        return; // the ordinary picture at 1: the ratio runs are the ones that compare
    const QImage drawn = container->CanvasBitmap().copy(device);
    EXPECT_EQ(drawn.size(), QSize(device.size()));
    EXPECT_TRUE(DifferingArea(drawn, reference.convertToFormat(drawn.format())).isEmpty())
        << "the icon and caption differ from the reference drawn at " << ratio;
    const int ink = CountPixels(drawn, DeviceRect(ToQRect(widget.NormalTextRect), ratio),
                                [](QColor c) { return c.lightness() < 200; });
    EXPECT_GT(ink, 20) << "the caption was drawn";
}

} // namespace
} // namespace qm::test
