// How many plugin_invoke round trips a script makes per second into a plug-in library, against the
// same loop calling a bare C function that builds an equal answer table.
#include "corvane/Khan.h"
#include "host/TaxLua.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// The answer TestEcho's REQ_5 gives, built directly on the Lua stack.
int BareAnswer(lua_State* L) {
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

// Runs `rounds` calls of the given expression in a Lua loop and yields the calls per second.
double CallsPerSecond(const std::filesystem::path& script, const std::string& call, long rounds) {
    std::ofstream(script) << "local sum = 0\n"
                          << "for i = 1, " << rounds << " do\n"
                          << "    local r = " << call << "\n"
                          << "    sum = sum + r.width\n"
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
double Measure(const std::filesystem::path& script, const std::string& call, double seconds) {
    const long trial = 2000;
    const double trialRate = CallsPerSecond(script, call, trial);
    if (trialRate <= 0)
        return 0;
    const long rounds = std::max(trial, static_cast<long>(trialRate * seconds));
    return CallsPerSecond(script, call, rounds);
}

} // namespace

int main() {
    const std::filesystem::path script = std::filesystem::temp_directory_path() /
                                         ("qm_bench_plugin_invoke_" + std::to_string(getpid()) + ".lua");
    lua_register(qm::TaxLua().State(), "bare_answer", BareAnswer);
    lua_pushstring(qm::TaxLua().State(), TEST_ECHO_FILE);
    lua_setglobal(qm::TaxLua().State(), "ECHO");

    const double invokeRate = Measure(script, "plugin_invoke({plugin = ECHO, req_id = 5})", 1.5);
    const double bareRate = Measure(script, "bare_answer({plugin = ECHO, req_id = 5})", 1.0);
    std::filesystem::remove(script);
    qm::FreeTaxLua();
    corvane::Khan_Free();

    if (invokeRate <= 0 || bareRate <= 0)
        return 1;
    std::printf("plugin_invoke into TestEcho REQ_5:      %12.0f round trips/s\n", invokeRate);
    std::printf("bare C function, equal answer table:   %12.0f calls/s\n", bareRate);
    std::printf("bare / plugin_invoke:                  %12.1f\n", bareRate / invokeRate);
    return 0;
}
