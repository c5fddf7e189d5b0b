#include "host/UIPlugin.h"

#include "common/AppCatalog.h"
#include "common/Configs.h"
#include "common/Paths.h"
#include "common/Shell.h"
#include "common/Trace.h"
#include "corvane/Errors.h"
#include "corvane/HandleTable.h"
#include "corvane/Khan.h"
#include "corvane/Requests.h"
#include "corvane/TextCase.h"
#include "desk/UIDesign.h"
#include "desk/tabs/TaxPageControl.h"
#include "desk/tabs/TaxTabSheet.h"
#include "host/TaxLua.h"
#include "host/WidgetRequests.h"

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
        CORVANE_PUBLISH(TUIPlugin, REQ_105), CORVANE_PUBLISH(TUIPlugin, REQ_201),
        CORVANE_PUBLISH(TUIPlugin, REQ_202), CORVANE_PUBLISH(TUIPlugin, REQ_203),
        CORVANE_PUBLISH(TUIPlugin, REQ_204), CORVANE_PUBLISH(TUIPlugin, REQ_205),
        CORVANE_PUBLISH(TUIPlugin, REQ_206), CORVANE_PUBLISH(TUIPlugin, REQ_207),
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
    AddIcon(Site(req, "TUIPlugin.REQ_4(const req, res: TBSONDocument)"), req, true);
}

void TUIPlugin::REQ_5(const TBSONDocument& req, TBSONDocument&) {
    AddText(Site(req, "TUIPlugin.REQ_5(const req, res: TBSONDocument)"), req, true);
}

void TUIPlugin::REQ_6(const TBSONDocument& req, TBSONDocument&) {
    AddIconText(Site(req, "TUIPlugin.REQ_6(const req, res: TBSONDocument)"), req, true);
}

void TUIPlugin::REQ_7(const TBSONDocument& req, TBSONDocument&) {
    DockControl(Desk("TUIPlugin.REQ_7(const req, res: TBSONDocument)").DeskContainer(), req);
}

void TUIPlugin::REQ_8(const TBSONDocument& req, TBSONDocument&) {
    DockControl(Desk("TUIPlugin.REQ_8(const req, res: TBSONDocument)").BenchContainer(), req);
}

void TUIPlugin::REQ_101(const TBSONDocument&, TBSONDocument& res) {
    QImage& bitmap =
        Desk("TUIPlugin.REQ_101(const req, res: TBSONDocument)").DeskContainer().BackgroundBitmap();
    res.SetInteger("desk_bg", corvane::Handles().Register(&bitmap, corvane::kHandleBitmap));
}

void TUIPlugin::REQ_102(const TBSONDocument&, TBSONDocument& res) {
    QImage& bitmap =
        Desk("TUIPlugin.REQ_102(const req, res: TBSONDocument)").BenchContainer().BackgroundBitmap();
    res.SetInteger("bench_bg", corvane::Handles().Register(&bitmap, corvane::kHandleBitmap));
}

TTaxPageControl& TUIPlugin::Pages(const char* location) const {
    return Desk(location).PageControl();
}

TTaxTabSheet& TUIPlugin::ResolvePage(const TBSONDocument& req, const char* location) const {
    TTaxPageControl& pages = Pages(location);
    auto* page = static_cast<TTaxTabSheet*>(
        static_cast<QWidget*>(corvane::Handles().Resolve(req, "page_inst", corvane::kHandlePage, location)));
    if (!pages.HasPage(page))
        throw corvane::EPlugin(
            corvane::FormatText("参数<page_inst>的页面(%d)已经关闭", req.GetValue("page_inst").AsInteger()),
            location);
    return *page;
}

namespace {

// A control cannot go into a widget that is itself or lies inside it: the widget tree would become
// a loop (a page docked into itself, say).
void CheckDockable(const QWidget& control, const QWidget& target, const char* location) {
    if (!TTaxPageControl::CanHold(target, control))
        throw corvane::EPlugin(
            corvane::FormatText("参数<wctrl_inst>的控件(%d)包含目标页面，不能停靠到其中",
                                corvane::Handles().HandleOf(static_cast<const QWidget*>(&control))),
            location);
}

void DockIntoPage(TTaxTabSheet& page, QWidget& control, std::int32_t handle) {
    const bool asForm = corvane::Handles().Find(handle, corvane::kHandleForm) != nullptr;
    page.PageControl()->DockControl(page, control, handle, asForm);
}

QWidget& ResolveControl(const TBSONDocument& req, const char* location) {
    return *static_cast<QWidget*>(
        corvane::Handles().Resolve(req, "wctrl_inst", corvane::kHandleControl, location));
}

} // namespace

void TUIPlugin::REQ_105(const TBSONDocument& req, TBSONDocument&) {
    Pages("TUIPlugin.REQ_105(const req, res: TBSONDocument)")
        .SetToolbarVisible(req.GetValue("notoolbar").AsInteger() == 0);
}

