// The page control the desk puts under its title bar, and the fixed bench page in it.

#include "DeskFrameFixture.h"

#include <QImage>
#include <QMargins>

namespace qm::test {
namespace {

// Distances of the page control's edges to those of the desk container.
QMargins EdgeDistances(const QWidget& control, const QWidget& container) {
    const QRect r = control.geometry();
    return {r.left(), r.top(), container.width() - r.x() - r.width(),
            container.height() - r.y() - r.height()};
}

TEST_F(DeskFrame, PageControlSitsInTheDeskContainerAndKeepsItsEdgeDistances) {
    TTaxPageControl& pages = Pages();
    TUIContainer& desk = Container();
    EXPECT_EQ(pages.parentWidget(), &desk);
    EXPECT_EQ(pages.objectName(), QStringLiteral("FPageCtrl"));
    EXPECT_EQ(pages.RightMargin(), 2);
    EXPECT_EQ(pages.MaxTabLength(), 128);
    ASSERT_EQ(desk.size(), Desk().size()) << "the container fills the borderless window";
    EXPECT_EQ(pages.geometry(),
              QRect(3, 18, desk.width() - 6, desk.BackgroundHeight() - desk.StatusHeight() - 20));
    // It ends above the status bar, which stays clickable for the desk.
    EXPECT_LT(pages.geometry().bottom(), desk.StatusArea().top);

    // The skin comes from the installation's pictures; the frame takes the skin's frame pixel.
    EXPECT_EQ(pages.SkinFile(), PicturesPath() + "PgSkin.bmp");
    const QImage skin(QString::fromStdString(PicturesPath() + "PgSkin.bmp"));
    ASSERT_FALSE(skin.isNull());
    EXPECT_EQ(pages.BorderColor().rgb(), skin.pixelColor(298, 0).rgb());

    const QMargins distances = EdgeDistances(pages, desk);
    Desk().ChangeWindowState(TFrmDesk::wsNormal);
    ASSERT_EQ(desk.size(), QSize(800, 600));
    EXPECT_EQ(EdgeDistances(pages, desk), distances);
    EXPECT_EQ(pages.width(), 800 - 6);

    Desk().ChangeWindowState(TFrmDesk::wsMaximized);
    ASSERT_EQ(desk.size(), WorkArea().size());
    EXPECT_EQ(EdgeDistances(pages, desk), distances);
}

TEST_F(DeskFrame, BenchPageIsTheShownFirstPageWithoutTabOrCloseButton) {
    TTaxPageControl& pages = Pages();
    TTaxTabSheet& bench = Desk().BenchPage();
    ASSERT_EQ(pages.PageCount(), 1);
    EXPECT_EQ(pages.GetPage(0), &bench);
    EXPECT_EQ(bench.objectName(), QStringLiteral("tbBench"));
    EXPECT_EQ(bench.Caption(), "我的工作台") << "the bench_title of the installation's SysConfig.Xml";

    EXPECT_FALSE(bench.TabVisible());
    EXPECT_FALSE(bench.BtnCloseVisible());
    EXPECT_FALSE(Strip().TabVisible(0));
    EXPECT_FALSE(Strip().CloseVisible(0));
    EXPECT_EQ(Strip().height(), 0) << "with no tab to show the strip is collapsed";

    EXPECT_EQ(pages.ActivePage(), &bench);
    EXPECT_TRUE(bench.isVisible());
    EXPECT_TRUE(bench.isEnabled());

    // The bench form is docked: a frameless child filling the page, shown.
    TFrmBench& form = Desk().BenchForm();
    EXPECT_EQ(form.parentWidget(), &bench);
    EXPECT_FALSE(form.isWindow());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.geometry(), bench.rect());
    Desk().ChangeWindowState(TFrmDesk::wsNormal);
    EXPECT_EQ(form.geometry(), bench.rect());
    EXPECT_LT(bench.width(), 800);
}

TEST_F(DeskFrame, BenchPageCannotBeClosedFromTheStrip) {
    TTaxTabSheet& bench = Desk().BenchPage();
    TDockedWindow& docked = DockIntoNewPage("申报");
    const QPointer<TDockedWindow> watch(&docked);
    ASSERT_EQ(Strip().height(), 24) << "a page with a tab brings the strip back";

    // The strip offers one tab, the new page's; the bench has none to click or close.
    const TTabStripGeometry geometry = Strip().Geometry();
    ASSERT_EQ(geometry.VisibleCount(), 1);
    EXPECT_EQ(geometry.TabAt(0), 1);
    EXPECT_TRUE(geometry.CloseHitRect(0).has_value()) << "the new page keeps its close button";

    MouseClick(Strip(), CloseButtonPoint(0));
    RunDeferredDeletes();
    EXPECT_TRUE(watch.isNull());
    ASSERT_EQ(Pages().PageCount(), 1);
    EXPECT_EQ(Pages().GetPage(0), &bench);
    EXPECT_EQ(Pages().ActivePage(), &bench);
    EXPECT_TRUE(bench.isVisible());
    EXPECT_EQ(Strip().Geometry().VisibleCount(), 0);
}

} // namespace
} // namespace qm::test
