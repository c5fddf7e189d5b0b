// Printing the invoice page: the fixed page setup and the header and footer on every sheet.
#include "InvoiceFixture.h"

#include <QDate>
#include <QImage>
#include <QLocale>
#include <QPageLayout>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

namespace {

using InvoicePrint = TInvoiceTest;

constexpr qreal kMarginMm = 19.05;

QPrintDialog* VisiblePrintDialog() {
    for (QWidget* widget : TInvoiceTest::VisibleTopLevels())
        if (auto* dialog = qobject_cast<QPrintDialog*>(widget))
            return dialog;
    return nullptr;
}

// Whether the columns [from, to) of the picture are blank paper.
bool ColumnsAreBlank(const QImage& image, int from, int to) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = from; x < to; ++x)
            if (qGray(image.pixel(x, y)) < 250 && qAlpha(image.pixel(x, y)) > 0)
                return false;
    return true;
}

bool ColumnsHaveInk(const QImage& image, int from, int to) {
    return !ColumnsAreBlank(image, from, to);
}

TEST_F(InvoicePrint, CtrlPOffersThePrintDialogInPortraitWithTheFixedMargins) {
    TOpened opened = OpenWindow();
    ASSERT_TRUE(FirstLoadSucceeded(opened));
    ShowActive(*opened.window);
    RunScript(*opened.browser, QStringLiteral("document.getElementById('buyer').focus(); 1"));

    QTest::keyClick(opened.browser->focusProxy(), Qt::Key_P, Qt::ControlModifier);
    ASSERT_TRUE(WaitFor([] { return VisiblePrintDialog() != nullptr; }, 10000));
    QPrintDialog* dialog = VisiblePrintDialog();
    const QPageLayout layout = dialog->printer()->pageLayout();
    EXPECT_EQ(layout.orientation(), QPageLayout::Portrait);
    const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
    EXPECT_NEAR(margins.left(), kMarginMm, 0.01);
    EXPECT_NEAR(margins.top(), kMarginMm, 0.01);
    EXPECT_NEAR(margins.right(), kMarginMm, 0.01);
    EXPECT_NEAR(margins.bottom(), kMarginMm, 0.01);
    dialog->reject();
    EXPECT_TRUE(WaitFor([] { return VisiblePrintDialog() == nullptr; }));
}

TEST_F(InvoicePrint, EverySheetCarriesTitlePageNumbersAddressAndDateInsideTheMargins) {
    TOpened opened = OpenWindow();
    ASSERT_TRUE(FirstLoadSucceeded(opened));
    // Long enough for several sheets.
    RunScript(*opened.browser, QStringLiteral("var body = document.querySelector('#results tbody');"
                                              "for (var i = 0; i < 150; ++i)"
                                              "  body.appendChild(body.rows[i % 30].cloneNode(true));"
                                              "body.rows.length"));

    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString output = folder.filePath(QStringLiteral("invoice.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(output);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
    ASSERT_TRUE(QMetaObject::invokeMethod(opened.window, "ApplyPrintSetup", Q_ARG(QPrinter*, &printer)));
    QSignalSpy finished(opened.window, SIGNAL(printFinished(bool)));
    ASSERT_TRUE(QMetaObject::invokeMethod(opened.window, "PrintPage", Q_ARG(QPrinter*, &printer)));
    ASSERT_TRUE(finished.wait(60000));
    ASSERT_TRUE(finished.first().first().toBool());

    QPdfDocument document;
    ASSERT_EQ(document.load(output), QPdfDocument::Error::None);
    const int sheets = document.pageCount();
    ASSERT_GE(sheets, 2);
    const QSizeF a4Portrait = QPageSize(QPageSize::A4).size(QPageSize::Point);
    const QString title = PageTitleInFile();
    const QString date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
    for (int sheet = 0; sheet < sheets; ++sheet) {
        SCOPED_TRACE(sheet);
        EXPECT_NEAR(document.pagePointSize(sheet).width(), a4Portrait.width(), 1.0);
        EXPECT_NEAR(document.pagePointSize(sheet).height(), a4Portrait.height(), 1.0);
        const QString text = document.getAllText(sheet).text();
        EXPECT_TRUE(text.contains(title)) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of %2").arg(sheet + 1).arg(sheets)))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("file://"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("fpsearch.html"))) << text.toStdString();
        EXPECT_TRUE(text.contains(date)) << text.toStdString();
    }

    // At 2 pixels a point: the side margins are blank paper, and there is print right inside them.
    const QImage first = document.render(0, (a4Portrait * 2).toSize());
    const int margin = qRound(kMarginMm / 25.4 * 72 * 2);
    EXPECT_TRUE(ColumnsAreBlank(first, 0, margin - 2));
    EXPECT_TRUE(ColumnsAreBlank(first, first.width() - margin + 2, first.width()));
    EXPECT_TRUE(ColumnsHaveInk(first, margin, margin + 40));
}

} // namespace
