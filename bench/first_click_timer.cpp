// Preloaded into the desk by bench_first_click (LD_PRELOAD). When the desk has been up for
// QM_BENCH_CLICK_DELAY_MS (4000 unless given), it moves the mouse to QM_BENCH_CLICK ("x,y" in the
// desk window's coordinates), then clicks there through the platform's input path, and writes one
// line to standard error:
//     first click: <ms> ms shown <class>        from the press until the event loop is back after the
//                                               first paint of a widget the click showed (a page, a
//                                               dialog): shown and painted
//     first click: <ms> ms nothing shown        from the press until the click was handled, when
//                                               nothing was shown within three seconds
// A dialog the click opened is closed afterwards.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtTest/QTest>
#include <cstdio>
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

// Watches every event from the press on: widgets shown since, and the first paint of one of them.
class TClickTimer : public QObject {
public:
    explicit TClickTimer(QPoint at) : QObject(QCoreApplication::instance()), at_(at) {}

    void Click() {
        QWidget* desk = DeskWindow();
        if (desk == nullptr || desk->windowHandle() == nullptr) {
            std::fputs("first click: no desk window\n", stderr);
            return;
        }
        QTest::mouseMove(desk->windowHandle(), at_);
        QTimer::singleShot(150, this, [this, desk] {
            qApp->installEventFilter(this);
            clock_.start();
            QTimer::singleShot(3000, this, [this] { Report(handledMs_, QStringLiteral("nothing shown")); });
            // Delivered at once: a modal dialog's own loop runs inside this call.
            QTest::mouseClick(desk->windowHandle(), Qt::LeftButton, Qt::NoModifier, at_);
            if (handledMs_ < 0)
                handledMs_ = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || reported_)
            return false;
        if (event->type() == QEvent::Show && shown_ == nullptr)
            shown_ = widget;
        if (event->type() == QEvent::Paint && shown_ != nullptr && !paintSeen_ &&
            (widget == shown_ || shown_->isAncestorOf(widget))) {
            paintSeen_ = true;
            // Queued behind the paint and the flush it belongs to.
            QTimer::singleShot(0, this, [this] {
                Report(static_cast<double>(clock_.nsecsElapsed()) / 1e6,
                       QStringLiteral("shown ") +
                           (shown_ ? ClassName(*shown_->window()) : QStringLiteral("?")));
                if (auto* dialog = qobject_cast<QDialog*>(shown_ ? shown_->window() : nullptr))
                    dialog->reject();
            });
        }
        return false;
    }

private:
    static QWidget* DeskWindow() {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && window->windowFlags().testFlag(Qt::FramelessWindowHint))
                return window;
        return nullptr;
    }

    void Report(double ms, const QString& what) {
        if (reported_)
            return;
        reported_ = true;
        std::fprintf(stderr, "first click: %.2f ms %s\n", ms, what.toUtf8().constData());
        std::fflush(stderr);
    }

    QPoint at_;
    QElapsedTimer clock_;
    QPointer<QWidget> shown_;
    bool paintSeen_ = false;
    bool reported_ = false;
    double handledMs_ = -1;
};

void StartClickTimer() {
    const QStringList at = qEnvironmentVariable("QM_BENCH_CLICK").split(QLatin1Char(','));
    if (at.size() != 2)
        return;
    bool delayGiven = false;
    const int delay = qEnvironmentVariableIntValue("QM_BENCH_CLICK_DELAY_MS", &delayGiven);
    auto* timer = new TClickTimer(QPoint(at[0].toInt(), at[1].toInt())); // owned by the application
    QTimer::singleShot(delayGiven ? delay : 4000, timer, [timer] { timer->Click(); });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(StartClickTimer)
