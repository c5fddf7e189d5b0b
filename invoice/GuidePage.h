#pragma once

#include "invoice/SilentPage.h"

namespace qm {

// A silent browser page for the local user guide: it follows links between local files only, so
// the guide never reaches out to the network, whatever a page links to.
class TGuidePage : public TSilentPage {
    Q_OBJECT

public:
    TGuidePage(QWebEngineProfile* profile, QObject* parent);

protected:
    // Refuses every address that is not a local file.
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
};

} // namespace qm
