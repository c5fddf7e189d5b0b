// Where script-given plug-in, script and picture names lead. The test program's folder is the
// installation folder, so the cases create uniquely named folders below it and remove them again.
#include "BridgeFixture.h"
#include "common/Paths.h"

#include <filesystem>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A uniquely named folder below an installation folder (AppPath, PluginsPath, PicturesPath); the
// installation folders themselves are left in place for other tests running at the same time.
class TInstalledFolder {
public:
    TInstalledFolder(const std::string& installationFolder, const std::string& name)
        : path_(installationFolder + name + "/") {
        fs::create_directories(path_);
    }
    TInstalledFolder(const TInstalledFolder&) = delete;
    TInstalledFolder& operator=(const TInstalledFolder&) = delete;
    ~TInstalledFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string Touch(const std::string& file) const {
        std::ofstream(path_ + file) << "x";
        return path_ + file;
    }

private:
    std::string path_;
};

std::string UniqueName(const char* what) {
    return std::string("qm_") + what + "_" + std::to_string(getpid());
}

class PathRule : public TBridgeTest {
protected:
    // The "plugin" value the host was asked to unload by the last plugin_unload.
    std::string ResolvedPlugin(const std::string& value) {
        host.ClearReceived();
        EXPECT_EQ(Run("plugin_unload({plugin = \"" + value + "\"})"), 0) << qm::TaxLua().LastScriptError();
        const auto unloads = host.ReceivedWith(9);
        return unloads.size() == 1 ? unloads[0].doc.GetValue("plugin").AsString() : "<not sent>";
    }
};

TEST_F(PathRule, PluginNamePrefersPluginsThenAppThenTheScriptFolder) {
    const std::string name = UniqueName("plugin");
    const std::string value = name + "/Probe.dll";
    TInstalledFolder underApp(qm::AppPath(), name);
    TInstalledFolder underPlugins(qm::PluginsPath(), name);
    const std::string appFile = underApp.Touch("Probe.so");
    const std::string pluginsFile = underPlugins.Touch("Probe.so");

    EXPECT_EQ(ResolvedPlugin(value), qm::PluginsPath() + value) << "found in both: the plug-ins folder wins";
    fs::remove(pluginsFile);
    EXPECT_EQ(ResolvedPlugin(value), qm::AppPath() + value);
    fs::remove(appFile);
    EXPECT_EQ(ResolvedPlugin(value), scripts.Dir() + value)
        << "found nowhere: next to the script, missing or not";
    EXPECT_FALSE(qm::FileExists(scripts.Dir() + value));

    EXPECT_EQ(ResolvedPlugin("uip"), "uip");
    EXPECT_EQ(ResolvedPlugin(qm::AppPath() + "TestEcho.dll"), qm::AppPath() + "TestEcho.dll");
}

TEST_F(PathRule, PluginInvokeLoadsTheCopyUnderThePluginsFolder) {
    const std::string name = UniqueName("echo");
    TInstalledFolder underPlugins(qm::PluginsPath(), name);
    TInstalledFolder underApp(qm::AppPath(), name);
    for (const std::string& folder : {qm::PluginsPath(), qm::AppPath()})
        fs::copy_file(qm::AppPath() + "TestEcho.so", folder + name + "/TestEcho.so");

    SetGlobalText("relative", name + "/TestEcho.dll");
    ASSERT_EQ(Run("loaded_from = plugin_invoke({plugin = relative, req_id = 1}).plugin"), 0)
        << qm::TaxLua().LastScriptError();
    EXPECT_EQ(GlobalText("loaded_from"), qm::PluginsPath() + name + "/TestEcho.dll");
    EXPECT_TRUE(corvane::Khan().IsLoaded(qm::PluginsPath() + name + "/TestEcho.dll"));
    EXPECT_FALSE(corvane::Khan().IsLoaded(qm::AppPath() + name + "/TestEcho.dll"));
}

