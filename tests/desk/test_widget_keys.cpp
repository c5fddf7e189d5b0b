// The keyboard and assistive technology on a container: Tab, the arrow keys, Return and Space
// through its buttons and links in reading order, the focus frame, and what Qt's accessibility
// reports of every painted widget.
#include "DeskFixture.h"
#include "desk/FocusOrder.h"
#include "tests/support/AccessibleActions.h"

#include <QAccessible>
#include <QLineEdit>
#include <QTest>
#include <string>
#include <vector>

namespace qm::test {
namespace {

// A window titled 工作台 holding a container and, after it in the tab order, a line edit. The
// container holds two rows of captioned icons, created out of reading order, a text and an
// unnamed picture.
class WidgetKeys : public DeskTest {
protected:
    void SetUp() override {
        window_.setWindowTitle(QStringLiteral("工作台"));
        window_.resize(260, 200);
        container_ = new TUIContainer(&window_, pictures.Pngs()); // owned by the window
        container_->setGeometry(0, 0, 260, 160);
        after_ = new QLineEdit(&window_); // owned by the window
        after_->setGeometry(0, 170, 100, 20);
        window_.show();
        window_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
        const struct {
            const char* caption;
            int left, top;
        } icons[] = {{"E", 60, 80}, {"C", 110, 30}, {"A", 10, 30}, {"D", 10, 80}, {"B", 60, 30}};
        for (const auto& icon : icons) {
            TUIconText& widget = AddIconText(
                *container_,
                IconTextDoc(icon.left, icon.top, "red_20x10.png", "yellow_24x14.png", 0, icon.caption), true);
            widget.OnClick = [this](TUIAction& sender) { clicked_.push_back(sender.Name()); };
        }
        AddText(*container_, TextDoc(10, 5, "标题"), true);
        unnamed_ = &AddIcon(*container_, IconDoc(170, 80, "blue_20x10.png", ""), true);
        ProcessEvents();
    }

    std::string Focused() const {
        TUIAction* focused = container_->FocusWidget();
        return container_->hasFocus() && focused != nullptr ? focused->Name() : "";
    }
    TUIAction& Widget(const std::string& name) const {
        for (const auto& widget : container_->Widgets())
            if (widget->Name() == name)
                return *widget;
        throw std::runtime_error("no widget " + name);
    }
    QAccessibleInterface* Interface() const { return QAccessible::queryAccessibleInterface(container_); }

