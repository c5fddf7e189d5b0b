#include "invoice/PluginInvoice.h"

#include "common/BrowserEngine.h"
#include "corvane/Errors.h"
#include "corvane/HandleTable.h"
#include "invoice/FrmHelp.h"
#include "invoice/FrmInvoice.h"
#include "invoice/KeepEngineLoaded.h"
#include "invoice/SoftwareRendering.h"

#include <QApplication>
#include <QWebEngineProfile>

namespace qm {

TPluginInvoice::TPluginInvoice() = default;

TPluginInvoice::~TPluginInvoice() {
    // The window's code lives in this library, so it goes with it, even when a desk page holds it;
    // the page then finds its control gone. The profile must outlive its pages.
    delete window_.data();
    delete help_.data();
}

void TPluginInvoice::REQ_1(const corvane::TBSONDocument&, corvane::TBSONDocument& res) {
    res.SetInteger("inst", corvane::Handles().HandleOf(static_cast<QWidget*>(&Window())));
}

TfrmInvoice& TPluginInvoice::Window() {
    if (window_)
        return *window_;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        throw corvane::EPlugin("发票窗口需要图形界面程序",
                               "TPluginInvoice.REQ_1(const req, res: TBSONDocument)");
    KeepBrowserEngineLoaded();
    RenderPagesInSoftware();
    if (!profile_) {
        profile_ = std::make_unique<QWebEngineProfile>(QStringLiteral("Invoice"));
        // Servers answer in the desk's language, not the session's.
        profile_->setHttpAcceptLanguage(QString::fromLatin1(kDeskBrowserLocale));
    }
    // Until a desk page takes the window in, it belongs to this object (see the destructor).
    auto window = std::make_unique<TfrmInvoice>(*profile_);
    window_ = window.release();
    return *window_;
}

std::span<const corvane::TPublishedMethod> TPluginInvoice::PublishedMethods() const noexcept {
    static const corvane::TPublishedMethod methods[] = {CORVANE_PUBLISH(TPluginInvoice, REQ_1),
                                                        CORVANE_PUBLISH(TPluginInvoice, REQ_2)};
    return methods;
}

} // namespace qm

CORVANE_EXPORT_PLUGIN(qm::TPluginInvoice)
