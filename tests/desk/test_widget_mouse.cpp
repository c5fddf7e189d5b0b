// The mouse on the container: hover looks, the hand cursor, clicks, the owner's handlers, and
// painting that touches only the widget whose look changed.
#include "DeskFixture.h"

#include <QPaintEvent>
#include <QRegion>
#include <string>
#include <vector>

namespace qm::test {
namespace {

using WidgetMouse = DeskTest;

// An icon that notes each look it paints, so that the order of state changes can be seen.
class TLoggingIcon : public TUIcon {
public:
    using TUIcon::TUIcon;
    std::string Label;
    std::vector<std::string>* Log = nullptr;

    void PaintNormal() override {
        Log->push_back(Label + " normal");
        TUIcon::PaintNormal();
    }
    void PaintHover() override {
        Log->push_back(Label + " hover");
        TUIcon::PaintHover();
    }
};

TLoggingIcon& AddLoggingIcon(TUIContainer& container, const std::string& name, int left, int top,
                             const std::string& normal, const std::string& hover,
                             std::vector<std::string>& log) {
    TLoggingIcon& icon = container.CreateWidget<TLoggingIcon>();
    icon.Label = name;
    icon.Log = &log;
    icon.Left = left;
    icon.Top = top;
    icon.Icon.NorPngFile = normal;
    icon.Icon.MovPngFile = hover;
    icon.Refresh(true);
    return icon;
}

// Records the areas the container is asked to paint.
class TPaintRecorder : public QObject {
public:
    QRegion painted;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

TEST_F(WidgetMouse, HoverShowsTheHoverImageAndTheHandCursorAndLeavingRestoresBoth) {
    auto container = ShownContainer(200, 150);
    TUIcon& icon = AddIcon(*container, IconDoc(40, 40, "red_20x10.png", "yellow_24x14.png"), true);
    const QImage& canvas = container->CanvasBitmap();

    MoveMouse(*container, 45, 45);
    EXPECT_EQ(icon.State, 1);
    EXPECT_EQ(container->HoverWidget(), &icon);
    EXPECT_EQ(container->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(canvas.pixelColor(45, 45), kYellow);
    EXPECT_EQ(canvas.pixelColor(62, 52), kYellow);

    MoveMouse(*container, 150, 100);
    EXPECT_EQ(icon.State, 0);
    EXPECT_EQ(container->HoverWidget(), nullptr);
    EXPECT_EQ(container->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(canvas.pixelColor(45, 45), kRed);
    // The larger hover image is wiped off again.
    EXPECT_EQ(canvas.pixelColor(62, 52), kBackgroundColor);
}

TEST_F(WidgetMouse, RightAndBottomEdgesOfTheBoundsAreOutside) {
    auto container = ShownContainer(200, 150);
    TUIcon& icon = AddIcon(*container, IconDoc(40, 40, "red_20x10.png", ""), true);
    MoveMouse(*container, 40, 40);
    EXPECT_EQ(container->HoverWidget(), &icon);
    MoveMouse(*container, 60, 45);
    EXPECT_EQ(container->HoverWidget(), nullptr);
    MoveMouse(*container, 59, 49);
    EXPECT_EQ(container->HoverWidget(), &icon);
    MoveMouse(*container, 59, 50);
    EXPECT_EQ(container->HoverWidget(), nullptr);
}

TEST_F(WidgetMouse, IconWithoutHoverImageKeepsItsNormalLookWhenHovered) {
    auto container = ShownContainer(200, 150);
    TUIcon& icon = AddIcon(*container, IconDoc(40, 40, "red_20x10.png", ""), true);
    const QImage before = container->CanvasBitmap().copy();
    MoveMouse(*container, 45, 45);
    EXPECT_EQ(icon.State, 1);
    EXPECT_EQ(container->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(container->CanvasBitmap(), before);
}

TEST_F(WidgetMouse, MovingStraightOntoAnotherWidgetReturnsTheFirstToNormalBeforeTheSecondTurnsHover) {
    auto container = ShownContainer(200, 150);
    std::vector<std::string> log;
    // A's hover image reaches 4 pixels into B, so the order of the repaints shows in those pixels.
    TLoggingIcon& a = AddLoggingIcon(*container, "A", 10, 40, "red_20x10.png", "yellow_24x14.png", log);
    TLoggingIcon& b = AddLoggingIcon(*container, "B", 30, 40, "blue_20x10.png", "green_20x10.png", log);
    MoveMouse(*container, 15, 45);
    ASSERT_EQ(a.State, 1);
    log.clear();

    MoveMouse(*container, 45, 45);
    EXPECT_EQ(log, (std::vector<std::string>{"A normal", "B hover"}));
    EXPECT_EQ(a.State, 0);
    EXPECT_EQ(b.State, 1);
    EXPECT_EQ(container->HoverWidget(), &b);
    const QImage& canvas = container->CanvasBitmap();
    EXPECT_EQ(canvas.pixelColor(15, 45), kRed);
    EXPECT_EQ(canvas.pixelColor(31, 45), kGreen);
    EXPECT_EQ(canvas.pixelColor(45, 45), kGreen);
    EXPECT_EQ(canvas.pixelColor(15, 52), kBackgroundColor);
}

TEST_F(WidgetMouse, OverlappingWidgetsTheFirstCreatedWinsTheHit) {
    auto container = ShownContainer(200, 150);
    TUIcon& first = AddIcon(*container, IconDoc(40, 40, "red_20x10.png", ""), true);
    TUIcon& second = AddIcon(*container, IconDoc(50, 45, "blue_20x10.png", ""), true);
    std::vector<const TUIAction*> clicked;
    first.OnClick = [&clicked](TUIAction& sender) { clicked.push_back(&sender); };
    second.OnClick = [&clicked](TUIAction& sender) { clicked.push_back(&sender); };

    PressMouse(*container, 55, 47);
    MoveMouse(*container, 55, 47);
    EXPECT_EQ(container->HoverWidget(), &first);
    PressMouse(*container, 65, 52);
    EXPECT_EQ(clicked, (std::vector<const TUIAction*>{&first, &second}));
}

TEST_F(WidgetMouse, InvisibleWidgetsAreNeitherHitNorPainted) {
    auto container = ShownContainer(200, 150);
    TUIcon& hidden = AddIcon(*container, IconDoc(40, 40, "red_20x10.png", ""), false);
    hidden.Visible = false;
    TUIcon& below = AddIcon(*container, IconDoc(40, 40, "blue_20x10.png", ""), false);
    container->Rebuild();
    EXPECT_EQ(container->CanvasBitmap().pixelColor(45, 45), kBlue);
    MoveMouse(*container, 45, 45);
    EXPECT_EQ(container->HoverWidget(), &below);
}

TEST_F(WidgetMouse, AnyMouseButtonRunsTheClickAndNotTheOwnersHandler) {
    auto container = ShownContainer(200, 150);
    TUIcon& icon = AddIcon(*container, IconDoc(40, 40, "red_20x10.png", ""), true);
    int clicks = 0;
    icon.OnClick = [&clicks, &icon](TUIAction& sender) {
        EXPECT_EQ(&sender, &icon);
        ++clicks;
    };
    int ownerDowns = 0;
    container->OnMouseDown = [&ownerDowns](Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        ++ownerDowns;
    };

    PressMouse(*container, 45, 45, Qt::RightButton);
    EXPECT_EQ(clicks, 1);
    PressMouse(*container, 45, 45, Qt::MiddleButton);
    PressMouse(*container, 45, 45, Qt::LeftButton);
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(ownerDowns, 0);
}

TEST_F(WidgetMouse, OwnersHandlersRunOnlyWhenNoWidgetIsHit) {
    auto container = ShownContainer(200, 150);
    TUIcon& icon = AddIcon(*container, IconDoc(40, 40, "red_20x10.png", ""), true);
    int clicks = 0;
    icon.OnClick = [&clicks](TUIAction&) { ++clicks; };
    std::vector<std::string> events;
    container->OnMouseDown = [&events](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
        events.push_back("down " + std::to_string(button) + " " + std::to_string(x) + "," +
                         std::to_string(y));
    };
    container->OnMouseMove = [&events](Qt::KeyboardModifiers, int x, int y) {
        events.push_back("move " + std::to_string(x) + "," + std::to_string(y));
    };
    container->OnMouseUp = [&events](Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
        events.push_back("up " + std::to_string(x) + "," + std::to_string(y));
    };
    container->OnDblClick = [&events](int x, int y) {
        events.push_back("dblclick " + std::to_string(x) + "," + std::to_string(y));
    };

    MoveMouse(*container, 45, 45);
    PressMouse(*container, 45, 45);
    SendMouse(*container, QEvent::MouseButtonRelease, 45, 45, Qt::LeftButton);
    EXPECT_EQ(events, (std::vector<std::string>{"up 45,45"}));
    EXPECT_EQ(clicks, 1);

    events.clear();
    MoveMouse(*container, 120, 90);
    PressMouse(*container, 120, 90, Qt::LeftButton);
    SendMouse(*container, QEvent::MouseButtonRelease, 120, 90, Qt::LeftButton);
    SendMouse(*container, QEvent::MouseButtonDblClick, 120, 90, Qt::LeftButton);
    EXPECT_EQ(events, (std::vector<std::string>{"move 120,90", "down 1 120,90", "up 120,90",
                                                "dblclick 120,90", "down 1 120,90"}));
    EXPECT_EQ(clicks, 1);

    // A double click on a widget is seen by the owner, and its second press clicks the widget.
    events.clear();
    SendMouse(*container, QEvent::MouseButtonDblClick, 45, 45, Qt::LeftButton);
    EXPECT_EQ(events, (std::vector<std::string>{"dblclick 45,45"}));
    EXPECT_EQ(clicks, 2);
}

TEST_F(WidgetMouse, LeavingTheContainerReturnsTheHoverWidgetToNormal) {
    auto container = ShownContainer(200, 150);
    TUIcon& icon = AddIcon(*container, IconDoc(40, 40, "red_20x10.png", "yellow_24x14.png"), true);
    MoveMouse(*container, 45, 45);
    ASSERT_EQ(icon.State, 1);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(container.get(), &leave);
    EXPECT_EQ(icon.State, 0);
    EXPECT_EQ(container->HoverWidget(), nullptr);
    EXPECT_EQ(container->CanvasBitmap().pixelColor(45, 45), kRed);
}

TEST_F(WidgetMouse, StateChangeRepaintsAndInvalidatesOnlyThatWidget) {
    auto container = ShownContainer(200, 150);
    TUIcon& icon = AddIcon(*container, IconDoc(40, 40, "red_20x10.png", "yellow_24x14.png"), true);
    AddIcon(*container, IconDoc(100, 40, "blue_20x10.png", "green_20x10.png"), true);
    TPaintRecorder recorder;
    container->installEventFilter(&recorder);
    ProcessEvents();
    recorder.painted = QRegion();
    const QImage before = container->CanvasBitmap().copy();

    MoveMouse(*container, 45, 45);
    ProcessEvents();
    const QRect bounds = ToQRect(icon.Bounds);
    const QRect changed = DifferingArea(before, container->CanvasBitmap());
    EXPECT_FALSE(changed.isEmpty());
    EXPECT_TRUE(bounds.contains(changed)) << "changed outside the widget";
    EXPECT_EQ(recorder.painted.boundingRect(), bounds);
    container->removeEventFilter(&recorder);
}

TEST_F(WidgetMouse, HoveredWidgetKeepsItsHoverLookThroughARebuild) {
    auto container = ShownContainer(200, 150);
    TUIcon& icon = AddIcon(*container, IconDoc(40, 40, "red_20x10.png", "yellow_24x14.png"), true);
    MoveMouse(*container, 45, 45);
    container->resize(210, 150);
    EXPECT_EQ(icon.State, 1);
    EXPECT_EQ(container->CanvasBitmap().pixelColor(45, 45), kYellow);
}

TEST_F(WidgetMouse, TextWithoutHoverColourRepaintsInItsNormalColour) {
    auto container = ShownContainer(200, 150);
    corvane::TBSONDocument doc = TextDoc(20, 50, "Tax return 报税");
    doc.SetString("fontcolor_nor", "clRed");
    TUIText& text = AddText(*container, doc, true);
    const QImage normal = container->CanvasBitmap().copy();
    const QRect bounds = ToQRect(text.Bounds);
    ASSERT_GT(CountPixels(normal, bounds, IsReddish), 20);

    MoveMouse(*container, bounds.center().x(), bounds.center().y());
    EXPECT_EQ(text.State, 1);
    EXPECT_EQ(text.Text.ColorHover, text.Text.ColorNormal);
    EXPECT_EQ(container->CanvasBitmap(), normal);
}

TEST_F(WidgetMouse, TextWithHoverColourRepaintsInThatColour) {
    auto container = ShownContainer(200, 150);
    corvane::TBSONDocument doc = TextDoc(20, 50, "Tax return 报税");
    doc.SetString("fontcolor_nor", "clred");
    doc.SetString("fontcolor_mov", "16711680"); // blue: red is the low byte
    TUIText& text = AddText(*container, doc, true);
    const QRect bounds = ToQRect(text.Bounds);
    MoveMouse(*container, bounds.center().x(), bounds.center().y());
    const QImage& canvas = container->CanvasBitmap();
    EXPECT_EQ(CountPixels(canvas, bounds, IsReddish), 0);
    EXPECT_GT(CountPixels(canvas, bounds, IsBluish), 20);
    MoveMouse(*container, 190, 140);
    EXPECT_EQ(CountPixels(canvas, bounds, IsBluish), 0);
    EXPECT_GT(CountPixels(canvas, bounds, IsReddish), 20);
}

TEST_F(WidgetMouse, IconTextWithoutHoverImageKeepsItsLookEvenWithAHoverColour) {
    auto container = ShownContainer(200, 150);
    corvane::TBSONDocument doc = IconTextDoc(20, 40, "purple_16x16.png", "", 1, "Tax");
    doc.SetString("fontcolor_nor", "clRed");
    doc.SetString("fontcolor_mov", "clBlue");
    TUIconText& widget = AddIconText(*container, doc, true);
    const QImage before = container->CanvasBitmap().copy();
    MoveMouse(*container, 25, 45);
    EXPECT_EQ(widget.State, 1);
    EXPECT_EQ(container->CanvasBitmap(), before);
}

TEST_F(WidgetMouse, IconTextHoverPaintsTheHoverImageAndCaptionColour) {
    auto container = ShownContainer(200, 150);
    corvane::TBSONDocument doc = IconTextDoc(20, 40, "red_20x10.png", "yellow_24x14.png", 0, "Tax");
    doc.SetString("fontcolor_nor", "clRed");
    doc.SetString("fontcolor_mov", "clBlue");
    TUIconText& widget = AddIconText(*container, doc, true);
    MoveMouse(*container, 25, 45);
    const QImage& canvas = container->CanvasBitmap();
    EXPECT_EQ(canvas.pixelColor(42, 52), kYellow);
    EXPECT_GT(CountPixels(canvas, ToQRect(widget.HoverTextRect), IsBluish), 5);
    EXPECT_EQ(CountPixels(canvas, ToQRect(widget.Bounds), IsReddish), 0);
}

} // namespace
} // namespace qm::test
