#include "host/WidgetClick.h"

#include "common/Paths.h"
#include "corvane/Errors.h"
#include "corvane/Khan.h"
#include "corvane/Requests.h"
#include "corvane/TextCase.h"
#include "desk/UIAction.h"

namespace qm {

namespace {

constexpr const char* kClickLocation = "TUIAction.DefClick(Sender: TObject)";
constexpr const char* kFileMissing = "文件(%s)不存在！";

} // namespace

void DefClick(TUIAction& sender) {
    corvane::TBSONDocument& params = sender.Params;
    const std::string reqCmd(corvane::kReqCmd);
    const std::string plugin = params.GetValue(corvane::kKeyPlugin).AsString();
    if (!plugin.empty()) {
        if (params.HasItem(corvane::kKeyRequestId))
            params.SetInteger(reqCmd, params.GetValue(corvane::kKeyRequestId).AsInteger());
        if (corvane::SameText(plugin, corvane::kHostAddress)) {
            // The bus's host address reports a host plugin that is not there yet.
            corvane::Khan().Invoke(std::string(corvane::kHostAddress), params);
        } else if (!corvane::PluginFileExists(plugin)) {
            throw corvane::EUI(corvane::FormatText(kFileMissing, plugin), kClickLocation);
        } else {
            corvane::Khan().Invoke(plugin, params);
        }
        return;
    }
    const std::string luaFile = params.GetValue(corvane::kKeyLuaFile).AsString();
    if (luaFile.empty())
        return;
    if (!FileExists(luaFile))
        throw corvane::EUI(corvane::FormatText(kFileMissing, luaFile), kClickLocation);
    params.SetInteger(reqCmd, corvane::kReqRunLuaFile);
    corvane::Khan().Invoke(std::string(corvane::kHostAddress), params);
}

} // namespace qm
