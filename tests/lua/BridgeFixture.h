#pragma once

#include "TestHostPlugin.h"
#include "corvane/Khan.h"
#include "host/TaxLua.h"
#include "tests/support/LuaGlobals.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <unistd.h>

// A folder of script files that is removed again with everything in it.
class TScriptFolder {
public:
    explicit TScriptFolder(const std::filesystem::path& parent = std::filesystem::temp_directory_path()) {
        static int serial = 0;
        path_ = parent / ("qm_lua_" + std::to_string(getpid()) + "_" + std::to_string(++serial));
        std::filesystem::create_directories(path_);
    }
    TScriptFolder(const TScriptFolder&) = delete;
    TScriptFolder& operator=(const TScriptFolder&) = delete;
    ~TScriptFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    const std::filesystem::path& Path() const noexcept { return path_; }
    // The folder's name with a trailing "/", the form the path functions use.
    std::string Dir() const { return path_.string() + "/"; }

    // Writes a file below the folder (creating sub-folders) and yields its full name.
    std::string Write(const std::string& relativeName, const std::string& content) const {
        const std::filesystem::path file = path_ / relativeName;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
        return file.string();
    }

private:
    std::filesystem::path path_;
};

// Every test gets a fresh script engine and bus, with the test host in the host slot.
class TBridgeTest : public ::testing::Test {
protected:
    void SetUp() override { corvane::Khan().SetHostPlugin(&host); }
    void TearDown() override {
        qm::FreeTaxLua();
        corvane::Khan().Free();
    }

    // Writes the script into the folder and runs it on the process engine.
    int Run(const std::string& source, const std::string& name = "script.lua") {
        return qm::TaxLua().RunFile(scripts.Write(name, source));
    }

    static lua_State* State() { return qm::TaxLua().State(); }

    static std::optional<double> GlobalNumber(const char* name) { return qm::test::LuaGlobalNumber(name); }

    static std::optional<std::string> GlobalText(const char* name) { return qm::test::LuaGlobalText(name); }

    static bool GlobalIsTrue(const char* name) {
        lua_State* L = State();
        lua_getglobal(L, name);
        const bool value = lua_toboolean(L, -1) != 0;
        lua_pop(L, 1);
        return value;
    }

    static void SetGlobalText(const char* name, const std::string& value) {
        lua_State* L = State();
        lua_pushlstring(L, value.data(), value.size());
        lua_setglobal(L, name);
    }

    TTestHostPlugin host;
    TScriptFolder scripts;
};
