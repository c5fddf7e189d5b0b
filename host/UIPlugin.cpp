#include "host/UIPlugin.h"

#include "common/Configs.h"
#include "common/Paths.h"
#include "common/Shell.h"
#include "common/Trace.h"
#include "common/UIDesign.h"
#include "corvane/Errors.h"
#include "corvane/HandleTable.h"
#include "corvane/Khan.h"
#include "corvane/TextCase.h"
#include "host/AppCatalog.h"
#include "host/TaxLua.h"

namespace qm {

using corvane::TBSONDocument;

TUIPlugin::TUIPlugin(const IDeskObjects* desk) : desk_(desk) {}
TUIPlugin::~TUIPlugin() = default;

std::span<const corvane::TPublishedMethod> TUIPlugin::PublishedMethods() const noexcept {
    static const corvane::TPublishedMethod methods[] = {
        CORVANE_PUBLISH(TUIPlugin, REQ_1),   CORVANE_PUBLISH(TUIPlugin, REQ_2),
        CORVANE_PUBLISH(TUIPlugin, REQ_3),   CORVANE_PUBLISH(TUIPlugin, REQ_4),
        CORVANE_PUBLISH(TUIPlugin, REQ_5),   CORVANE_PUBLISH(TUIPlugin, REQ_6),
        CORVANE_PUBLISH(TUIPlugin, REQ_7),   CORVANE_PUBLISH(TUIPlugin, REQ_8),
        CORVANE_PUBLISH(TUIPlugin, REQ_9),   CORVANE_PUBLISH(TUIPlugin, REQ_10),
        CORVANE_PUBLISH(TUIPlugin, REQ_11),  CORVANE_PUBLISH(TUIPlugin, REQ_12),
        CORVANE_PUBLISH(TUIPlugin, REQ_101), CORVANE_PUBLISH(TUIPlugin, REQ_102),
        CORVANE_PUBLISH(TUIPlugin, REQ_103), CORVANE_PUBLISH(TUIPlugin, REQ_104),
    };
    return methods;
}

void TUIPlugin::REQ_1(const TBSONDocument& req, TBSONDocument&) {
    Trace(req.GetValue("tag").AsString(), req.GetValue("msg").AsString());
}

const IDeskObjects& TUIPlugin::Desk(const char* location) const {
    if (desk_ == nullptr)
        throw corvane::EPlugin("桌面尚未建立，不能处理桌面请求", location);
    return *desk_;
}

TUIContainer& TUIPlugin::Site(const TBSONDocument& req, const char* location) const {
    return corvane::SameText(req.GetValue("site").AsString(), "bench") ? Desk(location).BenchContainer()
                                                                        : Desk(location).DeskContainer();
}

void TUIPlugin::REQ_2(const TBSONDocument&, TBSONDocument& res) {
    const TUIContainer& desk = Desk("TUIPlugin.REQ_2(const req, res: TBSONDocument)").DeskContainer();
    res.SetInteger("content_height", desk.ContentHeight());
    res.SetInteger("content_width", desk.ContentWidth());
    res.SetInteger("title_height", desk.TitleHeight());
    res.SetInteger("status_height", desk.StatusHeight());
    res.SetInteger("workarea_height", desk.BackgroundHeight());
    res.SetInteger("workarea_width", desk.BackgroundWidth());
    res.SetInteger("border_pixel", desk.BorderWidth());
}

void TUIPlugin::REQ_3(const TBSONDocument&, TBSONDocument& res) {
    const TUIContainer& bench = Desk("TUIPlugin.REQ_3(const req, res: TBSONDocument)").BenchContainer();
    res.SetInteger("height", bench.height());
    res.SetInteger("width", bench.width());
}

void TUIPlugin::REQ_4(const TBSONDocument& req, TBSONDocument&) {
    Site(req, "TUIPlugin.REQ_4(const req, res: TBSONDocument)").AddIcon(req, true);
}

void TUIPlugin::REQ_5(const TBSONDocument& req, TBSONDocument&) {
    Site(req, "TUIPlugin.REQ_5(const req, res: TBSONDocument)").AddText(req, true);
}

void TUIPlugin::REQ_6(const TBSONDocument& req, TBSONDocument&) {
    Site(req, "TUIPlugin.REQ_6(const req, res: TBSONDocument)").AddIconText(req, true);
}

void TUIPlugin::REQ_7(const TBSONDocument& req, TBSONDocument&) {
    Desk("TUIPlugin.REQ_7(const req, res: TBSONDocument)").DeskContainer().DockControl(req);
}

void TUIPlugin::REQ_8(const TBSONDocument& req, TBSONDocument&) {
    Desk("TUIPlugin.REQ_8(const req, res: TBSONDocument)").BenchContainer().DockControl(req);
}

void TUIPlugin::REQ_101(const TBSONDocument&, TBSONDocument& res) {
    QImage& bitmap = Desk("TUIPlugin.REQ_101(const req, res: TBSONDocument)").DeskContainer().BackgroundBitmap();
    res.SetInteger("desk_bg", corvane::Handles().Register(&bitmap, corvane::kHandleBitmap));
}

void TUIPlugin::REQ_102(const TBSONDocument&, TBSONDocument& res) {
    QImage& bitmap = Desk("TUIPlugin.REQ_102(const req, res: TBSONDocument)").BenchContainer().BackgroundBitmap();
    res.SetInteger("bench_bg", corvane::Handles().Register(&bitmap, corvane::kHandleBitmap));
}

void TUIPlugin::REQ_9(const TBSONDocument& req, TBSONDocument&) {
    corvane::Khan().UnloadPlugin(req.GetValue("plugin").AsString());
}

void TUIPlugin::REQ_10(const TBSONDocument& req, TBSONDocument& res) {
    const std::string method = req.GetValue("method").AsString();
    const std::string nameSpace = req.GetValue("namespace").AsString();
    const std::string key = req.GetValue("key").AsString();
    if (method.empty() || nameSpace.empty() || key.empty())
        return;
    if (corvane::SameText(method, "get")) {
        res.SetString("key", key);
        res.SetString("value", sharedStore_.Get(nameSpace, key));
    } else if (corvane::SameText(method, "set")) {
        sharedStore_.Set(nameSpace, key, req.GetValue("value").AsString());
    } else {
        sharedStore_.Remove(nameSpace, key);
    }
}

void TUIPlugin::REQ_11(const TBSONDocument&, TBSONDocument& res) {
    res.SetInteger("type", SysConfig().ReadInteger("app_type"));
    res.SetString("title", SysConfig().ReadString("app_title"));
}

void TUIPlugin::REQ_12(const TBSONDocument& req, TBSONDocument& res) {
    if (!FileExists(IssueFile()))
        return;
    const auto record = FindAppRecord(IssueFile(), req.GetValue("id").AsString());
    if (!record)
        return;
    for (const char* field : kAppRecordFields)
        res.SetString(field, record->at(field));
}

void TUIPlugin::REQ_103(const TBSONDocument& req, TBSONDocument&) {
    const std::string file = req.GetValue("luaf").AsString();
    if (!FileExists(file))
        throw corvane::EPlugin(corvane::FormatText("文件(%s)不存在！", file),
                               "TUIPlugin.REQ_103(const req, res: TBSONDocument)");
    TaxLua().RunFile(file);
}

void TUIPlugin::REQ_104(const TBSONDocument& req, TBSONDocument&) {
    const std::string target = ExpandPath(AppPath(), req.GetValue("fname").AsString());
    std::string program = req.GetValue("param").AsString();
    if (corvane::SameText(program, "DefaultBrowser"))
        program = GetBrowserPath();
    ExecuteFile(target, nullptr, program);
}

} // namespace qm
