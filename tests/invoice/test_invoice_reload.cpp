// The host does not link the browser engine; only the invoice plug-in brings it into the process.
// Unloading the plug-in and loading it again must leave a working engine behind, and the process
// must end cleanly. This program links no browser code, as the host.
#include "common/Paths.h"
#include "corvane/HandleTable.h"
#include "corvane/Khan.h"
#include "host/UIPlugin.h"

#include <QSignalSpy>
#include <QWidget>
#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

std::string InvoicePlugin() {
    return qm::PluginsPath() + "Invoice/Verrian.dll";
}

// Opens the invoice window and waits for its page; the outcome of the load.
bool OpenAndLoad() {
    const auto answer = corvane::Khan().Invoke(InvoicePlugin(), corvane::TakeDataDocument(1, 0));
    auto* window = static_cast<QWidget*>(corvane::Handles().Resolve(
        answer->GetValue("inst").AsInteger(), corvane::kHandleForm, "inst", "reload test"));
    QObject* browser = window->findChild<QObject*>(QStringLiteral("wbInvoice"));
    if (browser == nullptr)
        return false;
    QSignalSpy loads(browser, SIGNAL(loadFinished(bool)));
    window->show();
    return loads.wait(30000) && loads.first().first().toBool();
}

TEST(InvoiceReload, EngineWorksAfterThePlugInWasUnloadedAndLoadedAgain) {
    qm::TUIPlugin host;
    corvane::Khan().SetHostPlugin(&host);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        EXPECT_TRUE(OpenAndLoad());
        corvane::Khan().UnloadPlugin(InvoicePlugin());
        // The bus lets the library go once control is back in the event loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        EXPECT_FALSE(corvane::Khan().IsLoaded(InvoicePlugin()));
    }
    corvane::Khan_Free();
}

} // namespace
