// Docking outside controls on a container: handles, positions, frames and anchors.
#include "DeskFixture.h"
#include "corvane/Errors.h"
#include "corvane/HandleTable.h"

#include <QPointer>

namespace qm::test {
namespace {

using DockOnContainer = DeskTest;

corvane::TBSONDocument DockDoc(QWidget& control, int left, int top, int width, int height,
                               const std::string& anchors) {
    corvane::TBSONDocument doc;
    doc.SetInteger("inst", corvane::Handles().Register(&control, corvane::kHandleControl));
    doc.SetDouble("left", left);
    doc.SetDouble("top", top);
    doc.SetDouble("width", width);
    doc.SetDouble("height", height);
    doc.SetString("anchors", anchors);
    return doc;
}

// A control owned by the test, as a plug-in owns the controls it hands out.
struct TOwnedControl {
    std::unique_ptr<QWidget> widget = std::make_unique<QWidget>();
    ~TOwnedControl() { corvane::Handles().Unregister(widget.get()); }
};

TEST_F(DockOnContainer, NegativePositionsCountFromTheRightAndBottomEdges) {
    auto container = ShownContainer(1000, 600);
    TOwnedControl control;
    QWidget& docked = DockControl(*container, DockDoc(*control.widget, -200, -100, 150, 80, ""));
    EXPECT_EQ(&docked, control.widget.get());
    EXPECT_EQ(control.widget->parentWidget(), container.get());
    EXPECT_EQ(control.widget->geometry(), QRect(800, 500, 150, 80));
    EXPECT_TRUE(control.widget->isVisible());
    DockControl(*container, DockDoc(*control.widget, 1010, 20, 150, 80, ""));
    EXPECT_EQ(control.widget->pos(), QPoint(10, 20));
}

TEST_F(DockOnContainer, TopLevelFormLosesItsFrame) {
    auto container = ShownContainer(400, 300);
    TOwnedControl form;
    form.widget->setWindowTitle("plug-in form");
    form.widget->show();
    ASSERT_TRUE(form.widget->isWindow());
    DockControl(*container, DockDoc(*form.widget, 10, 10, 200, 100, "akLeft,akTop"));
    EXPECT_FALSE(form.widget->isWindow());
    EXPECT_TRUE(form.widget->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(form.widget->parentWidget(), container.get());
    EXPECT_TRUE(form.widget->isVisible());
}

TEST_F(DockOnContainer, AnchoredEdgesKeepTheirDistancesWhenTheContainerResizes) {
    auto container = ShownContainer(400, 300);
    TOwnedControl all, rightBottom, leftTop, none;
    DockControl(*container, DockDoc(*all.widget, 10, 20, 100, 50, "[akLeft, akTop, akRight, akBottom]"));
    DockControl(*container, DockDoc(*rightBottom.widget, 250, 200, 100, 50, "akRight akBottom"));
    DockControl(*container, DockDoc(*leftTop.widget, 30, 40, 100, 50, "akLeft,akTop"));
    DockControl(*container, DockDoc(*none.widget, 150, 100, 100, 50, ""));
    EXPECT_EQ(container->DockAnchorsOf(*rightBottom.widget).right, true);
    EXPECT_EQ(container->DockAnchorsOf(*rightBottom.widget).left, false);

    container->resize(600, 400);
    EXPECT_EQ(all.widget->geometry(), QRect(10, 20, 300, 150));
    EXPECT_EQ(rightBottom.widget->geometry(), QRect(450, 300, 100, 50));
    EXPECT_EQ(leftTop.widget->geometry(), QRect(30, 40, 100, 50));
    // Unanchored: the centre keeps its proportion (200 of 400 wide, 125 of 300 high).
    EXPECT_EQ(none.widget->x(), 300 - 50);
    EXPECT_NEAR(none.widget->y(), 125 * 400 / 300 - 25, 1);
    EXPECT_EQ(none.widget->size(), QSize(100, 50));

    container->resize(400, 300);
    EXPECT_EQ(all.widget->geometry(), QRect(10, 20, 100, 50));
    EXPECT_EQ(rightBottom.widget->geometry(), QRect(250, 200, 100, 50));
}

TEST_F(DockOnContainer, StaleOrForeignHandleIsAClearErrorAndMovesNothing) {
    auto container = ShownContainer(400, 300);
    corvane::TBSONDocument doc;
    {
        TOwnedControl gone;
        doc = DockDoc(*gone.widget, 10, 10, 50, 50, "");
    }
    EXPECT_THROW(DockControl(*container, doc), corvane::EPlugin);
    doc.SetInteger("inst", 0);
    EXPECT_THROW(DockControl(*container, doc), corvane::EPlugin);

    TOwnedControl control;
    doc = DockDoc(*control.widget, 10, 10, 50, 50, "");
    doc.Remove("anchors");
    EXPECT_THROW(DockControl(*container, doc), corvane::EPlugin);
    EXPECT_EQ(control.widget->parentWidget(), nullptr);
}

TEST_F(DockOnContainer, DockedControlOutlivesTheContainerThatShowedIt) {
    auto container = ShownContainer(400, 300);
    TOwnedControl control;
    QPointer<QWidget> watch(control.widget.get());
    DockControl(*container, DockDoc(*control.widget, 10, 10, 50, 50, ""));
    container.reset();
    ASSERT_FALSE(watch.isNull());
    EXPECT_EQ(control.widget->parentWidget(), nullptr);
    EXPECT_FALSE(control.widget->isVisible());
}

} // namespace
} // namespace qm::test
