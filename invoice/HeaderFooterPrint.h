#pragma once

#include "invoice/PageSetupCodes.h"

#include <QByteArray>
#include <QString>

class QPrinter;

namespace qm {

// Puts the pages of a PDF document, as the browser engine laid them out with the printer's margins,
// onto printer one sheet each, and writes the header into the top margin and the footer into the
// bottom margin (page-setup codes, see ExpandPageSetupCodes; page and page count are filled in
// here). The engine's own printing has no header or footer, so they are drawn here.
// False when the document cannot be read or the printer cannot be started.
bool PrintWithHeaderFooter(const QByteArray& pdf, QPrinter& printer, const QString& header,
                           const QString& footer, TPageSetupFields fields);

} // namespace qm
