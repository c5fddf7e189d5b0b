#include "desk/tabs/TabCaptionFit.h"

#include <QFontMetrics>

namespace qm {

QString FitTabCaption(const QString& caption, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(caption) <= width)
        return caption;
    const QString ellipsis = QStringLiteral("...");
    QString kept = caption;
    while (!kept.isEmpty()) {
        const bool pair =
            kept.size() >= 2 && kept.back().isLowSurrogate() && kept[kept.size() - 2].isHighSurrogate();
        kept.chop(pair ? 2 : 1);
        const QString shortened = kept + ellipsis;
        if (metrics.horizontalAdvance(shortened) <= width)
            return shortened;
    }
    return QString();
}

} // namespace qm
