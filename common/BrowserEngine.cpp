#include "common/BrowserEngine.h"

#include <QByteArray>
#include <QCoreApplication>
#include <unistd.h>

namespace qm {

namespace {

// The engine takes its locale from its flags, read once when it starts; without one it follows the
// session's, which on a server or a fresh account is often plain English.
void UseDeskLocale() {
    constexpr const char* kFlags = "QTWEBENGINE_CHROMIUM_FLAGS";
    QByteArray flags = qgetenv(kFlags);
    if (flags.contains("--lang="))
        return;
    if (!flags.isEmpty())
        flags += ' ';
    flags += QByteArray("--lang=") + kDeskBrowserLocale;
    qputenv(kFlags, flags);
}

} // namespace

void PrepareBrowserEngine() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    UseDeskLocale();
}

} // namespace qm
