#pragma once

#include "host/TaxLua.h"

#include <lua.hpp>
#include <optional>
#include <string>

// Globals of the host's script engine, as tests set them before a script and read them after it.
namespace qm::test {

inline std::optional<double> LuaGlobalNumber(const char* name) {
    lua_State* L = TaxLua().State();
    lua_getglobal(L, name);
    std::optional<double> value;
    if (lua_type(L, -1) == LUA_TNUMBER)
        value = lua_tonumber(L, -1);
    lua_pop(L, 1);
    return value;
}

inline std::optional<std::string> LuaGlobalText(const char* name) {
    lua_State* L = TaxLua().State();
    lua_getglobal(L, name);
    std::optional<std::string> value;
    if (lua_type(L, -1) == LUA_TSTRING) {
        std::size_t length = 0;
        const char* text = lua_tolstring(L, -1, &length);
        value = std::string(text, length);
    }
    lua_pop(L, 1);
    return value;
}

inline void SetLuaGlobal(const char* name, double value) {
    lua_State* L = TaxLua().State();
    lua_pushnumber(L, value);
    lua_setglobal(L, name);
}

} // namespace qm::test
