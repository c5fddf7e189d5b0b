#include "upgrade/FinishedFile.h"

#include <QFileInfo>
#include <QString>

namespace qm {

TFinishedFileKind FinishedFileKind(const std::string& localFile) {
    const QString extension = QFileInfo(QString::fromStdString(localFile)).suffix().toUpper();
    if (extension == QLatin1String("EXE") || extension == QLatin1String("RUN") ||
        extension == QLatin1String("SH"))
        return TFinishedFileKind::Program;
    if (extension == QLatin1String("ZIP") || extension == QLatin1String("RAR"))
        return TFinishedFileKind::Archive;
    return TFinishedFileKind::Other;
}

} // namespace qm
