#include "desk/UIAction.h"

#include "common/Paths.h"
#include "desk/DeskPosition.h"
#include "desk/UIContainer.h"
#include "corvane/Errors.h"
#include "corvane/Khan.h"
#include "corvane/TextCase.h"

#include <QPainter>

namespace qm {

namespace {

constexpr const char* kClickLocation = "TUIAction.DefClick(Sender: TObject)";
constexpr const char* kFileMissing = "文件(%s)不存在！";
constexpr std::int32_t kRunLuaFileRequest = 103;

} // namespace

TUIAction::TUIAction(TUIContainer& container)
    : Container(&container), OnClick([this](TUIAction& sender) { DefClick(sender); }) {}

TUIAction::~TUIAction() = default;

void TUIAction::Paint() {
    if (State == 0)
        PaintNormal();
    else if (State == 1)
        PaintHover();
}

void TUIAction::PaintNormal() {}

void TUIAction::PaintHover() {}

void TUIAction::RestoreBackground() {
    QImage& canvas = Container->CanvasBitmap();
    const QRect area = ToQRect(Bounds).intersected(canvas.rect());
    if (area.isEmpty())
        return;
    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(area.topLeft(), Container->BackgroundBitmap(), area);
}

void TUIAction::SetState(std::uint8_t state) {
    if (state == State)
        return;
    State = state;
    Redraw(true);
}

void TUIAction::Redraw(bool invalidate) {
    if (!ContainerHasSize())
        return;
    if (Visible && !Container->CanvasBitmap().isNull())
        Paint();
    if (invalidate)
        Container->update(ToQRect(Bounds));
}

void TUIAction::Refresh(bool invalidate) {
    if (!ContainerHasSize())
        return;
    CalcBounds();
    Redraw(invalidate);
}

void TUIAction::DefClick(TUIAction&) {
    const std::string plugin = Params.GetValue("plugin").AsString();
    if (!plugin.empty()) {
        if (Params.HasItem("req_id"))
            Params.SetInteger(std::string(corvane::kReqCmd), Params.GetValue("req_id").AsInteger());
        if (corvane::SameText(plugin, corvane::kHostAddress)) {
            // The bus's host address reports a host plugin that is not there yet.
            corvane::Khan().Invoke(std::string(corvane::kHostAddress), Params);
        } else if (!corvane::PluginFileExists(plugin)) {
            throw corvane::EUI(corvane::FormatText(kFileMissing, plugin), kClickLocation);
        } else {
            corvane::Khan().Invoke(plugin, Params);
        }
        return;
    }
    const std::string luaFile = Params.GetValue("luaf").AsString();
    if (luaFile.empty())
        return;
    if (!FileExists(luaFile))
        throw corvane::EUI(corvane::FormatText(kFileMissing, luaFile), kClickLocation);
    Params.SetInteger(std::string(corvane::kReqCmd), kRunLuaFileRequest);
    corvane::Khan().Invoke(std::string(corvane::kHostAddress), Params);
}

int TUIAction::X() const {
    return WrapPosition(Left, Container->width());
}

int TUIAction::Y() const {
    return WrapPosition(Top, Container->height());
}

bool TUIAction::ContainerHasSize() const {
    return Container->width() != 0 && Container->height() != 0;
}

} // namespace qm
