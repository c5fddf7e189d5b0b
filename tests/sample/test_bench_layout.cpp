// The sample bench in the real desk, built by the installed boot scripts: at every window size the
// scripts lay it out again, and no two of its widgets overlap or leave the bench. Started
// maximized on a 1920 x 1080 screen, then restored and resized as a user would.
#include "common/Paths.h"
#include "corvane/Khan.h"
#include "desk/UIAction.h"
#include "desk/UIconText.h"
#include "host/FrmDesk.h"
#include "host/TaxLua.h"
#include "tests/support/MouseEvents.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

bool Overlap(const qm::TRect& a, const qm::TRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::string Describe(const qm::TUIAction& widget) {
    const qm::TRect& b = widget.Bounds;
    return widget.Params.GetValue("text").AsString() + " " + std::to_string(b.left) + "," +
           std::to_string(b.top) + "-" + std::to_string(b.right) + "," + std::to_string(b.bottom);
}

TEST(SampleBench, LaysItselfOutWithoutOverlapsAtEveryWindowSize) {
    ASSERT_TRUE(qm::FileExists(qm::ConfigPath() + "boot.xml"));
    {
        qm::TFrmDesk desk;
        desk.show();
        ASSERT_TRUE(qm::test::WaitUntil([&] { return desk.StartUpDone(); }, 20000));
        qm::TUIContainer& bench = desk.BenchContainer();
        ASSERT_TRUE(desk.BenchLayout().Active()) << "the sample's bench script has a layout hook";

        // The largest first: laid out once at a size, the bench must not keep that layout when the
        // window gets smaller (the tips column would cover icons).
        const QSize sizes[] = {{1920, 1080}, {800, 600}, {1024, 768}, {1920, 1080}, {900, 650}};
        for (const QSize& size : sizes) {
            SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
            if (size == desk.screen()->availableGeometry().size()) {
                desk.showMaximized();
            } else {
                desk.showNormal();
                desk.setGeometry(QRect(QPoint(0, 0), size));
            }
            ASSERT_TRUE(qm::test::WaitUntil(
                [&] { return desk.size() == size && desk.BenchLayout().LaidOutFor() == bench.size(); }));

            const auto& widgets = bench.Widgets();
            int icons = 0;
            for (std::size_t i = 0; i < widgets.size(); ++i) {
                const qm::TUIAction& widget = *widgets[i];
                if (!widget.Visible)
                    continue;
                icons += dynamic_cast<const qm::TUIconText*>(&widget) != nullptr ? 1 : 0;
                const qm::TRect& b = widget.Bounds;
                EXPECT_TRUE(b.left >= 0 && b.top >= 0 && b.right <= bench.width() &&
                            b.bottom <= bench.height())
                    << Describe(widget) << " leaves the bench of " << bench.width() << "x" << bench.height();
                for (std::size_t j = i + 1; j < widgets.size(); ++j) {
                    if (widgets[j]->Visible) {
                        EXPECT_FALSE(Overlap(b, widgets[j]->Bounds))
                            << Describe(widget) << " overlaps " << Describe(*widgets[j]);
                    }
                }
            }
            EXPECT_EQ(icons, 13) << "each of the desk's functions once";
        }
        corvane::Khan_Free();
    }
    qm::FreeTaxLua();
}

} // namespace
