#pragma once

#include "corvane/Plugin.h"

#include <QPointer>
#include <memory>

class QWebEngineProfile;

namespace qm {

class TfrmHelp;
class TfrmInvoice;

// The invoice plug-in's plugin object. It keeps the one invoice window of the process: created on
// the first request, owned here until a desk page takes it in, and noticed when whoever holds it
// frees it, so that the next request creates a new one.
class TPluginInvoice : public corvane::TClientPlugin {
public:
    TPluginInvoice();
    ~TPluginInvoice() override;

    // Answers "inst": the handle of the invoice window, created when there is none.
    void REQ_1(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Reads "Page", a local HTML file (relative paths from the installation folder); answers
    // "inst": the handle of the one user guide window, showing that page. A missing file fails.
    void REQ_2(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override;

private:
    TfrmInvoice& Window();
    TfrmHelp& HelpWindow();

    // What the user typed into the page's forms and the page's own storage, kept between sessions.
    std::unique_ptr<QWebEngineProfile> profile_;
    QPointer<TfrmInvoice> window_;
    // The guide keeps nothing between sessions: its profile stores nothing on disk.
    std::unique_ptr<QWebEngineProfile> helpProfile_;
    QPointer<TfrmHelp> help_;
};

} // namespace qm
