#pragma once

#include <QApplication>

namespace qm {

// The application object of the desk. Errors that escape an event handler (a script, an icon
// click, a timer) end here instead of unwinding through the event loop: they are logged and shown,
// and the desk goes on.
class TDeskApplication : public QApplication {
public:
    TDeskApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace qm
