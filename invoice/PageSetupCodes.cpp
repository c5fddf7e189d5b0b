#include "invoice/PageSetupCodes.h"

#include <QStringList>

namespace qm {

namespace {

QString ExpandField(QChar code, const TPageSetupFields& fields) {
    switch (code.unicode()) {
    case u'w':
        return fields.title;
    case u'u':
        return fields.address;
    case u'd':
        return fields.locale.toString(fields.when.date(), QLocale::ShortFormat);
    case u'D':
        return fields.locale.toString(fields.when.date(), QLocale::LongFormat);
    case u't':
        return fields.locale.toString(fields.when.time(), QLocale::ShortFormat);
    case u'T':
        return fields.locale.toString(fields.when.time(), QLocale::LongFormat);
    case u'p':
        return QString::number(fields.page);
    case u'P':
        return QString::number(fields.pageCount);
    case u'&':
        return QStringLiteral("&");
    default:
        return QStringLiteral("&") + code;
    }
}

} // namespace

TPageSetupLine ExpandPageSetupCodes(const QString& codes, const TPageSetupFields& fields) {
    QStringList parts{QString()};
    for (qsizetype i = 0; i < codes.size(); ++i) {
        if (codes[i] != u'&' || i + 1 == codes.size()) {
            parts.back() += codes[i];
            continue;
        }
        const QChar code = codes[++i];
        if (code == u'b')
            parts.append(QString());
        else
            parts.back() += ExpandField(code, fields);
    }
    switch (parts.size()) {
    case 1:
        return {parts[0], {}, {}};
    case 2:
        return {parts[0], {}, parts[1]};
    default:
        // Further &b codes only split the right-hand text again; keep it together.
        return {parts[0], parts[1], parts.mid(2).join(QString())};
    }
}

} // namespace qm
