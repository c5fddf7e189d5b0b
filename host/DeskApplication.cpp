#include "host/DeskApplication.h"

#include "host/ErrorHandler.h"

namespace qm {

TDeskApplication::TDeskApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TDeskApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        HandleDeskException(error);
    }
    return false;
}

} // namespace qm
