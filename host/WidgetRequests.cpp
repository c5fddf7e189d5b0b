#include "host/WidgetRequests.h"

#include "corvane/Errors.h"
#include "corvane/HandleTable.h"
#include "desk/ColorText.h"
#include "desk/DockAnchors.h"
#include "desk/UIContainer.h"
#include "desk/UIText.h"
#include "desk/UIcon.h"
#include "desk/UIconText.h"

#include <QKeySequence>
#include <QShortcut>

namespace qm {

namespace {

constexpr const char* kDockLocation = "TUIContainer.DockControl(Doc: TBSONDocument)";

// The text keys shared by text and icon-text widgets; optional keys keep the defaults.
void ReadTextKeys(const corvane::TBSONDocument& doc, TObjText& text) {
    text.Text = doc.GetValue("text").AsString();
    if (doc.HasItem("fontname"))
        text.FontName = doc.GetValue("fontname").AsString();
    if (doc.HasItem("fontsize"))
        text.FontSize = doc.GetValue("fontsize").AsInteger();
    text.FontStyle = doc.GetValue("fontstyle").AsInteger();
    if (doc.HasItem("fontcolor_nor"))
        text.ColorNormal = StringToColor(doc.GetValue("fontcolor_nor").AsString());
    text.ColorHover = doc.HasItem("fontcolor_mov") ? StringToColor(doc.GetValue("fontcolor_mov").AsString())
                                                   : text.ColorNormal;
}

template <class TWidget> TWidget& Placed(TUIContainer& site, const corvane::TBSONDocument& doc) {
    TWidget& widget = site.CreateWidget<TWidget>();
    widget.Left = doc.GetValue("left").AsInteger();
    widget.Top = doc.GetValue("top").AsInteger();
    return widget;
}

void ReadIconKeys(const corvane::TBSONDocument& doc, TObjIcon& icon) {
    icon.NorPngFile = doc.GetValue("png_nor").AsString();
    icon.MovPngFile = doc.GetValue("png_mov").AsString();
}

// A widget given a "hotkey" (such as "F1") is clicked by that key anywhere in its window while its
// container is shown, as a mouse press on it would.
void BindHotkey(TUIAction& widget, const corvane::TBSONDocument& doc) {
    if (!doc.HasItem("hotkey"))
        return;
    const QKeySequence key(QString::fromStdString(doc.GetValue("hotkey").AsString()));
    if (key.isEmpty())
        return;
    TUIContainer* site = widget.Container;
    auto* shortcut = new QShortcut(key, site); // owned by the container, as the widget is
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, site, [site, clicked = &widget] {
        if (site->Holds(clicked))
            site->ClickWidget(*clicked);
    });
}

template <class TWidget> TWidget& Finished(TWidget& widget, const corvane::TBSONDocument& doc, bool paint) {
    widget.Params.Assign(doc);
    BindHotkey(widget, doc);
    if (paint)
        widget.Refresh(true);
    return widget;
}

} // namespace

TUIcon& AddIcon(TUIContainer& site, const corvane::TBSONDocument& req, bool paint) {
    TUIcon& widget = Placed<TUIcon>(site, req);
    ReadIconKeys(req, widget.Icon);
    return Finished(widget, req, paint);
}

TUIText& AddText(TUIContainer& site, const corvane::TBSONDocument& req, bool paint) {
    TUIText& widget = Placed<TUIText>(site, req);
    ReadTextKeys(req, widget.Text);
    return Finished(widget, req, paint);
}

TUIconText& AddIconText(TUIContainer& site, const corvane::TBSONDocument& req, bool paint) {
    TUIconText& widget = Placed<TUIconText>(site, req);
    ReadIconKeys(req, widget.Icon);
    widget.Align = req.GetValue("align").AsInteger();
    ReadTextKeys(req, widget.Text);
    return Finished(widget, req, paint);
}

QWidget& DockControl(TUIContainer& site, const corvane::TBSONDocument& req) {
    // Every key is read and checked before anything moves, so a bad request leaves the desk as it was.
    corvane::THandleTable& handles = corvane::Handles();
    auto* control =
        static_cast<QWidget*>(handles.Resolve(req, "inst", corvane::kHandleControl, kDockLocation));
    const std::int32_t handle = req.GetValue("inst").AsInteger();
    // A page belongs to its page control, and a control cannot hold what holds it: either would tear
    // the page control apart or make the widget tree a loop.
    if (handles.Find(handle, corvane::kHandlePage) != nullptr)
        throw corvane::EPlugin(corvane::FormatText("参数<inst>的控件(%d)是页面，不能停靠到桌面", handle),
                               kDockLocation);
    if (control == &site || control->isAncestorOf(&site))
        throw corvane::EPlugin(
            corvane::FormatText("参数<inst>的控件(%d)包含目标容器，不能停靠到其中", handle), kDockLocation);
    const int top = req.GetValue("top").AsInteger();
    const int left = req.GetValue("left").AsInteger();
    const int width = req.GetValue("width").AsInteger();
    const int height = req.GetValue("height").AsInteger();
    const TAnchors anchors = TAnchors::FromText(req.GetValue("anchors").AsString());
    return site.DockControl(*control, left, top, width, height, anchors);
}

} // namespace qm
