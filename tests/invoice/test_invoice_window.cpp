// The invoice window as the desk gets it through the bus: one window per process, its page, its
// usage event, and what happens when the window or the library goes away.
#include "InvoiceFixture.h"
#include "common/Routing.h"
#include "corvane/Errors.h"
#include "corvane/HandleTable.h"
#include "corvane/Khan.h"

#include <QPointer>
#include <QUrl>
#include <memory>

namespace {

using InvoiceWindow = TInvoiceTest;

void DestroyLater(QWidget* widget) {
    widget->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(InvoiceWindow, TwoRequestsAnswerTheSameWindowThatShowsTheLocalPage) {
    qm::SetSharedValue("Login", "UserName", "李四");
    TOpened opened = OpenWindow();
    EXPECT_EQ(RequestWindow(), opened.handle);

    ASSERT_TRUE(opened.browser) << "the window holds the browser view wbInvoice";
    EXPECT_EQ(opened.window->size(), QSize(595, 447));
    EXPECT_TRUE(opened.window->isWindow()) << "nobody has docked it yet";
    ASSERT_TRUE(FirstLoadSucceeded(opened));
    EXPECT_EQ(opened.browser->url(), QUrl::fromLocalFile(QString::fromStdString(PageFile())));
    EXPECT_EQ(RunScript(*opened.browser, QStringLiteral("document.title")).toString(), PageTitleInFile());
    EXPECT_FALSE(PageTitleInFile().isEmpty());

    // One usage event for the window, none for the second request.
    ASSERT_EQ(UsageEventCount(), 1);
    auto event = LastUsageEvent();
    EXPECT_EQ(event->GetValue("@ReqCMD").AsInteger(), 301);
    EXPECT_EQ(event->GetValue("FFunctionKey").AsString(), "S2S007S005S104S001");
    EXPECT_EQ(event->GetValue("FBKUser").AsString(), "李四");
    EXPECT_EQ(event->GetValue("FProductID").AsString(), "1");
    EXPECT_EQ(event->GetValue("FProductVer").AsString(), QM_TEST_RELEASE_VERSION);
}

TEST_F(InvoiceWindow, FreedWindowIsReplacedByANewOneThatNavigatesAgain) {
    TOpened first = OpenWindow();
    ASSERT_TRUE(FirstLoadSucceeded(first));
    DestroyLater(first.window);
    ASSERT_TRUE(first.Gone());
    EXPECT_FALSE(corvane::Handles().IsLive(first.handle)) << "a freed window leaves the handle table";
    EXPECT_THROW(WindowOf(first.handle), corvane::EPlugin);

    TOpened second = OpenWindow();
    EXPECT_NE(second.handle, first.handle);
    ASSERT_TRUE(FirstLoadSucceeded(second));
    EXPECT_EQ(RunScript(*second.browser, QStringLiteral("document.title")).toString(), PageTitleInFile());
    ASSERT_EQ(UsageEventCount(), 2);
    EXPECT_EQ(LastUsageEvent()->GetValue("FFunctionKey").AsString(), "S2S007S005S104S001");
}

TEST_F(InvoiceWindow, DockedWindowGoesWithItsPage) {
    auto page = std::make_unique<QWidget>();
    TOpened opened = OpenWindow();
    opened.window->setParent(page.get());
    page.reset();
    EXPECT_TRUE(opened.Gone());
    EXPECT_FALSE(corvane::Handles().IsLive(opened.handle));

    TOpened next = OpenWindow();
    EXPECT_NE(next.handle, opened.handle);
    EXPECT_TRUE(FirstLoadSucceeded(next));
}

TEST_F(InvoiceWindow, UnloadingTheLibraryFreesItsWindowsAndALaterLoadWorksAgain) {
    // A window nobody took, and one docked in a page: both run code of the library.
    TOpened loose = OpenWindow();
    ASSERT_TRUE(FirstLoadSucceeded(loose));
    corvane::Khan().UnloadPlugin(InvoicePlugin());
    // The bus lets the library go once control is back in the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    EXPECT_TRUE(loose.Gone());
    EXPECT_FALSE(corvane::Handles().IsLive(loose.handle));

    QWidget page;
    TOpened docked = OpenWindow();
    ASSERT_TRUE(FirstLoadSucceeded(docked)) << "the browser engine works again after the library came back";
    docked.window->setParent(&page);
    corvane::Khan().UnloadPlugin(InvoicePlugin());
    // The bus lets the library go once control is back in the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    EXPECT_TRUE(docked.Gone());
    EXPECT_TRUE(page.children().isEmpty()) << "the page is left without the window";
    EXPECT_FALSE(corvane::Khan().IsLoaded(InvoicePlugin()));

    TOpened again = OpenWindow();
    EXPECT_TRUE(FirstLoadSucceeded(again));
    EXPECT_EQ(UsageEventCount(), 3);
}

} // namespace
