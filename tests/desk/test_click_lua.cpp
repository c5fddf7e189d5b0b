// A widget whose click runs a Lua file: the real host plugin runs it on the real Lua engine.
#include "DeskFixture.h"
#include "corvane/Khan.h"
#include "host/TaxLua.h"
#include "host/UIPlugin.h"
#include "host/WidgetClick.h"

#include <lua.hpp>

namespace qm::test {
namespace {

class ClickLua : public DeskTest {
protected:
    void SetUp() override { corvane::Khan().SetHostPlugin(&host); }
    void TearDown() override {
        corvane::Khan().SetHostPlugin(nullptr);
        FreeTaxLua();
    }

    std::string GlobalText(const char* name) {
        lua_State* L = TaxLua().State();
        lua_getglobal(L, name);
        const char* value = lua_tostring(L, -1);
        std::string text = value != nullptr ? value : "";
        lua_pop(L, 1);
        return text;
    }

    TUIPlugin host;
};

TEST_F(ClickLua, ClickRunsTheLuaFileOnTheHostsEngine) {
    auto container = ShownContainer(200, 150);
    container->SetWidgetClick(DefClick);
    const std::string script = pictures.File("open_page.lua");
    WriteBytes(script, "desk_click_seen = (desk_click_seen or '') .. 'clicked;'\n");
    corvane::TBSONDocument doc = IconDoc(40, 40, "red_20x10.png", "");
    doc.SetString("plugin", "");
    doc.SetString("luaf", script);
    AddIcon(*container, doc, true);

    PressMouse(*container, 45, 45);
    EXPECT_EQ(GlobalText("desk_click_seen"), "clicked;");
    PressMouse(*container, 45, 45, Qt::RightButton);
    EXPECT_EQ(GlobalText("desk_click_seen"), "clicked;clicked;");
}

} // namespace
} // namespace qm::test
