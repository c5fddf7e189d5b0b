#include "invoice/SoftwareRendering.h"

#include <QQuickWindow>
#include <QSGRendererInterface>

namespace qm {

void RenderPagesInSoftware() {
    static const bool set = [] {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        return true;
    }();
    (void)set;
}

} // namespace qm
