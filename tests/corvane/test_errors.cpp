#include <gtest/gtest.h>

#include "corvane/Errors.h"

using namespace corvane;

TEST(Errors, FormatTextTakesStringsDirectly) {
    const std::string file = "C:/a/b.lua";
    EXPECT_EQ(FormatText("文件(%s)不存在！", file), "文件(C:/a/b.lua)不存在！");
    EXPECT_EQ(FormatText("%s %.3d", "S", 5), "S 005");
    EXPECT_EQ(FormatText("plain"), "plain");
}

TEST(Errors, FamilyKeepsMessageLocationAndClass) {
    try {
        throw ELua("param <plugin=?> must input", "TTaxLua.plugin_invoke(LuaState: TLuaState): Integer");
    } catch (const ETax& error) {
        EXPECT_STREQ(error.what(), "param <plugin=?> must input");
        EXPECT_STREQ(error.ClassName(), "ELua");
        EXPECT_EQ(error.Location(), "TTaxLua.plugin_invoke(LuaState: TLuaState): Integer");
        const std::string log = error.GetLogText();
        EXPECT_NE(log.find("ELua"), std::string::npos);
        EXPECT_NE(log.find("param <plugin=?> must input"), std::string::npos);
        EXPECT_NE(log.find("TTaxLua.plugin_invoke"), std::string::npos);
    }
    EXPECT_STREQ(EPlugin("m", "l").ClassName(), "EPlugin");
    EXPECT_STREQ(EUI("m", "l").ClassName(), "EUI");
    EXPECT_STREQ(ETax("m", "l").ClassName(), "ETax");
}
