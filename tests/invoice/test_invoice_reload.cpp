// The host does not link the browser engine; only the invoice plug-in brings it into the process.
// Unloading the plug-in and loading it again must leave a working engine behind, and the process
// must end cleanly. This program links no browser code, as the host, and is prepared for the engine
// as the host is: its pages are drawn without OpenGL.
#include "common/Paths.h"
#include "corvane/HandleTable.h"
#include "corvane/Khan.h"
#include "host/UIPlugin.h"
#include "tests/support/OpenGlLibraries.h"
#include "tests/support/ScreenPixel.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

std::string InvoicePlugin() {
    return qm::PluginsPath() + "Invoice/Verrian.dll";
}

// Opens the invoice window, shows it and waits for its page; the window once the page loaded,
// else nothing.
QWidget* OpenAndLoad() {
    const auto answer = corvane::Khan().Invoke(InvoicePlugin(), corvane::TakeDataDocument(1, 0));
    auto* window = static_cast<QWidget*>(corvane::Handles().Resolve(
        answer->GetValue("inst").AsInteger(), corvane::kHandleForm, "inst", "reload test"));
    QObject* browser = window->findChild<QObject*>(QStringLiteral("wbInvoice"));
    if (browser == nullptr)
        return nullptr;
    QSignalSpy loads(browser, SIGNAL(loadFinished(bool)));
    window->show();
    return loads.wait(30000) && loads.first().first().toBool() ? window : nullptr;
}

// First in this program, so that it sees the process as the desk has it at start.
TEST(InvoiceReload, PagesAreDrawnOnTheScreenWithoutOpenGL) {
    EXPECT_EQ(qm::test::JoinedLibraries(qm::test::OpenGlLibrariesMapped()), "") << "before any page";
    // What kept OpenGL out is not handed on to programs the desk starts (a web browser of its own).
    EXPECT_FALSE(qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"));
    qm::TUIPlugin host;
    corvane::Khan().SetHostPlugin(&host);
    QWidget* window = OpenAndLoad();
    ASSERT_NE(window, nullptr);

    // What the X server shows: the banner's blue band (a gradient from #2f7ab8 to #235f92) at the top
    // left, and below it the page's own grey-blue background, beside the search form.
    const auto banner = [&] { return qm::test::ScreenPixel(*window, QPoint(4, 4)); };
    const auto background = [&] { return qm::test::ScreenPixel(*window, QPoint(4, 200)); };
    const auto bannerBlue = [](const QColor& colour) {
        return colour.isValid() && colour.red() >= 0x20 && colour.red() <= 0x32 && colour.green() >= 0x5c &&
               colour.green() <= 0x7d && colour.blue() >= 0x8f && colour.blue() <= 0xbb;
    };
    const bool drawn = QTest::qWaitFor(
        [&] { return bannerBlue(banner()) && qm::test::NearColour(background(), QColor(0xf4, 0xf7, 0xfa)); },
        15000);
    EXPECT_TRUE(drawn) << "banner " << banner().name().toStdString() << ", background "
                       << background().name().toStdString();
    EXPECT_EQ(qm::test::JoinedLibraries(qm::test::OpenGlLibrariesMapped()), "") << "with the page shown";
    corvane::Khan_Free();
}

TEST(InvoiceReload, EngineWorksAfterThePlugInWasUnloadedAndLoadedAgain) {
    qm::TUIPlugin host;
    corvane::Khan().SetHostPlugin(&host);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        EXPECT_NE(OpenAndLoad(), nullptr);
        corvane::Khan().UnloadPlugin(InvoicePlugin());
        // The bus lets the library go once control is back in the event loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        EXPECT_FALSE(corvane::Khan().IsLoaded(InvoicePlugin()));
    }
    corvane::Khan_Free();
}

} // namespace
