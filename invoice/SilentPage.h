#pragma once

#include <QWebEnginePage>

namespace qm {

// A browser page in silent mode: its script errors, console output and script dialogs (alert,
// confirm, prompt, leave-page questions) never reach the user, and it never opens another browser
// window. Console output goes to the developers' trace channel instead.
class TSilentPage : public QWebEnginePage {
    Q_OBJECT

public:
    TSilentPage(QWebEngineProfile* profile, QObject* parent);
    ~TSilentPage() override;

protected:
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                          QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override;
};

} // namespace qm
