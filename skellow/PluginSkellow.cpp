#include "skellow/PluginSkellow.h"

#include "common/AccountService.h"
#include "common/Paths.h"
#include "common/TextTrim.h"
#include "common/XmlConfig.h"
#include "corvane/Errors.h"
#include "corvane/Khan.h"
#include "skellow/CatalogueRefresh.h"
#include "skellow/ChanThrd.h"
#include "skellow/LogSender.h"
#include "skellow/RegistrationNumber.h"
#include "skellow/SkellowLog.h"

#include <libxml/parser.h>

namespace qm::skellow {

namespace {

// Problems of the worker go to the installation's log; a log that cannot be written is no reason
// to stop counting.
void WriteLog(std::string_view text) {
    try {
        LogWarning(lcSkellow, std::string(text));
    } catch (...) {
    }
}

// Opens an account page through the login plug-in, when it is installed; its answer is not used.
void OpenThroughLogin(const char* urlNode, bool noLogin) {
    const std::string login = PluginsPath() + "Login/Porlock.dll";
    if (!corvane::PluginFileExists(login))
        return;
    corvane::IDataDocument request = corvane::TakeDataDocument(9, 0);
    request->SetBoolean("NoLogin", noLogin);
    request->SetString("UrlNode", urlNode);
    corvane::Khan().Invoke(login, request);
}

// "usage_statistics" in SysConfig.Xml: "0" turns usage statistics off; absent or anything else: on.
bool StatisticsSwitchedOn() {
    try {
        TXmlConfig config;
        config.Open(SysConfigFile());
        return TrimWhitespace(config.ReadString("usage_statistics")) != "0";
    } catch (const std::exception&) {
        return true;
    }
}

std::unique_ptr<TChanThrd> NewWorker() {
    // libxml2 sets up its global state once, before the worker's thread uses it.
    xmlInitParser();
    const std::string directory = AppPath() + "BKLOG/";
    const std::string sysConfig = SysConfigFile();
    TUsageRecorder recorder(
        directory, [sysConfig] { return CreateRegistrationNumber(sysConfig); }, WriteLog);
    TUsageShipper shipper(
        directory, [](corvane::TStopToken* stop) { return CreateSendLog(ReadLogServiceConfig(), stop); },
        WriteLog);
    return std::make_unique<TChanThrd>(std::move(recorder), std::move(shipper), WriteLog);
}

} // namespace

TPluginSkellow::TPluginSkellow() : statisticsOn_(StatisticsSwitchedOn()) {
    instance_ = this;
}

TPluginSkellow::~TPluginSkellow() {
    // Cuts a shipping call short and records what is still queued.
    workerReady_.store(nullptr);
    worker_.reset();
    if (instance_ == this)
        instance_ = nullptr;
}

void TPluginSkellow::REQ_1(const corvane::TBSONDocument&, corvane::TBSONDocument&) {
    OpenThroughLogin("forum_addr", false);
}

void TPluginSkellow::REQ_2(const corvane::TBSONDocument&, corvane::TBSONDocument&) {
    OpenThroughLogin("home_addr", true);
}

void TPluginSkellow::REQ_101(const corvane::TBSONDocument&, corvane::TBSONDocument&) {
    const std::string catalogue = IssueFile();
    if (!FileExists(catalogue))
        throw corvane::EPlugin(corvane::FormatText("文件(%s)不存在！", catalogue),
                               "TPluginSkellow.REQ_101(const req, res: TBSONDocument)");
    RefreshCatalogue(catalogue, *CreateBrennikApi());
}

void TPluginSkellow::REQ_301(const corvane::TBSONDocument& req, corvane::TBSONDocument&) {
    if (!statisticsOn_)
        return;
    TUsageEvent event = TUsageEvent::FromRequest(req);
    TChanThrd* worker = workerReady_.load(std::memory_order_acquire);
    if (worker == nullptr) {
        try {
            worker = StartWorker();
        } catch (const std::exception& error) {
            // Statistics are optional: a worker that cannot start costs this event only; the next
            // one tries again.
            WriteLog(std::string("功能统计：统计线程无法启动：") + error.what());
            return;
        }
    }
    worker->Queue(std::move(event));
}

TChanThrd* TPluginSkellow::StartWorker() {
    const std::lock_guard guard(workerLock_);
    if (!worker_) {
        worker_ = NewWorker();
        workerReady_.store(worker_.get(), std::memory_order_release);
    }
    return worker_.get();
}

std::span<const corvane::TPublishedMethod> TPluginSkellow::PublishedMethods() const noexcept {
    static const corvane::TPublishedMethod methods[] = {
        CORVANE_PUBLISH(TPluginSkellow, REQ_1),
        CORVANE_PUBLISH(TPluginSkellow, REQ_2),
        CORVANE_PUBLISH(TPluginSkellow, REQ_101),
        CORVANE_PUBLISH(TPluginSkellow, REQ_301),
    };
    return methods;
}

} // namespace qm::skellow

namespace {

// The library's plugin object. Its worker still saves and logs while it stops, through objects that
// are static in this library (the installation path, the log's clock); the library's finaliser
// below frees it before those are destroyed, which a static owner of its own would not ensure.
std::unique_ptr<qm::skellow::TPluginSkellow> pluginOwner;

__attribute__((destructor)) void FreePluginBeforeStatics() {
    pluginOwner.reset();
}

} // namespace

// The one export: creates the plugin object on the first call and whenever the previous one is
// gone; the library owns it and frees it (stopping its worker) when it is unloaded.
extern "C" __attribute__((visibility("default"))) void CreatePlugin(::corvane::TPlugin** plugin) {
    if (qm::skellow::TPluginSkellow::Instance() == nullptr)
        pluginOwner = std::make_unique<qm::skellow::TPluginSkellow>();
    *plugin = qm::skellow::TPluginSkellow::Instance();
}
