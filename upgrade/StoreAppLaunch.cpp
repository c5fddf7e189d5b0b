// Request 3: a store application installed when missing, updated when the store offers another
// version, then its entry script run by the host.
#include "common/CallBack.h"
#include "common/IniFile.h"
#include "common/Internet.h"
#include "common/MsgDialog.h"
#include "common/Paths.h"
#include "common/Routing.h"
#include "corvane/Errors.h"
#include "corvane/Khan.h"
#include "upgrade/Download_EXE.h"
#include "upgrade/FrmDownload.h"
#include "upgrade/FrmUpgrade.h"
#include "upgrade/InstallMyappFrm.h"
#include "upgrade/PluginUpgrade.h"
#include "upgrade/ResultCodes.h"
#include "upgrade/StoreApp.h"
#include "upgrade/UpgradeLog.h"
#include "upgrade/WaitForResult.h"

#include <QTimer>
#include <cstdio>

namespace qm {

namespace {

constexpr const char* kLocation = "TUIPlugin.REQ_3(const req, res: TBSONDocument)";
constexpr const char* kSharedNamespace = "Upgrade";

// A folder of the installation named as the install registry names it (relative, "\" allowed).
std::string AppFolder(const std::string& path) {
    return AddPathDelim(ToNativePath(AppPath() + path));
}

} // namespace

void TUpgrade::REQ_3(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
    const std::string id = std::to_string(req.GetValue("app_id").AsInteger());
    const std::optional<TStoreApp> app = FindStoreApp(id);
    if (!app)
        throw corvane::EPlugin(corvane::FormatText("应用(%s)不存在！", id), kLocation);

    std::string script = GetSharedValue(kSharedNamespace, id)->GetValue("value").AsString();
    if (script.empty()) {
        const std::string registry = ConfigPath() + "AppInstall.sys";
        const TIniDocument installs = TIniDocument::Load(registry);
        std::string path = installs.SectionExists(id) ? installs.ReadString(id, "path") : std::string();
        const bool installed = !path.empty() && FileExists(AppFolder(path) + "Upgrade.txt") &&
                               FileExists(AppFolder(path) + "main.lua");
        if (installed) {
            const std::string local =
                UpperAscii(IniReadString(AppFolder(path) + "Upgrade.txt", "upgrade", "ver"));
            if (local != app->ver) {
                LastResult_ = 0;
                if (IsOnline())
                    UpgradeApp(id, path, app->params);
                else
                    LastResult_ = kStateSkipped;
                res.SetBoolean("state", LastResult_ == kStateDone);
                qCDebug(lcUpgrade, "应用(%s)更新结果 %d", id.c_str(), LastResult_);
                if (LastResult_ == kStateFailed)
                    return;
            }
        } else {
            const std::string installer = DownloadPath() + id + ".run";
            const std::string caption = "正在下载安装\"" + app->name + "\"";
            std::string outcome;
            if (IsOnline())
                outcome = InstallDialog(installer, app->url, caption, app->params, app->sha256);
            else
                ShowInfo("网络已断开，下载安装失败！");
            res.SetBoolean("state", outcome == "3");
            qCDebug(lcUpgrade, "应用(%s)安装结果 %s", id.c_str(), outcome.empty() ? "-" : outcome.c_str());
            if (outcome != "3")
                return;
            path = IniReadString(registry, id, "path");
        }
        if (path.empty())
            return;
        script = AppFolder(path) + "main.lua";
        SetSharedValue(kSharedNamespace, id, script);
    }
    if (!FileExists(script))
        throw corvane::EPlugin(corvane::FormatText("文件(%s)不存在！", script), kLocation);
    qCDebug(lcUpgrade, "应用(%s)运行 %s", id.c_str(), script.c_str());
    ExecLuaFile(script);
}

int TUpgrade::UpgradeApp(const std::string& id, const std::string& path, const std::string& params) {
    corvane::TBSONDocument request;
    request.SetInteger("@ReqCMD", 1);
    request.SetString("upfile", AppFolder(path) + "Upgrade.txt");
    const std::string stateFile = DownloadPath() + id + ".ini";
    request.SetString("StateFile", stateFile);
    request.SetString("Param", params);
    SetCallBackTarget(request, *this);
    corvane::TBSONDocument unused;
    REQ_1(request, unused);
    // Done (3) is reported only once an unpacked update is wholly in place.
    const int result = WaitForResult(LastResult_, [this] { return ResultMayStillCome(); });
    std::remove(stateFile.c_str());
    LastResult_ = result;
    return result;
}

bool TUpgrade::ResultMayStillCome() const {
    if (ShowTimer_.isActive())
        return true;
    if (const TFrmUpgrade* form = UpgradeForm_.get()) {
        if (form->ChecksUnderWay() > 0 || form->isVisible() || form->tmrZip->isActive() ||
            (form->DownloadForm != nullptr && form->DownloadForm->Busy))
            return true;
    }
    for (const auto& [appid, job] : AppJobs_) {
        const TFrmDownload* window = job->Window();
        if (window != nullptr && window->Busy)
            return true;
    }
    return false;
}

} // namespace qm
