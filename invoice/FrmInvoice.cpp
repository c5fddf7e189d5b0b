#include "invoice/FrmInvoice.h"

#include "common/ControlAlign.h"
#include "common/Paths.h"
#include "common/Routing.h"
#include "corvane/HandleTable.h"
#include "invoice/HeaderFooterPrint.h"
#include "invoice/SilentPage.h"

#include <QDateTime>
#include <QPageLayout>
#include <QPrinter>
#include <QShortcut>
#include <QUrl>
#include <QWebEngineView>

namespace qm {

namespace {

constexpr qreal kPrintMarginMm = 19.05;

} // namespace

TfrmInvoice::TfrmInvoice(QWebEngineProfile& profile, QWidget* parent)
    : QWidget(parent), self_(std::make_shared<TfrmInvoice*>(this)) {
    setObjectName(QStringLiteral("frmInvoice"));
    resize(595, 447);

    wbInvoice = new QWebEngineView(this);
    wbInvoice->setObjectName(QStringLiteral("wbInvoice"));
    wbInvoice->setPage(new TSilentPage(&profile, wbInvoice)); // owned by the view
    // No context menu of any kind, and the right click is not handed on to the desk either.
    wbInvoice->setContextMenuPolicy(Qt::PreventContextMenu);
    SetControlAlign(wbInvoice, alClient);
    setFocusProxy(wbInvoice);

    // Ctrl+N opens no new browser window: the shortcut takes the key and does nothing with it.
    auto* newWindowKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_N), this); // owned by this window
    newWindowKey->setContext(Qt::WidgetWithChildrenShortcut);
    auto* printKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this); // owned by this window
    printKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(printKey, &QShortcut::activated, this, &TfrmInvoice::ShowPrintDialog);
    connect(wbInvoice->page(), &QWebEnginePage::printRequested, this, &TfrmInvoice::ShowPrintDialog);
    connect(wbInvoice, &QWebEngineView::titleChanged, this, &QWidget::setWindowTitle);

    FormCreate();
    corvane::Handles().Register(static_cast<QWidget*>(this), corvane::kHandleControl | corvane::kHandleForm);
}

TfrmInvoice::~TfrmInvoice() {
    self_.reset();
    corvane::Handles().Unregister(static_cast<QWidget*>(this));
}

void TfrmInvoice::FormCreate() {
    root_ = PluginsPath() + "Invoice/";
    page_ = root_ + "html/fpsearch.html";
    // The page is silent from the start (TSilentPage). A missing page leaves the window blank.
    if (!FileExists(page_))
        return;
    wbInvoice->load(QUrl::fromLocalFile(QString::fromStdString(page_)));
    SendFunctionKey(104, 1);
}

void TfrmInvoice::ApplyPrintSetup(QPrinter* printer) {
    printer->setPageOrientation(QPageLayout::Portrait);
    printer->setPageMargins(QMarginsF(kPrintMarginMm, kPrintMarginMm, kPrintMarginMm, kPrintMarginMm),
                            QPageLayout::Millimeter);
}

void TfrmInvoice::ShowPrintDialog() {
    if (printDialog_) {
        printDialog_->activateWindow();
        return;
    }
    if (printing_ || wbInvoice->url().isEmpty())
        return;
    dialogPrinter_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    ApplyPrintSetup(dialogPrinter_.get());
    auto* dialog = new QPrintDialog(dialogPrinter_.get(), this); // deletes itself when closed
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this] { PrintPage(dialogPrinter_.get()); });
    printDialog_ = dialog;
    dialog->open();
}

void TfrmInvoice::PrintPage(QPrinter* printer) {
    if (printing_) {
        emit printFinished(false);
        return;
    }
    printing_ = true;
    TPageSetupFields fields;
    fields.title = wbInvoice->title();
    fields.address = wbInvoice->url().toString();
    fields.when = QDateTime::currentDateTime();
    // The engine lays the content out inside the printer's margins on sheets of the printer's size;
    // the header and footer then go into those margins.
    const QPageLayout layout = printer->pageLayout();
    std::weak_ptr<TfrmInvoice*> window = self_;
    wbInvoice->page()->printToPdf(
        [window, printer, fields](const QByteArray& pdf) {
            const auto self = window.lock();
            if (!self)
                return;
            const bool success = PrintWithHeaderFooter(pdf, *printer, QString::fromLatin1(kPrintHeader),
                                                       QString::fromLatin1(kPrintFooter), fields);
            (*self)->printing_ = false;
            emit(*self)->printFinished(success);
        },
        layout);
}

} // namespace qm
