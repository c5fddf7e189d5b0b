#pragma once

#include "common/CallBack.h"
#include "common/Internet.h"
#include "common/MsgDialog.h"
#include "corvane/Plugin.h"
#include "tests/common/TestFiles.h"
#include "tests/support/ReferenceServer.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace upgrade_test {

// A requester of long-running work: a plugin object whose published CallBack records every
// "Result" it hears.
class TRequester : public corvane::TClientPlugin {
public:
    void CallBack(const corvane::TBSONDocument& req, corvane::TBSONDocument&) {
        results.push_back(req.GetValue("Result").AsInteger());
    }
    std::vector<int> results;

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override {
        static const corvane::TPublishedMethod methods[] = {CORVANE_PUBLISH(TRequester, CallBack)};
        return methods;
    }
};

// Runs the event loop until done() holds or the time is up; answers done().
inline bool WaitUntil(const std::function<bool()>& done, int milliseconds = 15000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds)
        QTest::qWait(10);
    return done();
}

// Makes IsOnline answer as told for the life of the guard.
class TOnline {
public:
    explicit TOnline(bool online) { qm::SetOnlineOverrideForTesting(online); }
    ~TOnline() { qm::SetOnlineOverrideForTesting(std::nullopt); }
    TOnline(const TOnline&) = delete;
    TOnline& operator=(const TOnline&) = delete;
};

// Records the text of every message dialog that comes up while it lives, and closes it. The dialog
// may come from a plug-in's own copy of the support library, so it is known by its parts, not by
// its class.
class TMessageRecorder {
public:
    TMessageRecorder() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            // Modal ones, and the failure notices that are shown without a loop of their own.
            std::vector<QDialog*> dialogs;
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialogs.push_back(modal);
            for (QWidget* window : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QDialog*>(window); dialog != nullptr && dialog->isVisible())
                    dialogs.push_back(dialog);
            for (QDialog* dialog : dialogs) {
                auto* message = dialog->findChild<QLabel*>(QStringLiteral("Message"));
                if (message == nullptr || !dialog->isVisible())
                    continue;
                texts.push_back(message->text().toStdString());
                dialog->done(1);
            }
        });
        timer_.start();
    }
    TMessageRecorder(const TMessageRecorder&) = delete;
    TMessageRecorder& operator=(const TMessageRecorder&) = delete;

    std::vector<std::string> texts;

private:
    QTimer timer_;
};

// A shell program (".run") that writes its first argument into the file named by it.
inline std::string MarkerInstaller() {
    return "#!/bin/sh\nprintf 'installed' > \"$1\"\n";
}

} // namespace upgrade_test
