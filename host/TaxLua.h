#pragma once

#include "corvane/BsonDocument.h"
#include "host/Lua.h"

#include <cstdint>
#include <span>
#include <string>

namespace qm {

// The script engine of the desk. Each published method is a global script function that turns its
// table argument into a request document, sends it to the host plugin or through the bus to a
// plug-in, and hands the answer back as a table.
class TTaxLua : public TLua {
public:
    explicit TTaxLua(bool autoRegister = true);

    // Remembers the file as the current script (relative plug-in and script paths resolve against
    // its folder), then runs it.
    int RunFile(const std::string& path) override;

    const std::string& CurrentScript() const noexcept { return currentScript_; }

    // The script interface.
    int plugin_invoke(lua_State* L);
    int plugin_unload(lua_State* L);
    int log(lua_State* L);
    int desk_prop(lua_State* L);
    int app_prop(lua_State* L);
    int uidesk_data(lua_State* L);
    int uibench_data(lua_State* L);
    int create_uicon(lua_State* L);
    int create_uitext(lua_State* L);
    int create_uicontext(lua_State* L);
    int uidesk_dock_winctrl(lua_State* L);
    int uibench_dock_winctrl(lua_State* L);
    int newpage(lua_State* L);
    int insertpage(lua_State* L);
    int page_dock_winctrl(lua_State* L);
    int page_by_winctrl(lua_State* L);
    int page_focornew_by_winctrl(lua_State* L);
    int focuspage(lua_State* L);
    int page_visible(lua_State* L);
    int runfile(lua_State* L);
    int runluaf(lua_State* L);
    int set_pagectrl_property(lua_State* L);

private:
    enum class TArgument { None, Table };
    enum class TResult { None, AnswerTable };

    static std::span<const TLuaMethod> PublishedLuaMethods() noexcept;

    // Sends request n with the table argument to the host plugin, following the function's row of
    // the script interface: whether the argument must be a table, whether paths are resolved, and
    // whether the answer comes back as a table.
    int SendToHost(lua_State* L, std::int32_t requestNumber, TArgument argument, bool resolvePaths,
                   TResult result);
    void ResolvePaths(corvane::TBSONDocument& doc) const;
    std::string ResolvePluginPath(const std::string& value) const;
    std::string CurrentScriptDir() const;

    std::string currentScript_;
};

// Table argument 1 to document: number values become double items, strings string items; other
// values, and keys that are neither strings nor numbers, are skipped.
void LuaTableToDocument(lua_State* L, int index, corvane::TBSONDocument& doc);
// Pushes a new table holding the integer, double and string items of doc.
void PushDocumentAsTable(lua_State* L, const corvane::TBSONDocument& doc);

// The one engine of the process, created on first use.
TTaxLua& TaxLua();
// Frees it at the end of the program.
void FreeTaxLua();

} // namespace qm
