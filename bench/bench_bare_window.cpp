// The yardstick of the start-up benchmark: a bare frameless window at the size the desk takes,
// which says "first paint" on its standard error when it is painted for the first time, then quits.
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

class TBareWindow : public QWidget {
public:
    TBareWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {}

protected:
    void paintEvent(QPaintEvent*) override {
        if (painted_)
            return;
        painted_ = true;
        std::fputs("first paint\n", stderr);
        std::fflush(stderr);
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }

private:
    bool painted_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    TBareWindow window;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.setGeometry(0, 0, screen->geometry().width(), screen->availableGeometry().height());
    window.show();
    return application.exec();
}
