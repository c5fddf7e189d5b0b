#pragma once

#include "corvane/Plugin.h"

#include <QPointer>

namespace qm {

class TfrmFilingCalendar;
class TfrmTaxCalculator;

// The plugin object of the sample's desk tools. It keeps one window of each kind: created on the
// first request, owned here until a desk page takes it in, and forgotten when whoever holds it
// frees it, so that the next request creates a new one.
class TPluginDeskTools : public corvane::TClientPlugin {
public:
    TPluginDeskTools();
    ~TPluginDeskTools() override;

    // Answers "inst": the handle of the filing calendar window.
    void REQ_1(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Answers "inst": the handle of the tax calculator window.
    void REQ_2(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override;

private:
    QPointer<TfrmFilingCalendar> calendar_;
    QPointer<TfrmTaxCalculator> calculator_;
};

} // namespace qm
