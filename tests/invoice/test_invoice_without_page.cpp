// An installation whose invoice page is missing: the window still comes, blank and quiet.
#include "InvoiceFixture.h"
#include "common/Paths.h"

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
