#include "common/Routing.h"

#include "common/Configs.h"
#include "common/Paths.h"
#include "common/Shell.h"
#include "corvane/Errors.h"
#include "corvane/Khan.h"
#include "corvane/Requests.h"

namespace qm {

namespace {

corvane::IDataDocument InvokeHost(const corvane::TBSONDocument& doc) {
    return corvane::Khan().Invoke(std::string(corvane::kHostAddress), doc);
}

// "major.minor.release.build" without its last part.
std::string ProductVersion() {
    // The running program itself: opening the link reaches it even after an update replaced the
    // file, where the name the link shows is gone.
    const std::string full = GetFileVersionText("/proc/self/exe");
    const auto lastDot = full.rfind('.');
    return lastDot == std::string::npos ? full : full.substr(0, lastDot);
}

} // namespace

void ExecLuaFile(const std::string& luaFile) {
    // The host runs exactly the file checked here, whatever separators the caller wrote.
    const std::string file = ToNativePath(luaFile);
    if (!FileExists(file))
        throw corvane::ETax(corvane::FormatText("文件(%s)不存在！", luaFile),
                            "procedure ExecLuaFile(LuaFile: String)");
    auto request = corvane::TakeDataDocument(corvane::kReqRunLuaFile, 0);
    request->SetString(std::string(corvane::kKeyLuaFile), file);
    InvokeHost(*request);
}

corvane::IDataDocument GetSharedValue(const std::string& nameSpace, const std::string& key) {
    auto request = corvane::TakeDataDocument(corvane::kReqSharedValue, 0);
    request->SetString("method", "get");
    request->SetString("namespace", nameSpace);
    request->SetString("key", key);
    return InvokeHost(*request);
}

void SetSharedValue(const std::string& nameSpace, const std::string& key, const std::string& value) {
    auto request = corvane::TakeDataDocument(corvane::kReqSharedValue, 0);
    request->SetString("method", "set");
    request->SetString("namespace", nameSpace);
    request->SetString("key", key);
    request->SetString("value", value);
    InvokeHost(*request);
}

std::string FunctionKeyText(std::int32_t appType, std::int32_t a, std::int32_t b) {
    return corvane::FormatText("S2S007S%.3dS%.3dS%.3d", appType, a, b);
}

void SendFunctionKey(std::int32_t a, std::int32_t b) {
    const std::string channels = AppPath() + "Skellow.dll";
    if (!corvane::PluginFileExists(channels))
        return;
    auto answer = GetSharedValue("Login", "UserName");
    const corvane::TBSONItem* user = answer->Find("value");
    auto event = corvane::TakeDataDocument(corvane::kReqUsageEvent, 0);
    event->SetString("FProductID", "1");
    event->SetString("FProductVer", ProductVersion());
    event->SetString("FBKUser", user ? user->AsString() : std::string());
    event->SetString("FFunctionKey", FunctionKeyText(SysConfig().ReadInteger("app_type"), a, b));
    corvane::Khan().Invoke(channels, *event);
}

} // namespace qm
