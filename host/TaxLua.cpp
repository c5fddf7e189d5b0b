#include "host/TaxLua.h"

#include "common/Paths.h"
#include "corvane/Errors.h"
#include "corvane/Khan.h"
#include "corvane/Plugin.h"
#include "corvane/Requests.h"

#include <memory>
#include <vector>

namespace qm {

using corvane::IDataDocument;
using corvane::TBSONDocument;
using corvane::TBSONItem;
using corvane::TBSONItemKind;

namespace {

constexpr const char* kClassName = "TTaxLua";
constexpr const char* kInvokeLocation = "TTaxLua.plugin_invoke(LuaState: TLuaState): Integer";
constexpr const char* kUnloadLocation = "TTaxLua.plugin_unload(LuaState: TLuaState): Integer";
constexpr const char* kHostLocation = "TTaxLua.InvokeHost(Doc: TBSONDocument): IDataDocument";

constexpr const char* kPictureKeys[] = {"png_nor", "png_mov"};

constexpr TLuaMethod kTaxLuaMethods[] = {
    QM_LUA_PUBLISH(TTaxLua, plugin_invoke),
    QM_LUA_PUBLISH(TTaxLua, plugin_unload),
    QM_LUA_PUBLISH(TTaxLua, log),
    QM_LUA_PUBLISH(TTaxLua, desk_prop),
    QM_LUA_PUBLISH(TTaxLua, app_prop),
    QM_LUA_PUBLISH(TTaxLua, uidesk_data),
    QM_LUA_PUBLISH(TTaxLua, uibench_data),
    QM_LUA_PUBLISH(TTaxLua, create_uicon),
    QM_LUA_PUBLISH(TTaxLua, create_uitext),
    QM_LUA_PUBLISH(TTaxLua, create_uicontext),
    QM_LUA_PUBLISH(TTaxLua, uidesk_dock_winctrl),
    QM_LUA_PUBLISH(TTaxLua, uibench_dock_winctrl),
    QM_LUA_PUBLISH(TTaxLua, newpage),
    QM_LUA_PUBLISH(TTaxLua, insertpage),
    QM_LUA_PUBLISH(TTaxLua, page_dock_winctrl),
    QM_LUA_PUBLISH(TTaxLua, page_by_winctrl),
    QM_LUA_PUBLISH(TTaxLua, page_focornew_by_winctrl),
    QM_LUA_PUBLISH(TTaxLua, focuspage),
    QM_LUA_PUBLISH(TTaxLua, page_visible),
    QM_LUA_PUBLISH(TTaxLua, runfile),
    QM_LUA_PUBLISH(TTaxLua, runluaf),
    QM_LUA_PUBLISH(TTaxLua, set_pagectrl_property),
};

std::string StackText(lua_State* L, int index) {
    std::size_t length = 0;
    const char* text = lua_tolstring(L, index, &length);
    return std::string(text, length);
}

IDataDocument InvokeHost(const TBSONDocument& doc) {
    corvane::TPlugin* host = corvane::Khan().HostPlugin();
    if (host == nullptr)
        throw corvane::EPlugin(
            corvane::FormatText("宿主插件\"uip\"尚未就绪，脚本请求%d无法发送", corvane::RequestNumberOf(doc)),
            kHostLocation);
    return host->Invoke(doc);
}

// Request n filled from the table argument; nullptr, with the stack cleared, when argument 1 is
// not a table. The stack is cleared either way.
IDataDocument RequestFromTable(lua_State* L, std::int32_t requestNumber) {
    if (!lua_istable(L, 1)) {
        lua_settop(L, 0);
        return nullptr;
    }
    IDataDocument doc = corvane::TakeDataDocument(requestNumber, 0);
    LuaTableToDocument(L, 1, *doc);
    // A table key "@ReqCMD" must not turn the request into another one.
    doc->SetInteger(std::string(corvane::kReqCmd), requestNumber);
    lua_settop(L, 0);
    return doc;
}

// A library the bus holds under that address counts as present: the bus serves a repeated request
// to it without the file system, and so does the path rule (a file look-up on every call was
// most of the time of a round trip).
bool PluginPresent(const std::string& address) {
    return corvane::Khan().HoldsAddress(address) || corvane::PluginFileExists(address);
}

int PushAnswer(lua_State* L, const IDataDocument& answer) {
    lua_settop(L, 0);
    if (answer)
        PushDocumentAsTable(L, *answer);
    else
        lua_newtable(L);
    return 1;
}

} // namespace

void LuaTableToDocument(lua_State* L, int index, TBSONDocument& doc) {
    if (index < 0 && index > LUA_REGISTRYINDEX)
        index = lua_gettop(L) + index + 1;
    lua_pushnil(L);
    while (lua_next(L, index) != 0) {
        const int keyType = lua_type(L, -2);
        const int valueType = lua_type(L, -1);
        const bool usableKey = keyType == LUA_TSTRING || keyType == LUA_TNUMBER;
        const bool usableValue = valueType == LUA_TSTRING || valueType == LUA_TNUMBER;
        if (usableKey && usableValue) {
            std::string name;
            if (keyType == LUA_TSTRING) {
                name = StackText(L, -2);
            } else {
                // Converting a number key in place would break the traversal, so convert a copy.
                lua_pushvalue(L, -2);
                name = StackText(L, -1);
                lua_pop(L, 1);
            }
            if (valueType == LUA_TNUMBER)
                doc.SetValue(
                    std::make_unique<corvane::TBSONDoubleItem>(std::move(name), lua_tonumber(L, -1)));
            else
                doc.SetValue(std::make_unique<corvane::TBSONStringItem>(std::move(name), StackText(L, -1)));
        }
        lua_pop(L, 1);
    }
}

void PushDocumentAsTable(lua_State* L, const TBSONDocument& doc) {
    lua_createtable(L, 0, doc.GetCount());
    for (int i = 0; i < doc.GetCount(); ++i) {
        const TBSONItem& item = doc.GetItem(i);
        const TBSONItemKind kind = item.Kind();
        if (kind != TBSONItemKind::Int && kind != TBSONItemKind::Double && kind != TBSONItemKind::String)
            continue;
        lua_pushlstring(L, item.Name().data(), item.Name().size());
        if (kind == TBSONItemKind::Int)
            lua_pushnumber(L, item.AsInteger());
        else if (kind == TBSONItemKind::Double)
            lua_pushnumber(L, item.AsFloat());
        else {
            const std::string& value = static_cast<const corvane::TBSONStringItem&>(item).Value();
            lua_pushlstring(L, value.data(), value.size());
        }
        lua_rawset(L, -3);
    }
}

TTaxLua::TTaxLua(bool autoRegister) : TLua(autoRegister, PublishedLuaMethods()) {}

std::span<const TLuaMethod> TTaxLua::PublishedLuaMethods() noexcept {
    return kTaxLuaMethods;
}

int TTaxLua::RunFile(const std::string& path) {
    currentScript_ = path;
    return TLua::RunFile(path);
}

std::string TTaxLua::CurrentScriptDir() const {
    return ExtractFilePath(currentScript_);
}

std::string TTaxLua::ResolvePluginPath(const std::string& value) const {
    const std::string underPlugins = ExpandPath(PluginsPath(), value);
    if (PluginPresent(underPlugins))
        return underPlugins;
    const std::string underApp = ExpandPath(AppPath(), value);
    if (PluginPresent(underApp))
        return underApp;
    return ExpandPath(CurrentScriptDir(), value);
}

// An empty value means "none" (no hover picture, no plug-in, no script) and stays empty: resolved,
// it would name the folder itself.
void TTaxLua::ResolvePaths(TBSONDocument& doc) const {
    if (const TBSONItem* plugin = doc.Find(corvane::kKeyPlugin)) {
        const std::string value = plugin->AsString();
        if (!value.empty() && value != corvane::kHostAddress) {
            std::string resolved = ResolvePluginPath(value);
            // An address that resolves to itself keeps its string item instead of an equal new one.
            if (resolved != value || plugin->Kind() != TBSONItemKind::String)
                doc.SetString(std::string(corvane::kKeyPlugin), std::move(resolved));
        }
    }
    if (const TBSONItem* script = doc.Find(corvane::kKeyLuaFile);
        script != nullptr && !script->AsString().empty()) {
        const std::string value = script->AsString();
        const std::string underApp = ExpandPath(AppPath(), value);
        doc.SetString(std::string(corvane::kKeyLuaFile),
                      FileExists(underApp) ? underApp : ExpandPath(CurrentScriptDir(), value));
    }
    for (const char* key : kPictureKeys) {
        if (const TBSONItem* picture = doc.Find(key); picture != nullptr && !picture->AsString().empty()) {
            const std::string value = picture->AsString();
            const std::string underPictures = ExpandPath(PicturesPath(), value);
            doc.SetString(key, FileExists(underPictures) ? underPictures : ExpandPath(AppPath(), value));
        }
    }
}

int TTaxLua::SendToHost(lua_State* L, std::int32_t requestNumber, TArgument argument, bool resolvePaths,
                        TResult result) {
    IDataDocument doc;
    if (argument == TArgument::Table) {
        doc = RequestFromTable(L, requestNumber);
        if (!doc)
            return 0;
    } else {
        doc = corvane::TakeDataDocument(requestNumber, 0);
        lua_settop(L, 0);
    }
    if (resolvePaths)
        ResolvePaths(*doc);
    IDataDocument answer = InvokeHost(*doc);
    if (result == TResult::None)
        return 0;
    return PushAnswer(L, answer);
}

int TTaxLua::plugin_invoke(lua_State* L) {
    if (!lua_istable(L, 1)) {
        lua_settop(L, 0);
        return 0;
    }
    IDataDocument doc = corvane::TakeDataDocument();
    LuaTableToDocument(L, 1, *doc);
    lua_settop(L, 0);
    if (!doc->HasItem(corvane::kKeyPlugin))
        throw corvane::ELua("param <plugin=?> must input", kInvokeLocation);
    if (!doc->HasItem(corvane::kKeyRequestId))
        throw corvane::ELua("param <req_id=?> must input", kInvokeLocation);
    doc->SetInteger(std::string(corvane::kReqCmd), doc->GetValue(corvane::kKeyRequestId).AsInteger());
    ResolvePaths(*doc);
    IDataDocument answer = corvane::Khan().Invoke(doc->GetValue(corvane::kKeyPlugin).AsString(), *doc);
    return PushAnswer(L, answer);
}

int TTaxLua::plugin_unload(lua_State* L) {
    IDataDocument doc = RequestFromTable(L, corvane::kReqUnloadPlugin);
    if (!doc)
        return 0;
    if (!doc->HasItem(corvane::kKeyPlugin))
        throw corvane::ELua("param <plugin=?> must input", kUnloadLocation);
    // Resolved like plugin_invoke, so the host unloads the very library the script loaded.
    ResolvePaths(*doc);
    InvokeHost(*doc);
    return 0;
}

int TTaxLua::log(lua_State* L) {
    const int count = lua_gettop(L);
    std::vector<std::string> messages;
    messages.reserve(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) {
        const int type = lua_type(L, i);
        messages.push_back(type == LUA_TSTRING || type == LUA_TNUMBER ? StackText(L, i) : std::string());
    }
    lua_settop(L, 0);
    if (messages.empty())
        return 0;
    IDataDocument doc = corvane::TakeDataDocument(corvane::kReqLog, 0);
    doc->SetString("msg", "");
    doc->SetString("tag", kClassName);
    for (std::string& message : messages) {
        doc->SetString("msg", std::move(message));
        InvokeHost(*doc);
    }
    return 0;
}

int TTaxLua::desk_prop(lua_State* L) {
    return SendToHost(L, corvane::kReqDeskProp, TArgument::None, false, TResult::AnswerTable);
}
int TTaxLua::app_prop(lua_State* L) {
    return SendToHost(L, corvane::kReqAppProp, TArgument::Table, true, TResult::AnswerTable);
}
int TTaxLua::uidesk_data(lua_State* L) {
    return SendToHost(L, corvane::kReqDeskData, TArgument::None, false, TResult::AnswerTable);
}
int TTaxLua::uibench_data(lua_State* L) {
    return SendToHost(L, corvane::kReqBenchData, TArgument::None, false, TResult::AnswerTable);
}
int TTaxLua::create_uicon(lua_State* L) {
    return SendToHost(L, corvane::kReqCreateIcon, TArgument::Table, true, TResult::None);
}
int TTaxLua::create_uitext(lua_State* L) {
    return SendToHost(L, corvane::kReqCreateText, TArgument::Table, true, TResult::None);
}
int TTaxLua::create_uicontext(lua_State* L) {
    return SendToHost(L, corvane::kReqCreateIconText, TArgument::Table, true, TResult::None);
}
int TTaxLua::uidesk_dock_winctrl(lua_State* L) {
    return SendToHost(L, corvane::kReqDeskDock, TArgument::Table, true, TResult::None);
}
int TTaxLua::uibench_dock_winctrl(lua_State* L) {
    return SendToHost(L, corvane::kReqBenchDock, TArgument::Table, true, TResult::None);
}
int TTaxLua::newpage(lua_State* L) {
    return SendToHost(L, corvane::kReqNewPage, TArgument::Table, false, TResult::AnswerTable);
}
int TTaxLua::insertpage(lua_State* L) {
    return SendToHost(L, corvane::kReqInsertPage, TArgument::Table, false, TResult::AnswerTable);
}
int TTaxLua::page_dock_winctrl(lua_State* L) {
    return SendToHost(L, corvane::kReqPageDock, TArgument::Table, false, TResult::None);
}
int TTaxLua::page_by_winctrl(lua_State* L) {
    return SendToHost(L, corvane::kReqPageByControl, TArgument::Table, false, TResult::AnswerTable);
}
int TTaxLua::page_focornew_by_winctrl(lua_State* L) {
    return SendToHost(L, corvane::kReqPageFocusOrNew, TArgument::Table, false, TResult::AnswerTable);
}
int TTaxLua::focuspage(lua_State* L) {
    return SendToHost(L, corvane::kReqFocusPage, TArgument::Table, false, TResult::None);
}
int TTaxLua::page_visible(lua_State* L) {
    return SendToHost(L, corvane::kReqPageVisible, TArgument::Table, true, TResult::None);
}
int TTaxLua::runfile(lua_State* L) {
    return SendToHost(L, corvane::kReqRunFile, TArgument::Table, true, TResult::None);
}
int TTaxLua::runluaf(lua_State* L) {
    return SendToHost(L, corvane::kReqRunLuaFile, TArgument::Table, true, TResult::None);
}
int TTaxLua::set_pagectrl_property(lua_State* L) {
    return SendToHost(L, corvane::kReqPageCtrlProperty, TArgument::Table, true, TResult::None);
}

namespace {
std::unique_ptr<TTaxLua>& EngineSlot() {
    static std::unique_ptr<TTaxLua> engine;
    return engine;
}
} // namespace

TTaxLua& TaxLua() {
    std::unique_ptr<TTaxLua>& engine = EngineSlot();
    if (!engine)
        engine = std::make_unique<TTaxLua>(true);
    return *engine;
}

void FreeTaxLua() {
    EngineSlot().reset();
}

} // namespace qm
