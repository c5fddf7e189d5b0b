#pragma once

#include <QPointer>
#include <QPrintDialog>
#include <QWidget>
#include <memory>
#include <string>

class QPrinter;
class QWebEngineProfile;
class QWebEngineView;

namespace qm {

// The invoice page window: a browser view of the local invoice search page. On creation it
// navigates to the page and sends the usage event (104, 1); when the page is missing it stays blank
// and sends nothing. It is registered in the handle table (control and form) while it lives.
class TfrmInvoice : public QWidget {
    Q_OBJECT

public:
    // profile must outlive the window.
    explicit TfrmInvoice(QWebEngineProfile& profile, QWidget* parent = nullptr);
    ~TfrmInvoice() override;

    // PluginsPath + "Invoice/" and Root + "html/fpsearch.html".
    const std::string& Root() const noexcept { return root_; }
    const std::string& Page() const noexcept { return page_; }

    // The fixed print setup: portrait, margins of 19.05 mm on all four sides.
    Q_INVOKABLE static void ApplyPrintSetup(QPrinter* printer);
    // Prints the page with the printer's layout and the header and footer below; printFinished
    // tells the outcome. printer must live until then. A print already running refuses at once.
    Q_INVOKABLE void PrintPage(QPrinter* printer);

    // The header and footer in the browser's page-setup codes.
    static constexpr const char* kPrintHeader = "&w&bPage &p of &P";
    static constexpr const char* kPrintFooter = "&u&b&d";

signals:
    void printFinished(bool success);

private:
    void FormCreate();
    // Ctrl+P and the page's own print requests: the print dialog with the fixed setup.
    void ShowPrintDialog();

    std::string root_;
    std::string page_;
    QWebEngineView* wbInvoice = nullptr; // owned by this window
    std::unique_ptr<QPrinter> dialogPrinter_;
    QPointer<QPrintDialog> printDialog_;
    bool printing_ = false;
    // Print results arrive later; a window destroyed meanwhile must not be touched.
    std::shared_ptr<TfrmInvoice*> self_;
};

} // namespace qm
