// Requests 7 and 8 put a plug-in's control on the desk or the bench container. A page belongs to its
// page control, and a control cannot hold the container it would go into: docking either would tear
// the page control apart or make the widget tree a loop and hang the desk. They are refused with a
// clear error, and nothing moves.
#include "DeskFrameFixture.h"
#include "corvane/Errors.h"
#include "corvane/Requests.h"

#include <vector>

namespace qm::test {
namespace {

class DockRefusals : public DeskFrame {
public:
    QWidget& BenchPage() { return Desk().BenchPage(); }
    QWidget& OtherPage() { return *Pages().GetPage(1); }
    QWidget& DeskContainer() { return Container(); }
    QWidget& BenchContainer() { return Desk().BenchContainer(); }
    QWidget& BenchForm() { return Desk().BenchForm(); }
    QWidget& PageControl() { return Pages(); }

protected:
    // The control's handle as a plug-in would hold it; registered for the test when the desk has
    // not handed one out.
    std::int32_t HandleFor(QWidget& control) {
        const QWidget* object = &control;
        if (const std::int32_t known = corvane::Handles().HandleOf(object); known != 0)
            return known;
        registered_.push_back(object);
        return corvane::Handles().Register(object, corvane::kHandleControl);
    }

    void TearDown() override {
        for (const QWidget* object : registered_)
            corvane::Handles().Unregister(object);
        DeskFrame::TearDown();
    }

private:
    std::vector<const QWidget*> registered_;
};

TEST_F(DockRefusals, PagesAndWhatHoldsTheContainerAreRefusedAndNothingMoves) {
    Pages().NewPage(false).SetCaption("plug-in page");
    Pages().SetActivePage(&Desk().BenchPage());
    using D = DockRefusals;
    const std::vector<std::pair<const char*, QWidget& (D::*)()>> desk = {
        {"the bench page", &D::BenchPage},
        {"another page", &D::OtherPage},
        {"the desk container", &D::DeskContainer}};
    const std::vector<std::pair<const char*, QWidget& (D::*)()>> bench = {
        {"the bench page", &D::BenchPage},           {"another page", &D::OtherPage},
        {"the bench container", &D::BenchContainer}, {"the bench form", &D::BenchForm},
        {"the page control", &D::PageControl},       {"the desk container", &D::DeskContainer}};

    for (const auto& [request, controls] :
         {std::pair{corvane::kReqDeskDock, desk}, std::pair{corvane::kReqBenchDock, bench}}) {
        for (const auto& [what, control] : controls) {
            SCOPED_TRACE(std::string("request ") + std::to_string(request) + ", " + what);
            QWidget& widget = (this->*control)();
            QWidget* const parentBefore = widget.parentWidget();
            const QRect geometryBefore = widget.geometry();
            auto req = corvane::TakeDataDocument(request, 0);
            req->SetInteger("inst", HandleFor(widget));
            req->SetDouble("left", 10);
            req->SetDouble("top", 10);
            req->SetDouble("width", 100);
            req->SetDouble("height", 80);
            req->SetString("anchors", "");
            EXPECT_THROW(corvane::Khan().Invoke(std::string(corvane::kHostAddress), *req), corvane::EPlugin);
            EXPECT_EQ(widget.parentWidget(), parentBefore);
            EXPECT_EQ(widget.geometry(), geometryBefore);
        }
    }
    EXPECT_EQ(Pages().PageCount(), 2);
    EXPECT_EQ(Pages().ActivePage(), &Desk().BenchPage());
    EXPECT_TRUE(Desk().BenchForm().isVisible());
}

} // namespace
} // namespace qm::test
