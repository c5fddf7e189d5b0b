#include "invoice/SilentPage.h"

#include "common/Trace.h"

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
    Trace("Verrian.alert", msg.toStdString());
}

bool TSilentPage::javaScriptConfirm(const QUrl&, const QString& msg) {
    Trace("Verrian.confirm", msg.toStdString());
    return false;
}

bool TSilentPage::javaScriptPrompt(const QUrl&, const QString& msg, const QString&, QString*) {
    Trace("Verrian.prompt", msg.toStdString());
    return false;
}

void TSilentPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message,
                                           int lineNumber, const QString& sourceID) {
    Trace("Verrian.console",
          QStringLiteral("%1:%2: %3").arg(sourceID).arg(lineNumber).arg(message).toStdString());
}

} // namespace qm
