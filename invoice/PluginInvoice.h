#pragma once

#include "corvane/Plugin.h"

#include <QPointer>
#include <memory>

class QWebEngineProfile;

namespace qm {

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

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override;

private:
    TfrmInvoice& Window();

    // What the user typed into the page's forms and the page's own storage, kept between sessions.
    std::unique_ptr<QWebEngineProfile> profile_;
    QPointer<TfrmInvoice> window_;
};

} // namespace qm
