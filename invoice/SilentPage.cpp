#include "invoice/SilentPage.h"

#include "invoice/InvoiceLog.h"

#include <QWebEngineSettings>

namespace qm {

TSilentPage::TSilentPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {
    setAudioMuted(true);
    // Scripts get no new windows; links that ask for one are refused in createWindow.
    settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
}

TSilentPage::~TSilentPage() = default;

QWebEnginePage* TSilentPage::createWindow(WebWindowType) {
    return nullptr;
}

void TSilentPage::javaScriptAlert(const QUrl&, const QString& msg) {
    qCDebug(lcInvoice).noquote() << "alert:" << msg;
}

bool TSilentPage::javaScriptConfirm(const QUrl&, const QString& msg) {
    qCDebug(lcInvoice).noquote() << "confirm:" << msg;
    return false;
}

bool TSilentPage::javaScriptPrompt(const QUrl&, const QString& msg, const QString&, QString*) {
    qCDebug(lcInvoice).noquote() << "prompt:" << msg;
    return false;
}

void TSilentPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message,
                                           int lineNumber, const QString& sourceID) {
    qCDebug(lcInvoice).noquote()
        << QStringLiteral("console: %1:%2: %3").arg(sourceID).arg(lineNumber).arg(message);
}

} // namespace qm
