// Preloaded into the host program by the start-up tests (LD_PRELOAD). Under the offscreen platform
// nobody can read or click a message dialog, so this library plays the user: every 20 ms it looks
// for a modal dialog, writes one line about it to the file named by QM_TEST_DIALOG_LOG, then clicks
// the dialog's default button. The line is
//     <caption> TAB <message> TAB <the other visible top-level windows as class:caption, comma separated>
// so a test can tell what was shown and whether a desk window existed beside it.
// It also answers a test's round trip: on the same timer, on the application's main thread, it removes
// the file "<QM_TEST_DIALOG_LOG>.pulse" when the test has created it.
#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace {

QString ClassName(const QWidget& widget) {
    const char* mangled = typeid(widget).name();
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> readable(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
    return QString::fromUtf8(status == 0 && readable ? readable.get() : mangled);
}

QString OneLine(QString text) {
    return text.replace(QLatin1Char('\r'), QLatin1String("\\r"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

void Record(const QString& logFile, const QDialog& dialog) {
    const auto* message = dialog.findChild<QLabel*>(QStringLiteral("Message"));
    QStringList windows;
    for (const QWidget* window : QApplication::topLevelWidgets())
        if (window != &dialog && window->isVisible())
            windows << ClassName(*window) + QLatin1Char(':') + OneLine(window->windowTitle());
    QFile file(logFile);
    if (!file.open(QIODevice::Append))
        return;
    const QString line = OneLine(dialog.windowTitle()) + QLatin1Char('\t') +
                         OneLine(message != nullptr ? message->text() : QString()) + QLatin1Char('\t') +
                         windows.join(QLatin1Char(',')) + QLatin1Char('\n');
    file.write(line.toUtf8());
}

void Dismiss(QDialog& dialog) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->isDefault()) {
            button->click();
            return;
        }
    }
    dialog.accept();
}

void WatchDialogs() {
    const QString logFile = qEnvironmentVariable("QM_TEST_DIALOG_LOG");
    if (logFile.isEmpty())
        return;
    // Owned by the application object. It is started from the event queue, because the application
    // is still being constructed when this runs.
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [logFile] {
        QFile::remove(logFile + QStringLiteral(".pulse"));
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return;
        Record(logFile, *dialog);
        Dismiss(*dialog);
    });
    QMetaObject::invokeMethod(timer, qOverload<>(&QTimer::start), Qt::QueuedConnection);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(WatchDialogs)
