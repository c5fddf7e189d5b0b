#include "common/BrowserEngine.h"

#include <QCoreApplication>
#include <unistd.h>

namespace qm {

void PrepareBrowserEngine() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

} // namespace qm