void TUIPlugin::REQ_201(const TBSONDocument& req, TBSONDocument& res) {
    TTaxPageControl& pages = Pages("TUIPlugin.REQ_201(const req, res: TBSONDocument)");
    const std::string caption = req.GetValue("caption").AsString();
    auto* page = new TTaxTabSheet(&pages); // owned by, and appended to, the page control
    page->SetCaption(caption);
    res.SetInteger("inst", page->Handle());
}

void TUIPlugin::REQ_202(const TBSONDocument& req, TBSONDocument&) {
    constexpr const char* location = "TUIPlugin.REQ_202(const req, res: TBSONDocument)";
    TTaxTabSheet& page = ResolvePage(req, location);
    QWidget& control = ResolveControl(req, location);
    CheckDockable(control, page, location);
    DockIntoPage(page, control, req.GetValue("wctrl_inst").AsInteger());
}

void TUIPlugin::REQ_203(const TBSONDocument& req, TBSONDocument& res) {
    const TTaxPageControl& pages = Pages("TUIPlugin.REQ_203(const req, res: TBSONDocument)");
    const TTaxTabSheet* page = pages.PageByTag(req.GetValue("wctrl_inst").AsInteger());
    res.SetInteger("page_inst", page != nullptr ? page->Handle() : 0);
}

void TUIPlugin::REQ_204(const TBSONDocument& req, TBSONDocument&) {
    constexpr const char* location = "TUIPlugin.REQ_204(const req, res: TBSONDocument)";
    Pages(location).FocusPage(ResolvePage(req, location));
}

void TUIPlugin::REQ_205(const TBSONDocument& req, TBSONDocument& res) {
    TTaxPageControl& pages = Pages("TUIPlugin.REQ_205(const req, res: TBSONDocument)");
    const std::string caption = req.GetValue("caption").AsString();
    TTaxTabSheet& page = pages.NewPage(true);
    page.SetCaption(caption);
    res.SetInteger("inst", page.Handle());
}

void TUIPlugin::REQ_206(const TBSONDocument& req, TBSONDocument& res) {
    constexpr const char* location = "TUIPlugin.REQ_206(const req, res: TBSONDocument)";
    TTaxPageControl& pages = Pages(location);
    const std::int32_t handle = req.GetValue("wctrl_inst").AsInteger();
    if (TTaxTabSheet* page = pages.PageByTag(handle)) {
        pages.FocusPage(*page);
        res.SetInteger("page_inst", page->Handle());
        return;
    }
    // Everything is read and checked first, so that a bad request leaves no empty page behind.
    QWidget& control = ResolveControl(req, location);
    CheckDockable(control, pages, location); // the new page will lie inside the page control
    const bool afterActive = req.GetValue("mode").AsInteger() == 1;
    const std::string caption = req.GetValue("caption").AsString();
    const bool tabVisible = req.GetValue("notab").AsInteger() != 1;
    const bool closeVisible = req.GetValue("nobtnclose").AsInteger() != 1;

    TTaxTabSheet& page = pages.NewPage(afterActive);
    page.SetCaption(caption);
    page.SetTabVisible(tabVisible);
    page.SetBtnCloseVisible(closeVisible);
    pages.FocusPage(page);
    DockIntoPage(page, control, handle);
    // The page was focused while still empty; the keyboard belongs to what is in it now.
    pages.FocusPage(page);
    res.SetInteger("page_inst", page.Handle());
}

void TUIPlugin::REQ_207(const TBSONDocument& req, TBSONDocument&) {
    const TTaxPageControl& pages = Pages("TUIPlugin.REQ_207(const req, res: TBSONDocument)");
    const bool visible = req.GetValue("visible").AsInteger() == 1;
    const bool byCaption = req.HasItem("caption");
    if (!byCaption && !req.HasItem("name"))
        return;
    const std::string wanted = req.GetValue(byCaption ? "caption" : "name").AsString();
    for (TTaxTabSheet* page : pages.Pages()) {
        const std::string have = byCaption ? page->Caption() : page->objectName().toStdString();
        if (corvane::SameText(have, wanted)) {
            page->SetTabVisible(visible);
            return;
        }
    }
}

void TUIPlugin::REQ_9(const TBSONDocument& req, TBSONDocument&) {
    corvane::Khan().UnloadPlugin(req.GetValue(corvane::kKeyPlugin).AsString());
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
    const auto record = FindAppRecord(IssueFile(), req.GetValue("id").AsString(), kAppRecordFields,
                                      "TUIPlugin.REQ_12(const req, res: TBSONDocument)");
    if (!record)
        return;
    for (const char* field : kAppRecordFields)
        res.SetString(field, record->at(field));
}

void TUIPlugin::REQ_103(const TBSONDocument& req, TBSONDocument&) {
    const std::string luaFile = req.GetValue(corvane::kKeyLuaFile).AsString();
    // The file checked is the file run, whatever separators the sender wrote.
    const std::string file = ToNativePath(luaFile);
    if (!FileExists(file))
        throw corvane::EPlugin(corvane::FormatText("文件(%s)不存在！", luaFile),
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
