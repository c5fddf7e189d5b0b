#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace qm {

// What the browser's page-setup codes of a printed header or footer stand for on one page.
struct TPageSetupFields {
    QString title;     // &w
    QString address;   // &u
    QDateTime when;    // &d, &D, &t, &T
    int page = 1;      // &p
    int pageCount = 1; // &P
    QLocale locale;    // the formats of the date and time codes
};

// One printed header or footer line: the text at the left edge, in the middle and at the right.
struct TPageSetupLine {
    QString left;
    QString center;
    QString right;
};

// Expands the codes of a header or footer: &w title, &u address, &d short date, &D long date,
// &t short time, &T long time, &p page number, &P page count, && an ampersand, and &b, which
// moves the rest of the text to the right edge; with two &b the text between them is centred.
// An unknown code is printed as it stands.
TPageSetupLine ExpandPageSetupCodes(const QString& codes, const TPageSetupFields& fields);

} // namespace qm
