// The invoice plug-in's second page: the user guide, local HTML files shown in the same browser
// engine as the invoice page.
#include "common/Paths.h"
#include "corvane/Errors.h"
#include "corvane/HandleTable.h"
#include "invoice/FrmHelp.h"
#include "invoice/KeepEngineLoaded.h"
#include "invoice/PluginInvoice.h"
#include "invoice/SoftwareRendering.h"

#include <QApplication>
#include <QWebEngineProfile>

namespace qm {

namespace {

constexpr const char* kHelpRequest = "TPluginInvoice.REQ_2(const req, res: TBSONDocument)";

} // namespace

void TPluginInvoice::REQ_2(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
    const std::string page = ExpandPath(AppPath(), req.GetValue("Page").AsString());
    // A guide that is not there is a damaged installation, not an empty page to puzzle over.
    if (!FileExists(page))
        throw corvane::EPlugin(corvane::FormatText("帮助文件(%s)不存在", page), kHelpRequest);
    TfrmHelp& window = HelpWindow();
    window.ShowPage(page);
    res.SetInteger("inst", corvane::Handles().HandleOf(static_cast<QWidget*>(&window)));
}

TfrmHelp& TPluginInvoice::HelpWindow() {
    if (help_)
        return *help_;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        throw corvane::EPlugin("帮助窗口需要图形界面程序", kHelpRequest);
    KeepBrowserEngineLoaded();
    RenderPagesInSoftware();
    if (!helpProfile_)
        helpProfile_ = std::make_unique<QWebEngineProfile>();
    // Until a desk page takes the window in, it belongs to this object (see the destructor).
    auto window = std::make_unique<TfrmHelp>(*helpProfile_);
    help_ = window.release();
    return *help_;
}

} // namespace qm
