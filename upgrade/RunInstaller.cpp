#include "upgrade/RunInstaller.h"

#include "common/FileBytes.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <signal.h>
#include <string>

namespace qm {

namespace {

bool NeedsRunBit(const QString& path) {
    return path.endsWith(QStringLiteral(".run"), Qt::CaseInsensitive) ||
           path.endsWith(QStringLiteral(".sh"), Qt::CaseInsensitive);
}

// The program is started detached (so that a closing desk never kills an installer half way), so
// its end is seen from outside: gone, or a zombie waiting for its new parent to reap it.
bool IsRunning(qint64 pid) {
    if (::kill(static_cast<pid_t>(pid), 0) != 0)
        return false;
    const TResult<std::string> stat = ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
    if (!stat)
        return false;
    const std::string& text = *stat;
    const std::size_t close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() || text[close + 2] != 'Z';
}

} // namespace

std::optional<int> StartAndWait(const std::string& file, const std::string& params,
                                const std::function<void()>& whileRunning) {
    const QString path = QFileInfo(QString::fromStdString(file)).absoluteFilePath();
    if (NeedsRunBit(path)) {
        QFile program(path);
        program.setPermissions(program.permissions() | QFileDevice::ExeOwner);
    }
    if (!QFileInfo(path).isExecutable())
        return std::nullopt;
    // A detached program's exit code is not ours to collect: a shell beside it writes it down.
    const QString statusFile = path + QStringLiteral(".exit");
    QFile::remove(statusFile);
    QStringList arguments = {QStringLiteral("-c"),
                             QStringLiteral("status=$1; shift; \"$@\"; echo $? >\"$status\""),
                             QStringLiteral("sh"), statusFile, path};
    arguments += QProcess::splitCommand(QString::fromStdString(params));
    qint64 pid = 0;
    if (!QProcess::startDetached(QStringLiteral("/bin/sh"), arguments, QString(), &pid))
        return std::nullopt;

    QEventLoop loop;
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!IsRunning(pid) || QCoreApplication::closingDown()) {
            loop.quit();
            return;
        }
        whileRunning();
    });
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
    poll.start();
    if (IsRunning(pid))
        loop.exec();
    QFile status(statusFile);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    bool number = false;
    const int code = status.readAll().trimmed().toInt(&number);
    status.close();
    status.remove();
    return number ? code : 0;
}

} // namespace qm
