#include "upgrade/PluginUpgrade.h"

#include "common/CallBack.h"
#include "common/IniFile.h"
#include "common/Internet.h"
#include "common/MsgDialog.h"
#include "common/Paths.h"
#include "corvane/HandleTable.h"
#include "upgrade/Download_EXE.h"
#include "upgrade/ExtractArchive.h"
#include "upgrade/FailureNotice.h"
#include "upgrade/FrmDownload.h"
#include "upgrade/FrmUpgrade.h"
#include "upgrade/UpgradeCheck.h"

namespace qm {

namespace {

std::string OptionalText(const corvane::TBSONDocument& req, std::string_view name) {
    const corvane::TBSONItem* item = req.Find(name);
    return item ? item->AsString() : std::string();
}

} // namespace

TUpgrade::TUpgrade() {
    instance_ = this;
    // A desk killed during an update left it half placed or its staging behind.
    RecoverInterruptedExtraction();
    ShowTimer_.setInterval(10);
    QObject::connect(&ShowTimer_, &QTimer::timeout, [this] { ShowUpgradeDialog(); });
}

TUpgrade::~TUpgrade() {
    ShowTimer_.stop();
    AppJobs_.clear();
    UpgradeForm_.reset();
    // No extraction thread, and no window, may outlive this library's code.
    WaitForExtractions();
    CloseFailureNotices();
    if (instance_ == this)
        instance_ = nullptr;
}

void TUpgrade::REQ_1(const corvane::TBSONDocument& req, corvane::TBSONDocument&) {
    if (!IsOnline())
        return;
    if (!UpgradeForm_) {
        UpgradeForm_ = std::make_unique<TFrmUpgrade>();
        UpgradeForm_->OnShowWanted = [this] { ShowTimer_.start(); };
    }
    const std::string path = ExpandPath(AppPath(), req.GetValue("upfile").AsString());
    const std::string stateFile = req.GetValue("StateFile").AsString();
    if (FileExists(path)) {
        UpgradeForm_->Request = req;
        UpgradeForm_->QueueCheck(TDownload_Upfile{path, stateFile});
        return;
    }
    ShowInfo(ExtractFilePath(path) + "目录下的升级文件不存在！");
    IniWriteString(stateFile, "Down", "States", "98");
}

void TUpgrade::ShowUpgradeDialog() {
    ShowTimer_.stop();
    if (UpgradeForm_)
        UpgradeForm_->ShowNotes();
}

void TUpgrade::REQ_2(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
    if (!IsOnline())
        return;
    auto job = std::make_unique<TDownload_EXE>();
    job->Request = req;
    job->Task.URL = req.GetValue("IntelFile").AsString();
    job->Task.Params = OptionalText(req, "params");
    job->Task.Sha256 = OptionalText(req, "sha256");
    job->Task.LocalFile = ToNativePath(req.GetValue("LocalFile").AsString());
    TFrmDownload& window = job->NewWindow();
    window.ImageFile = ToNativePath(OptionalText(req, "imagefile"));
    TDownload_EXE& started = *job;
    AppJobs_.emplace_back(OptionalText(req, "appid"), std::move(job));
    res.SetInteger("inst", corvane::Handles().HandleOf(static_cast<QWidget*>(&window)));
    started.Start();
}

void TUpgrade::REQ_99(const corvane::TBSONDocument&, corvane::TBSONDocument&) {
    AppJobs_.clear();
}

void TUpgrade::CallBack(const corvane::TBSONDocument& req, corvane::TBSONDocument&) {
    LastResult_ = req.GetValue(kKeyResult).AsInteger();
}

std::span<const corvane::TPublishedMethod> TUpgrade::PublishedMethods() const noexcept {
    static const corvane::TPublishedMethod methods[] = {
        CORVANE_PUBLISH(TUpgrade, REQ_1),    CORVANE_PUBLISH(TUpgrade, REQ_2),
        CORVANE_PUBLISH(TUpgrade, REQ_3),    CORVANE_PUBLISH(TUpgrade, REQ_99),
        CORVANE_PUBLISH(TUpgrade, CallBack),
    };
    return methods;
}

} // namespace qm
