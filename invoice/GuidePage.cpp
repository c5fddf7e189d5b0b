#include "invoice/GuidePage.h"

#include "invoice/InvoiceLog.h"

namespace qm {

TGuidePage::TGuidePage(QWebEngineProfile* profile, QObject* parent) : TSilentPage(profile, parent) {}

bool TGuidePage::acceptNavigationRequest(const QUrl& url, NavigationType, bool) {
    if (url.isLocalFile())
        return true;
    qCDebug(lcInvoice).noquote() << "the guide does not follow" << url.toString();
    return false;
}

} // namespace qm