    QWidget window_;
    TUIContainer* container_ = nullptr;
    QLineEdit* after_ = nullptr;
    TUIcon* unnamed_ = nullptr;
    std::vector<std::string> clicked_;
};

TEST(FocusOrder, ReadingOrderAndArrowNeighboursOnAGrid) {
    TDeskPictures pictures;
    TUIContainer container(nullptr, pictures.Pngs());
    // Two rows of three and a row of one, given out of order; bounds are what the order reads.
    const struct {
        const char* name;
        TRect bounds;
    } cells[] = {{"r2c1", {110, 60, 130, 90}}, {"r1c0", {10, 10, 30, 40}},     {"r1c2", {210, 10, 230, 40}},
                 {"r2c0", {10, 60, 30, 90}},   {"r3c2", {205, 110, 225, 140}}, {"r1c1", {110, 10, 130, 40}},
                 {"r2c2", {210, 60, 230, 90}}};
    std::vector<TUIAction*> widgets;
    for (const auto& cell : cells) {
        TUIcon& icon = container.CreateWidget<TUIcon>();
        icon.AccessibleName = cell.name;
        icon.Bounds = cell.bounds;
        widgets.push_back(&icon);
    }
    std::vector<std::string> order;
    for (const TUIAction* widget : ReadingOrder(widgets))
        order.push_back(widget->Name());
    EXPECT_EQ(order, (std::vector<std::string>{"r1c0", "r1c1", "r1c2", "r2c0", "r2c1", "r2c2", "r3c2"}));

    const std::vector<TUIAction*> sorted = ReadingOrder(widgets);
    const auto named = [&](const std::string& name) -> TUIAction& {
        for (TUIAction* widget : sorted)
            if (widget->Name() == name)
                return *widget;
        throw std::runtime_error(name);
    };
    const struct {
        const char* from;
        TGridStep step;
        const char* to; // "" for nowhere
    } steps[] = {
        {"r1c0", TGridStep::Left, ""},      {"r1c0", TGridStep::Right, "r1c1"},
        {"r1c2", TGridStep::Right, "r2c0"}, {"r2c0", TGridStep::Left, "r1c2"},
        {"r1c1", TGridStep::Down, "r2c1"},  {"r2c2", TGridStep::Down, "r3c2"},
        {"r2c0", TGridStep::Down, "r3c2"},  {"r3c2", TGridStep::Up, "r2c2"},
        {"r1c1", TGridStep::Up, ""},        {"r3c2", TGridStep::Down, ""},
        {"r3c2", TGridStep::Right, ""},
    };
    for (const auto& s : steps) {
        TUIAction* to = GridNeighbour(sorted, named(s.from), s.step);
        EXPECT_EQ(to != nullptr ? to->Name() : "", s.to) << s.from << " step " << static_cast<int>(s.step);
    }
}

TEST_F(WidgetKeys, TabArrowsReturnAndSpaceGoThroughTheIconsInReadingOrder) {
    // The line edit had the focus when the window came up; Tab wraps round to the container.
    ASSERT_TRUE(after_->hasFocus());
    QTest::keyClick(&window_, Qt::Key_Tab);
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* focused;
    } presses[] = {
        {Qt::Key_Right, {}, "B"},
        {Qt::Key_Right, {}, "C"},
        {Qt::Key_Right, {}, "D"},
        {Qt::Key_Left, {}, "C"},
        {Qt::Key_Down, {}, "E"},
        {Qt::Key_Up, {}, "B"},
        {Qt::Key_Down, {}, "E"},
        {Qt::Key_Down, {}, "E"},
        {Qt::Key_Left, {}, "D"},
        {Qt::Key_Tab, {}, "E"},
        {Qt::Key_Backtab, Qt::ShiftModifier, "D"},
    };
    EXPECT_EQ(Focused(), "A");
    for (const auto& press : presses) {
        QTest::keyClick(QApplication::focusWidget(), press.key, press.modifiers);
        EXPECT_EQ(Focused(), press.focused) << "after key " << press.key;
    }
    EXPECT_TRUE(clicked_.empty());
    QTest::keyClick(container_, Qt::Key_Return);
    QTest::keyClick(container_, Qt::Key_Space);
    QTest::keyClick(container_, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(clicked_, (std::vector<std::string>{"D", "D", "D"}));
    // A modified Return is not a click.
    QTest::keyClick(container_, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(clicked_.size(), 3u);

    // Past the last icon the focus goes on to the next control, and back with Shift+Tab.
    QTest::keyClick(container_, Qt::Key_Tab);
    QTest::keyClick(container_, Qt::Key_Tab);
    EXPECT_TRUE(after_->hasFocus());
    QTest::keyClick(after_, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(Focused(), "E");
}

TEST_F(WidgetKeys, TheFocusFrameShowsOnlyAfterTheKeyboardMovedItAndGoesWithTheFocus) {
    const QImage untouched = container_->CanvasBitmap().copy();
    // Focus given by a program (or a window coming to the front) shows nothing yet.
    container_->setFocus(Qt::ActiveWindowFocusReason);
    ProcessEvents();
    EXPECT_EQ(container_->CanvasBitmap(), untouched);
    EXPECT_TRUE(clicked_.empty());
    QTest::keyClick(container_, Qt::Key_Return);
    EXPECT_TRUE(clicked_.empty()) << "Return clicked an icon whose focus did not show";

    // The first arrow key shows the focus where it is, in the hover look with a dotted frame.
    QTest::keyClick(container_, Qt::Key_Down);
    EXPECT_EQ(Focused(), "A");
    const QRect a = ToQRect(Widget("A").Bounds);
    const QImage& canvas = container_->CanvasBitmap();
    EXPECT_EQ(canvas.pixelColor(a.left() + 12, a.top() + 6), kYellow) << "the hover look";
    // The frame, in the caption's hover colour (black here), dotted along the top edge.
    const int dots = CountPixels(canvas, QRect(a.left(), a.top(), a.width(), 1),
                                 [](QColor c) { return c == QColor(Qt::black); });
    EXPECT_GE(dots, a.width() / 3 - 1);
    EXPECT_LT(dots, a.width()) << "dotted, not a line";
    const QRect changed = DifferingArea(untouched, canvas);
    EXPECT_FALSE(changed.isEmpty());
    EXPECT_TRUE(a.contains(changed)) << "only A's look changed";

    after_->setFocus(Qt::TabFocusReason);
    ProcessEvents();
    EXPECT_EQ(container_->CanvasBitmap(), untouched);
}

TEST_F(WidgetKeys, AccessibilitySeesEveryPaintedWidgetWithItsRoleNameAndPlace) {
    QAccessibleInterface* iface = Interface();
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Pane);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("工作台"));
    unnamed_->Visible = false;
    EXPECT_EQ(iface->childCount(), 6) << "the hidden picture is left out";
    unnamed_->Visible = true;
    ASSERT_EQ(iface->childCount(), 7);

    const struct {
        const char* name;
        QAccessible::Role role;
        bool pressable;
    } expected[] = {{"E", QAccessible::Button, true}, {"C", QAccessible::Button, true},
                    {"A", QAccessible::Button, true}, {"D", QAccessible::Button, true},
                    {"B", QAccessible::Button, true}, {"标题", QAccessible::StaticText, false},
                    {"", QAccessible::Graphic, false}};
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        ASSERT_NE(child, nullptr);
        const auto& e = expected[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(child->text(QAccessible::Name).toStdString(), e.name);
        EXPECT_EQ(child->role(), e.role);
        EXPECT_EQ(child->parent(), iface);
        EXPECT_EQ(iface->indexOfChild(child), i);
        EXPECT_EQ(iface->child(i), child) << "one interface per widget";
        const TUIAction& widget = *container_->Widgets()[static_cast<std::size_t>(i)];
        const QRect bounds = ToQRect(widget.Bounds);
        EXPECT_EQ(child->rect(), QRect(container_->mapToGlobal(bounds.topLeft()), bounds.size()));
        EXPECT_EQ(iface->childAt(child->rect().center().x(), child->rect().center().y()), child);
        EXPECT_EQ(child->state().focusable, e.pressable);
        EXPECT_EQ(child->actionInterface() != nullptr, e.pressable);
    }

    // The press action clicks as the mouse does, once the asker has its answer.
    QAccessibleInterface* d = iface->child(3);
    qm::test::DoAction(d, QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(clicked_.empty());
    ProcessEvents();
    EXPECT_EQ(clicked_, std::vector<std::string>{"D"});

    // The focus child and its state follow the keyboard focus.
    container_->setFocus(Qt::TabFocusReason);
    QAccessibleInterface* focused = iface->focusChild();
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(focused->text(QAccessible::Name), QStringLiteral("A"));
    EXPECT_TRUE(focused->state().focused);
    EXPECT_FALSE(d->state().focused);
    qm::test::DoAction(d, QAccessibleActionInterface::setFocusAction());
    EXPECT_TRUE(d->state().focused);
    EXPECT_EQ(Focused(), "D");
}

TEST_F(WidgetKeys, StatusBarEntriesAreLinksAndTitleButtonsAreNamedButtons) {
    // A framed container: a captioned icon in the status bar is a link, a named picture a button.
    auto framed = ShownContainer(300, 200);
    TUIconText& link = AddIconText(
        *framed, IconTextDoc(-80, -(kBorderWidth + kStatusHeight) + 1, "red_20x10.png", "", 1, "帮助"), true);
    const int middle = (link.Bounds.top + link.Bounds.bottom) / 2;
    ASSERT_TRUE(middle >= framed->StatusArea().top && middle < framed->StatusArea().bottom)
        << "the link lies in the status bar";
    TUIcon& close = AddIcon(*framed, IconDoc(-30, kBorderWidth + 1, "red_20x10.png", ""), true);
    close.AccessibleName = "关闭";
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(framed.get());
    ASSERT_EQ(iface->childCount(), 2);
    EXPECT_EQ(iface->child(0)->role(), QAccessible::Link);
    EXPECT_EQ(iface->child(0)->text(QAccessible::Name), QStringLiteral("帮助"));
    EXPECT_EQ(iface->child(1)->role(), QAccessible::Button);
    EXPECT_EQ(iface->child(1)->text(QAccessible::Name), QStringLiteral("关闭"));
    EXPECT_EQ(framed->FocusableWidgets(), (std::vector<TUIAction*>{&close, &link}));
}

} // namespace
} // namespace qm::test
