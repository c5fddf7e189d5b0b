#include "host/Lua.h"

#include "corvane/Errors.h"
#include "corvane/TextCase.h"

#include <new>
#include <utility>

namespace qm {

namespace {

constexpr const char* kCreateLocation = "TLua.Create(AutoRegister: Boolean)";

// The libraries a script may use, in the order they are opened; "loadlib" is the package library.
constexpr luaL_Reg kStandardLibraries[] = {
    {"", luaopen_base},
    {LUA_LOADLIBNAME, luaopen_package},
    {LUA_TABLIBNAME, luaopen_table},
    {LUA_IOLIBNAME, luaopen_io},
    {LUA_STRLIBNAME, luaopen_string},
    {LUA_MATHLIBNAME, luaopen_math},
    {LUA_DBLIBNAME, luaopen_debug},
};

std::string ErrorText(lua_State* L, int index) {
    std::size_t length = 0;
    const char* text = lua_tolstring(L, index, &length);
    return text != nullptr ? std::string(text, length) : std::string("(error object is not a string)");
}

} // namespace

TLua::TLua(bool autoRegister, std::span<const TLuaMethod> methods)
    : state_(luaL_newstate()), autoRegister_(autoRegister), methods_(methods) {
    if (!state_)
        throw std::bad_alloc();
    OpenStandardLibraries();
    if (autoRegister_)
        for (const TLuaMethod& method : methods_)
            RegisterFunction(std::string(method.name));
}

TLua::~TLua() {
    // Closing the state may still run script code (finalizers of userdata); by then the derived
    // engine is gone, so the closures must no longer reach their methods.
    for (const auto& callback : callbacks_)
        callback->method = nullptr;
    state_.reset();
    while (!callbacks_.empty())
        callbacks_.pop_back();
}

void TLua::OpenStandardLibraries() {
    lua_State* L = State();
    for (const luaL_Reg& library : kStandardLibraries) {
        lua_pushcfunction(L, library.func);
        lua_pushstring(L, library.name);
        if (lua_pcall(L, 1, 0, 0) != 0) {
            std::string message = ErrorText(L, -1);
            lua_pop(L, 1);
            throw corvane::ELua(std::move(message), kCreateLocation);
        }
    }
    // Scripts written for the older engine call loadlib as a global.
    lua_getglobal(L, LUA_LOADLIBNAME);
    lua_getfield(L, -1, "loadlib");
    lua_setglobal(L, "loadlib");
    lua_pop(L, 1);
}

const TLuaMethod* TLua::LuaMethodAddress(std::string_view name) const noexcept {
    for (const TLuaMethod& method : methods_)
        if (corvane::SameText(method.name, name))
            return &method;
    return nullptr;
}

void TLua::RegisterFunction(const std::string& functionName, const std::string& methodName, TLua* object) {
    TLua* target = object != nullptr ? object : this;
    const TLuaMethod* method = target->LuaMethodAddress(methodName.empty() ? functionName : methodName);
    callbacks_.push_back(std::make_unique<TCallback>(TCallback{this, target, method}));

    lua_State* L = State();
    lua_pushlightuserdata(L, callbacks_.back().get());
    lua_pushcclosure(L, &TLua::NativeClosure, 1);
    lua_setglobal(L, functionName.c_str());
}

int TLua::NativeClosure(lua_State* L) {
    auto* callback = static_cast<TCallback*>(lua_touserdata(L, lua_upvalueindex(1)));
    if (callback == nullptr || callback->method == nullptr || callback->object == nullptr)
        return 0;
    std::string message;
    try {
        return callback->method->call(*callback->object, L);
    } catch (const std::exception& error) {
        // Lua's own errors are not std::exception and pass through untouched.
        message = error.what();
        callback->engine->pending_ = TPendingError{std::current_exception(), message};
    }
    // Raised outside the handler so that no C++ exception is active while Lua unwinds.
    lua_pushlstring(L, message.data(), message.size());
    return lua_error(L);
}

int TLua::RunFile(const std::string& path) {
    lua_State* L = State();
    const int top = lua_gettop(L);
    // A nested run (a script function starting another file) keeps the outer run's error slot.
    TPendingError outer = std::exchange(pending_, TPendingError{});
    const int status = luaL_dofile(L, path.c_str());
    return FinishRun(status, top, std::move(outer));
}

bool TLua::CallGlobalFunction(const char* name, std::span<const lua_Number> arguments) {
    lua_State* L = State();
    const int top = lua_gettop(L);
    lua_getglobal(L, name);
    if (lua_type(L, -1) != LUA_TFUNCTION) {
        lua_settop(L, top);
        return false;
    }
    for (const lua_Number argument : arguments)
        lua_pushnumber(L, argument);
    TPendingError outer = std::exchange(pending_, TPendingError{});
    const int status = lua_pcall(L, static_cast<int>(arguments.size()), 0, 0);
    FinishRun(status, top, std::move(outer));
    return true;
}

int TLua::FinishRun(int status, int top, TPendingError outer) {
    lua_State* L = State();
    TPendingError raised = std::exchange(pending_, std::move(outer));
    if (status == 0) {
        lua_settop(L, top);
        return status;
    }
    std::string message = ErrorText(L, -1);
    lua_settop(L, top);
    // The run ended by the error a script function raised: hand the original to the starter. An
    // error the script caught itself (pcall) and that was followed by an error of its own is not it.
    if (raised.error && message == raised.message)
        std::rethrow_exception(raised.error);
    lastScriptError_ = std::move(message);
    return status;
}

} // namespace qm
