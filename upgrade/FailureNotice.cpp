#include "upgrade/FailureNotice.h"

#include "common/MsgDialog.h"
#include "upgrade/UpgradeLog.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <utility>
#include <vector>

namespace qm {

namespace {

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string FailureText(const std::string& what, const std::string& why, const std::string& file) {
    std::string text = what + "失败：" + why;
    if (!file.empty())
        text += "（" + FileNameOf(file) + "）";
    return text;
}

namespace {

std::vector<QPointer<QWidget>>& OpenNotices() {
    static std::vector<QPointer<QWidget>> notices;
    return notices;
}

} // namespace

void NoticeFailure(const std::string& message, const std::string& detail) {
    LogWarning(lcUpgrade, "升级插件：" + (detail.empty() ? message : message + "：" + detail));
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return;
    try {
        // Shown without a loop of its own, so that the task ends and its requester hears of it
        // while the message is up; it outlives the window that failed, which may go at once.
        std::unique_ptr<TMsgForm> dialog =
            CreateMsgDialog(message, TMsgKind::Information, {TMsgButton::OK}, TMsgButton::OK);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setAttribute(Qt::WA_QuitOnClose, false);
        dialog->show();
        auto& notices = OpenNotices();
        std::erase_if(notices, [](const QPointer<QWidget>& notice) { return notice.isNull(); });
        notices.emplace_back(dialog.release()); // freed when closed, or by CloseFailureNotices
    } catch (const std::exception& error) {
        qCWarning(lcUpgrade, "the message cannot be shown: %s", error.what());
    }
}

void CloseFailureNotices() {
    for (const QPointer<QWidget>& notice : std::exchange(OpenNotices(), {}))
        delete notice.data();
}

} // namespace qm
