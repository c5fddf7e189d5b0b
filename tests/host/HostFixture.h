#pragma once

#include <gtest/gtest.h>
#include <lua.hpp>

#include <optional>
#include <string>

#include "corvane/Khan.h"
#include "host/TaxLua.h"
#include "host/UIPlugin.h"
#include "tests/common/TestFiles.h"

// The real host plugin in the bus's host slot and the real script engine; scripts are written
// into a temporary folder.
class THostTest : public ::testing::Test {
protected:
    void SetUp() override { corvane::Khan().SetHostPlugin(&host); }
    void TearDown() override {
        qm::FreeTaxLua();
        corvane::Khan_Free();
    }

    std::string Script(const std::string& name, const std::string& source) const {
        const std::string file = scripts.File(name);
        qm::test::WriteBytes(file, source);
        return file;
    }
    int Run(const std::string& source) { return qm::TaxLua().RunFile(Script("main.lua", source)); }

    static std::optional<std::string> Global(const char* name) {
        lua_State* L = qm::TaxLua().State();
        lua_getglobal(L, name);
        std::optional<std::string> value;
        if (lua_type(L, -1) == LUA_TSTRING || lua_type(L, -1) == LUA_TNUMBER)
            value = lua_tostring(L, -1);
        lua_pop(L, 1);
        return value;
    }

    qm::TUIPlugin host;
    qm::test::TTempFolder scripts;
};
