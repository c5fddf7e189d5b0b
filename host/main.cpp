// The desk program: one instance per user and instance name, one desk window.
#include "common/BrowserEngine.h"
#include "common/Configs.h"
#include "common/MsgDialog.h"
#include "common/Paths.h"
#include "corvane/Errors.h"
#include "corvane/Khan.h"
#include "corvane/TransferStop.h"
#include "host/DeskApplication.h"
#include "host/ErrorHandler.h"
#include "host/FrmDesk.h"
#include "host/HostLog.h"
#include "host/InstanceLock.h"
#include "host/StartRecovery.h"
#include "host/StartupPreload.h"
#include "host/TaxLua.h"
#include "pictures/PictureCache.h"

#include <QGuiApplication>
#include <QIcon>
#include <string>

namespace {

// The program's icon from the desktop's icon theme (the package installs it there), else the one
// the installation carries.
QIcon AppIcon() {
    QIcon shipped;
    for (const char* size : {"48", "128"})
        shipped.addFile(QString::fromStdString(qm::PicturesPath() + "quillmere-" + size + ".png"));
    return QIcon::fromTheme(QStringLiteral("quillmere"), shipped);
}

std::string InstanceName() {
    std::string title;
    try {
        title = qm::SysConfig().ReadString(qm::ConfigKey::AppTitle);
    } catch (const std::exception& error) {
        // A damaged configuration is reported, and the desk starts on its defaults.
        qm::HandleDeskException(error);
    }
    return title.empty() ? "QuillmereExe" : title;
}

} // namespace

int main(int argc, char** argv) {
    // Before anything of the installation is read or loaded.
    const std::string recoveryFailure = qm::RecoverBeforeStart(argv);
    // The invoice plug-in brings the browser engine in later, but the engine's settings must be in
    // place before the application object exists.
    qm::PrepareBrowserEngine();
    // The cache folder is set before the worker that starts decoding looks into it.
    qm::SetPictureCacheFolder(qm::DefaultPictureCacheFolder());
    qm::SetShippedPictureFolder(qm::ShippedPictureFolderOf(qm::PngPackFile()));
    qm::StartStartupPreload();
    qm::TDeskApplication application(argc, argv);
    qm::FinishBrowserEnginePreparation();
    if (!recoveryFailure.empty()) {
        qm::LogWarning(qm::lcHost, "未完成的更新无法恢复: " + recoveryFailure);
        qm::ShowInfo("上次未完成的更新无法撤销，程序文件可能不完整，请重新安装。\n" + recoveryFailure);
    }
    // The desktop entry's id: the Wayland app id, by which docks match the window to its entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("quillmere"));
    QApplication::setWindowIcon(AppIcon());
    qm::TInstanceLock instance(InstanceName());
    if (!instance.Acquired()) {
        // The running desk comes to the front, and the user learns why no second one starts.
        instance.KnockOnHolder();
        qm::ShowInfo("程序已经运行!");
        return 0;
    }
    int result = 0;
    {
        qm::TFrmDesk desk;
        instance.WatchKnocks([&desk] { desk.BringToFront(); });
        desk.show();
        result = application.exec();
        // Whatever is still talking to a service gives up now, so that no worker thread holds
        // the plug-ins' unloading for a slow or silent service.
        corvane::ProcessStop().Stop();
        // Plug-ins free their windows while the pages that show them still exist.
        corvane::Khan_Free();
    }
    qm::FreeTaxLua();
    return result;
}
