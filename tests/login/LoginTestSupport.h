#pragma once

#include "common/Paths.h"
#include "tests/common/TestFiles.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

namespace login_test {

using qm::test::ReadBytes;
using qm::test::WriteBytes;

inline std::string BrandingPath() {
    return qm::ConfigPath() + "brennik.xml";
}
inline std::string UsersPath() {
    return qm::PluginsPath() + "Login/Porlock.xml";
}

// Writes brennik.xml with the given children of its root.
inline void WriteBranding(const std::string& children) {
    WriteBytes(BrandingPath(),
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<brennik>" + children + "</brennik>\n");
}

// Hands the next modal window (a dialog the code under test opens) to act, once it is up; act
// must close it. A modal window that is `ignored` (the dialog that opens the awaited one) is passed
// over. Watches only while it lives.
class TModalWatcher {
public:
    explicit TModalWatcher(std::function<void(QWidget*)> act, QWidget* ignored = nullptr)
        : act_(std::move(act)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this, ignored] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible() || modal == ignored)
                return;
            timer_.stop();
            act_(modal);
        });
        timer_.start();
    }
    TModalWatcher(const TModalWatcher&) = delete;
    TModalWatcher& operator=(const TModalWatcher&) = delete;

private:
    std::function<void(QWidget*)> act_;
    QTimer timer_;
};

} // namespace login_test
