#include "login/BrowserStart.h"

#include "common/DefaultBrowser.h"

#include <QProcess>
#include <QStandardPaths>
#include <QString>

namespace qm {

void StartBrowser(const std::string& address) {
    const QString browser = QString::fromStdString(GetBrowserPath());
    const QString program =
        browser.contains(QLatin1Char('/')) ? browser : QStandardPaths::findExecutable(browser);
    if (!program.isEmpty())
        QProcess::startDetached(program, {QString::fromStdString(address)});
}

} // namespace qm
