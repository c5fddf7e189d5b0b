#include "invoice/FrmHelp.h"

#include "common/ControlAlign.h"
#include "corvane/HandleTable.h"
#include "invoice/GuidePage.h"

#include <QShortcut>
#include <QUrl>
#include <QWebEngineView>

namespace qm {

TfrmHelp::TfrmHelp(QWebEngineProfile& profile, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmHelp"));
    resize(595, 447);

    wbHelp = new QWebEngineView(this);
    wbHelp->setObjectName(QStringLiteral("wbHelp"));
    wbHelp->setPage(new TGuidePage(&profile, wbHelp)); // owned by the view
    wbHelp->setContextMenuPolicy(Qt::PreventContextMenu);
    SetControlAlign(wbHelp, alClient);
    setFocusProxy(wbHelp);
    // Ctrl+N opens no new browser window: the shortcut takes the key and does nothing with it.
    auto* newWindowKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_N), this); // owned by this window
    newWindowKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(wbHelp, &QWebEngineView::titleChanged, this, &QWidget::setWindowTitle);

    corvane::Handles().Register(static_cast<QWidget*>(this), corvane::kHandleControl | corvane::kHandleForm);
}

TfrmHelp::~TfrmHelp() {
    corvane::Handles().Unregister(static_cast<QWidget*>(this));
}

void TfrmHelp::ShowPage(const std::string& page) {
    if (page == page_)
        return;
    page_ = page;
    wbHelp->load(QUrl::fromLocalFile(QString::fromStdString(page)));
}

} // namespace qm
