// An installation without the invoice page and the user guide: the invoice window still comes,
// blank and quiet; a request for the guide fails.
#include "InvoiceFixture.h"
#include "common/Paths.h"
#include "corvane/Errors.h"
#include "corvane/Khan.h"

#include <QApplication>
#include <QTest>
#include <QWebEnginePage>

namespace {

using InvoiceWithoutPage = TInvoiceTest;

TEST_F(InvoiceWithoutPage, WindowStaysBlankAndSendsNoUsageEvent) {
    ASSERT_FALSE(qm::FileExists(PageFile()));
    ASSERT_TRUE(qm::FileExists(qm::AppPath() + "Skellow.so")) << "usage events could be recorded";

    TOpened opened = OpenWindow();
    ASSERT_TRUE(opened.browser);
    EXPECT_EQ(RequestWindow(), opened.handle);
    opened.window->show();
    // A load asked for while the window was made or shown sets the requested address at once; one
    // put off until the window is on the screen has been asked for once the events posted by then
    // are handled.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(opened.window));
    HandlePostedEvents();
    EXPECT_TRUE(opened.loads->isEmpty()) << "nothing was loaded";
    EXPECT_TRUE(opened.browser->url().isEmpty());
    EXPECT_TRUE(opened.browser->page()->requestedUrl().isEmpty());
    EXPECT_TRUE(opened.browser->title().isEmpty() ||
                opened.browser->title() == QStringLiteral("about:blank"));
    EXPECT_EQ(UsageEventCount(), 0);
}

} // namespace

// Unlike the invoice page, a missing guide is told: the error reaches the script that asked, and
// the desk shows and logs it. No window is made for it.
TEST_F(InvoiceWithoutPage, GuideRequestForAMissingPageFailsNamingTheFile) {
    const std::string page = qm::AppPath() + "Help/index.html";
    ASSERT_FALSE(qm::FileExists(page));
    auto request = corvane::TakeDataDocument(2, 0);
    request->SetString("Page", "Help\\index.html");
    try {
        corvane::Khan().Invoke(InvoicePlugin(), *request);
        ADD_FAILURE() << "the request succeeded";
    } catch (const corvane::EPlugin& error) {
        EXPECT_EQ(std::string(error.what()), "帮助文件(" + page + ")不存在");
    }
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_NE(widget->objectName(), QStringLiteral("frmHelp")) << "a guide window was made";
}
