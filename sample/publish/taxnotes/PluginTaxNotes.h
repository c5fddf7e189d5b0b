#pragma once

#include "corvane/Plugin.h"

#include <QPointer>

namespace qm {

class TfrmTaxNotes;

// The plugin object of the store application 税务便签. It keeps one notes window: made on the
// first request, owned here until a desk page takes it in, and forgotten when whoever holds it
// frees it, so that the next request makes a new one that reads the notes again.
class TPluginTaxNotes : public corvane::TClientPlugin {
public:
    TPluginTaxNotes();
    ~TPluginTaxNotes() override;

    // "folder": the application's folder. Answers "inst", the handle of the notes window, and
    // "count", how many notes it holds.
    void REQ_1(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override;

private:
    QPointer<TfrmTaxNotes> notes_;
};

} // namespace qm