// The bus serves a library it holds without asking the file system, and the path rule does the same
// for the addresses the bus holds; once the library is released the files decide again.
TEST_F(PathRule, AHeldLibraryKeepsItsAddressUntilReleased) {
    const std::string name = UniqueName("held");
    TInstalledFolder underPlugins(qm::PluginsPath(), name);
    TInstalledFolder underApp(qm::AppPath(), name);
    for (const std::string& folder : {qm::PluginsPath(), qm::AppPath()})
        fs::copy_file(qm::AppPath() + "TestEcho.so", folder + name + "/TestEcho.so");
    const std::string heldAddress = qm::PluginsPath() + name + "/TestEcho.dll";
    SetGlobalText("relative", name + "/TestEcho.dll");
    const auto loadedFrom = [this] {
        EXPECT_EQ(Run("loaded_from = plugin_invoke({plugin = relative, req_id = 1}).plugin"), 0)
            << qm::TaxLua().LastScriptError();
        return GlobalText("loaded_from");
    };

    EXPECT_EQ(loadedFrom(), heldAddress);
    fs::remove(qm::PluginsPath() + name + "/TestEcho.so");
    EXPECT_EQ(loadedFrom(), heldAddress) << "the loaded copy still serves its address";
    corvane::Khan().UnloadPlugin(heldAddress);
    EXPECT_EQ(loadedFrom(), qm::AppPath() + name + "/TestEcho.dll") << "released: the files decide again";
}

TEST_F(PathRule, ScriptAndPictureNames) {
    const std::string name = UniqueName("files");
    TInstalledFolder underApp(qm::AppPath(), name);
    TInstalledFolder underPictures(qm::PicturesPath(), name);
    underApp.Touch("installed.lua");
    underPictures.Touch("normal.png");
    SetGlobalText("dir", name + "/");

    ASSERT_EQ(Run(R"(
        create_uicon({luaf = dir .. "installed.lua", png_nor = dir .. "normal.png", png_mov = dir .. "moving.png"})
        create_uicon({luaf = dir .. "local.lua"})
    )"),
              0)
        << qm::TaxLua().LastScriptError();
    const auto icons = host.ReceivedWith(4);
    ASSERT_EQ(icons.size(), 2u);
    EXPECT_EQ(icons[0].doc.GetValue("luaf").AsString(), qm::AppPath() + name + "/installed.lua");
    EXPECT_EQ(icons[0].doc.GetValue("png_nor").AsString(), qm::PicturesPath() + name + "/normal.png");
    EXPECT_EQ(icons[0].doc.GetValue("png_mov").AsString(), qm::AppPath() + name + "/moving.png")
        << "a picture missing from the pictures folder is taken from the installation folder";
    EXPECT_EQ(icons[1].doc.GetValue("luaf").AsString(), scripts.Dir() + name + "/local.lua");
}

TEST_F(PathRule, EmptyNamesMeanNoneAndStayEmpty) {
    ASSERT_EQ(Run(R"(create_uicon({plugin = "", luaf = "", png_nor = "a.png", png_mov = ""}))"), 0)
        << qm::TaxLua().LastScriptError();
    const auto icons = host.ReceivedWith(4);
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].doc.GetValue("plugin").AsString(), "");
    EXPECT_EQ(icons[0].doc.GetValue("luaf").AsString(), "");
    EXPECT_EQ(icons[0].doc.GetValue("png_mov").AsString(), "") << "no hover picture, not the installation folder";
}

TEST_F(PathRule, PathsFollowTheMostRecentlyStartedScript) {
    scripts.Write("b/second.lua", "from_second = \"set by the nested script\"\n");
    const std::string first = scripts.Write("a/first.lua", R"(
        runluaf({luaf = "../b/second.lua"})
        seen_by_first = from_second
        plugin_unload({plugin = "Sibling.dll"})
    )");
    ASSERT_EQ(qm::TaxLua().RunFile(first), 0) << qm::TaxLua().LastScriptError();

    const auto runs = host.ReceivedWith(103);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].doc.GetValue("luaf").AsString(), scripts.Dir() + "b/second.lua");
    EXPECT_EQ(GlobalText("seen_by_first"), "set by the nested script") << "scripts share one environment";
    // The nested script stays the current one after it returned.
    EXPECT_EQ(qm::TaxLua().CurrentScript(), scripts.Dir() + "b/second.lua");
    const auto unloads = host.ReceivedWith(9);
    ASSERT_EQ(unloads.size(), 1u);
    EXPECT_EQ(unloads[0].doc.GetValue("plugin").AsString(), scripts.Dir() + "b/Sibling.dll");
}

} // namespace
