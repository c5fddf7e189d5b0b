#include "invoice/HeaderFooterPrint.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPdfDocument>
#include <QPrinter>
#include <QTemporaryFile>
#include <algorithm>

namespace qm {

namespace {

// Pages are drawn as pictures; finer than this only makes the output bigger.
constexpr int kMaxRenderDpi = 300;
constexpr qreal kHeaderPointSize = 9;

void DrawLine(QPainter& painter, const QRectF& band, const TPageSetupLine& line) {
    const QFontMetricsF metrics(painter.font(), painter.device());
    const qreal gap = metrics.horizontalAdvance(QStringLiteral("    "));
    const qreal rightWidth = std::min(metrics.horizontalAdvance(line.right), band.width());
    painter.drawText(band, Qt::AlignRight | Qt::AlignVCenter, line.right);
    if (!line.center.isEmpty()) {
        const qreal centerWidth = metrics.horizontalAdvance(line.center);
        QRectF center(band.center().x() - centerWidth / 2, band.top(), centerWidth, band.height());
        painter.drawText(center, Qt::AlignCenter, line.center);
    }
    // The left text gives way to the right one; a long address is shortened in the middle.
    const qreal leftRoom = band.width() - (line.right.isEmpty() ? 0 : rightWidth + gap);
    if (leftRoom > 0)
        painter.drawText(band, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(line.left, Qt::ElideMiddle, leftRoom));
}

// The page on white paper: an opaque picture is much smaller in the printer's output than one with
// an alpha channel.
QImage RenderOnPaper(QPdfDocument& document, int page, QSize size) {
    QImage paper(size, QImage::Format_RGB32);
    paper.fill(Qt::white);
    QPainter painter(&paper);
    painter.drawImage(0, 0, document.render(page, size));
    return paper;
}

} // namespace

bool PrintWithHeaderFooter(const QByteArray& pdf, QPrinter& printer, const QString& header,
                           const QString& footer, TPageSetupFields fields) {
    // The PDF reader wants a file it can seek in.
    QTemporaryFile file;
    if (pdf.isEmpty() || !file.open() || file.write(pdf) != pdf.size() || !file.flush())
        return false;
    QPdfDocument document;
    if (document.load(file.fileName()) != QPdfDocument::Error::None || document.pageCount() == 0)
        return false;

    const int resolution = printer.resolution();
    const QMarginsF margins = printer.pageLayout().marginsPixels(resolution);
    printer.setFullPage(true);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    QFont font = painter.font();
    font.setPointSizeF(kHeaderPointSize);
    painter.setFont(font);

    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF sheet(0, 0, paper.width(), paper.height());
    const int renderDpi = std::min(resolution, kMaxRenderDpi);
    fields.pageCount = document.pageCount();
    for (int page = 0; page < document.pageCount(); ++page) {
        if (page > 0 && !printer.newPage())
            return false;
        const QSizeF points = document.pagePointSize(page);
        painter.drawImage(sheet, RenderOnPaper(document, page, (points * renderDpi / 72.0).toSize()));

        fields.page = page + 1;
        const qreal width = sheet.width() - margins.left() - margins.right();
        DrawLine(painter, QRectF(margins.left(), 0, width, margins.top()),
                 ExpandPageSetupCodes(header, fields));
        DrawLine(painter, QRectF(margins.left(), sheet.height() - margins.bottom(), width, margins.bottom()),
                 ExpandPageSetupCodes(footer, fields));
    }
    return painter.end();
}

} // namespace qm
