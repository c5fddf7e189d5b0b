// How many plugin_invoke round trips a script makes per second, into a plug-in library and into the
// host plugin's shared store, each against the same loop calling a bare C function that builds an
// equal answer table.
#include "corvane/Khan.h"
#include "host/TaxLua.h"
#include "host/UIPlugin.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// The answer TestEcho's REQ_5 gives, built directly on the Lua stack.
int BareEchoAnswer(lua_State* L) {
    lua_settop(L, 0);
    lua_createtable(L, 0, 7);
    lua_pushnumber(L, 1001);
    lua_setfield(L, -2, "id");
    lua_pushnumber(L, 640);
    lua_setfield(L, -2, "width");
    lua_pushnumber(L, 480);
    lua_setfield(L, -2, "height");
    lua_pushnumber(L, 1.25);
    lua_setfield(L, -2, "scale");
    lua_pushnumber(L, 0.5);
    lua_setfield(L, -2, "ratio");
    lua_pushstring(L, "bench page");
    lua_setfield(L, -2, "title");
    lua_pushstring(L, "ready");
    lua_setfield(L, -2, "state");
    return 1;
}

constexpr const char* kStoreNamespace = "Upgrade";
constexpr const char* kStoreKey = "app_0012";
constexpr const char* kStoreValue = "Plugins/Apps/app_0012/main.lua";

// The answer the host gives to a shared-store get of kStoreKey, built directly on the Lua stack.
int BareStoreAnswer(lua_State* L) {
    lua_settop(L, 0);
    lua_createtable(L, 0, 2);
    lua_pushstring(L, kStoreKey);
    lua_setfield(L, -2, "key");
    lua_pushstring(L, kStoreValue);
    lua_setfield(L, -2, "value");
    return 1;
}

// A store as a desk holds it: the login and some twenty store applications.
void FillSharedStore(qm::TSharedStore& store) {
    store.Set("Login", "UserName", "bench");
    store.Set("Login", "Password", "secret");
    for (int i = 0; i < 24; ++i) {
        char id[16];
        std::snprintf(id, sizeof id, "app_%04d", i);
        store.Set(kStoreNamespace, id, std::string("Plugins/Apps/") + id + "/main.lua");
    }
}

// Runs `rounds` calls of the given expression in a Lua loop and yields the calls per second; `use`
// is a number expression over the answer r, so that the answer is read.
double CallsPerSecond(const std::filesystem::path& script, const std::string& call, const std::string& use,
                      long rounds) {
    std::ofstream(script) << "local sum = 0\n"
                          << "for i = 1, " << rounds << " do\n"
                          << "    local r = " << call << "\n"
                          << "    sum = sum + " << use << "\n"
                          << "end\n"
                          << "bench_sum = sum\n";
    qm::TTaxLua& engine = qm::TaxLua();
    const auto start = std::chrono::steady_clock::now();
    if (engine.RunFile(script.string()) != 0) {
        std::fprintf(stderr, "script failed: %s\n", engine.LastScriptError().c_str());
        return 0;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<double>(rounds) / elapsed.count();
}

// Sizes the loop from a short trial so that each measurement takes about `seconds`.
double Measure(const std::filesystem::path& script, const std::string& call, const std::string& use,
               double seconds) {
    const long trial = 2000;
    const double trialRate = CallsPerSecond(script, call, use, trial);
    if (trialRate <= 0)
        return 0;
    const long rounds = std::max(trial, static_cast<long>(trialRate * seconds));
    return CallsPerSecond(script, call, use, rounds);
}

} // namespace

// An argument "echo" or "store" runs only that pair of measurements (for profiling one of them).
int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    const std::filesystem::path script = std::filesystem::temp_directory_path() /
                                         ("qm_bench_plugin_invoke_" + std::to_string(getpid()) + ".lua");
    lua_State* L = qm::TaxLua().State();
    lua_register(L, "bare_echo_answer", BareEchoAnswer);
    lua_register(L, "bare_store_answer", BareStoreAnswer);
    lua_pushstring(L, TEST_ECHO_FILE);
    lua_setglobal(L, "ECHO");

    double echoRate = 0, bareEchoRate = 0, storeRate = 0, bareStoreRate = 0;
    {
        qm::TUIPlugin host;
        FillSharedStore(host.SharedStore());
        corvane::Khan().SetHostPlugin(&host);

        const std::string echoUse = "r.width";
        if (only != "store") {
            echoRate = Measure(script, "plugin_invoke({plugin = ECHO, req_id = 5})", echoUse, 1.5);
            bareEchoRate = Measure(script, "bare_echo_answer({plugin = ECHO, req_id = 5})", echoUse, 1.0);
        }

        const std::string storeArgs =
            std::string("{plugin = \"uip\", req_id = 10, method = \"get\", namespace = \"") +
            kStoreNamespace + "\", key = \"" + kStoreKey + "\"}";
        const std::string storeUse = "string.len(r.value)";
        if (only != "echo") {
            storeRate = Measure(script, "plugin_invoke(" + storeArgs + ")", storeUse, 1.5);
            bareStoreRate = Measure(script, "bare_store_answer(" + storeArgs + ")", storeUse, 1.0);
        }

        corvane::Khan().SetHostPlugin(nullptr);
    }
    std::filesystem::remove(script);
    qm::FreeTaxLua();
    corvane::Khan_Free();

    if (only != "store") {
        if (echoRate <= 0 || bareEchoRate <= 0)
            return 1;
        std::printf("plugin_invoke into TestEcho REQ_5:      %12.0f round trips/s\n", echoRate);
        std::printf("bare C function, equal answer table:   %12.0f calls/s\n", bareEchoRate);
        std::printf("bare / plugin_invoke:                  %12.1f\n", bareEchoRate / echoRate);
    }
    if (only != "echo") {
        if (storeRate <= 0 || bareStoreRate <= 0)
            return 1;
        std::printf("plugin_invoke into \"uip\" REQ_10 get:   %12.0f round trips/s\n", storeRate);
        std::printf("bare C function, equal answer table:   %12.0f calls/s\n", bareStoreRate);
        std::printf("bare / plugin_invoke:                  %12.1f\n", bareStoreRate / storeRate);
    }
    return 0;
}
