#pragma once

#include <exception>
#include <lua.hpp>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

class TLua;

// A published Lua method: a member function callable from scripts by its name. It receives the
// engine's state and returns the number of results it left on the Lua stack.
using TLuaCall = int (*)(TLua& self, lua_State* L);
struct TLuaMethod {
    std::string_view name;
    TLuaCall call;
};

template <class T, int (T::*Method)(lua_State*)> int LuaMethodThunk(TLua& self, lua_State* L) {
    return (static_cast<T&>(self).*Method)(L);
}

// One row of a class's published Lua method table: QM_LUA_PUBLISH(TTaxLua, plugin_invoke).
#define QM_LUA_PUBLISH(Class, Method)                                                                        \
    ::qm::TLuaMethod {                                                                                       \
#Method, &::qm::LuaMethodThunk < Class, &Class::Method>                                              \
    }

// One Lua state with the standard libraries, whose script functions are published methods of C++
// objects. C++ exceptions never unwind through Lua's own frames: a script function's exception
// becomes a Lua error that ends the run, and RunFile raises the original exception again.
class TLua {
public:
    // methods is the published table of the most derived class (a constructor cannot ask a
    // virtual function for it); with autoRegister each of them becomes a global function.
    TLua(bool autoRegister, std::span<const TLuaMethod> methods);
    TLua(const TLua&) = delete;
    TLua& operator=(const TLua&) = delete;
    virtual ~TLua();

    // Runs a script file; yields the status of the do-file call (0 on success). Errors the Lua
    // library catches (syntax, runtime errors of script code) end the run quietly and are kept in
    // LastScriptError. An exception raised by a script function behind the run is raised again here.
    virtual int RunFile(const std::string& path);
    // Calls the global function name with numbers as its arguments, under the rules of RunFile;
    // false when there is no such function.
    bool CallGlobalFunction(const char* name, std::span<const lua_Number> arguments);

    // Sets the global functionName to a native closure that calls the published method methodName
    // (empty: the same name) of object (nullptr: this engine). The object must outlive the engine.
    void RegisterFunction(const std::string& functionName, const std::string& methodName = "",
                          TLua* object = nullptr);

    // The published method of that name (compared without regard to case), or nullptr.
    const TLuaMethod* LuaMethodAddress(std::string_view name) const noexcept;

    lua_State* State() const noexcept { return state_.get(); }
    bool AutoRegister() const noexcept { return autoRegister_; }
    // The message of the last error the Lua library caught in a run ("" when none yet).
    const std::string& LastScriptError() const noexcept { return lastScriptError_; }

private:
    struct TCallback {
        TLua* engine; // whose state holds the closure, and who keeps the pending error
        TLua* object; // the method's receiver
        const TLuaMethod* method;
    };
    // An exception from a script function waiting to be raised again by the run's starter; message
    // is the text of the Lua error that carried it, to tell it from errors of script code.
    struct TPendingError {
        std::exception_ptr error;
        std::string message;
    };
    struct TStateCloser {
        void operator()(lua_State* L) const noexcept { lua_close(L); }
    };

    static int NativeClosure(lua_State* L);
    // Ends a run begun at stack height top with status: the stack back to top, the outer run's error
    // slot back, and the error of a script function raised again. Yields status.
    int FinishRun(int status, int top, TPendingError outer);
    void OpenStandardLibraries();

    std::unique_ptr<lua_State, TStateCloser> state_;
    bool autoRegister_;
    std::span<const TLuaMethod> methods_;
    std::vector<std::unique_ptr<TCallback>> callbacks_;
    TPendingError pending_;
    std::string lastScriptError_;
};

} // namespace qm
