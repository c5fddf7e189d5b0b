// The default click of a widget, driven by real mouse presses: the host plugin for "uip", a real
// plug-in library through the bus, and the host's Lua request for "luaf".
#include "DeskFixture.h"
#include "corvane/Errors.h"
#include "corvane/Khan.h"
#include "host/WidgetClick.h"

#include <algorithm>
#include <vector>

namespace qm::test {
namespace {

using corvane::TBSONDocument;

// The host plugin of these tests: keeps every request it receives.
class TRecordingHost : public corvane::TClientPlugin {
public:
    std::vector<TBSONDocument> received;

    void REQ_50(const TBSONDocument& req, TBSONDocument&) { received.push_back(req); }
    void REQ_103(const TBSONDocument& req, TBSONDocument&) { received.push_back(req); }

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override {
        static const corvane::TPublishedMethod methods[] = {
            CORVANE_PUBLISH(TRecordingHost, REQ_50),
            CORVANE_PUBLISH(TRecordingHost, REQ_103),
        };
        return methods;
    }
};

class DefaultClick : public DeskTest {
protected:
    void SetUp() override {
        corvane::Khan().SetHostPlugin(&host);
        container = ShownContainer(200, 150);
        container->SetWidgetClick(qm::DefClick);
    }
    void TearDown() override {
        container.reset();
        corvane::Khan().SetHostPlugin(nullptr);
    }

    // An icon at (40, 40) whose document carries the given click keys; clicked with a real press.
    TUIcon& IconWith(const std::vector<std::pair<std::string, std::string>>& keys) {
        TBSONDocument doc = IconDoc(40, 40, "red_20x10.png", "");
        for (const auto& [name, value] : keys)
            doc.SetString(name, value);
        return AddIcon(*container, doc, true);
    }
    void Click() { PressMouse(*container, 45, 45); }

    TRecordingHost host;
    std::unique_ptr<TUIContainer> container;
};

TEST_F(DefaultClick, UipInAnyCaseSendsTheDocumentToTheHostPluginWithItsRequestNumber) {
    TUIcon& icon = IconWith({{"plugin", "UIP"}, {"caption", "发票"}});
    icon.Params.SetDouble("req_id", 50); // as a script sends numbers
    Click();
    ASSERT_EQ(host.received.size(), 1u);
    const TBSONDocument& request = host.received[0];
    EXPECT_EQ(request.GetValue("@ReqCMD").AsInteger(), 50);
    EXPECT_EQ(request.GetValue("caption").AsString(), "发票");
    // The widget's own copy keeps the request number it was given.
    ASSERT_TRUE(icon.Params.HasItem("@ReqCMD"));
    EXPECT_EQ(icon.Params.GetValue("@ReqCMD").Kind(), corvane::TBSONItemKind::Int);
}

TEST_F(DefaultClick, UipWithoutAHostPluginIsAnErrorNotACrash) {
    corvane::Khan().SetHostPlugin(nullptr);
    TUIcon& icon = IconWith({{"plugin", "uip"}});
    icon.Params.SetDouble("req_id", 50);
    EXPECT_THROW(Click(), corvane::EPlugin);
}

TEST_F(DefaultClick, PluginLibraryIsReachedThroughTheBus) {
    const std::string library = TEST_ECHO_FILE;
    corvane::Khan().UnloadPlugin(library);
    TUIcon& icon = IconWith({{"plugin", library}});
    icon.Params.SetDouble("req_id", 1);
    Click();
    ASSERT_TRUE(corvane::Khan().IsLoaded(library));
    // The click was the first request of this load of the library.
    const corvane::IDataDocument answer = corvane::Khan().Invoke(library, *corvane::TakeDataDocument(1, 0));
    EXPECT_EQ(answer->GetValue("requests_since_load").AsInteger(), 2);
    corvane::Khan().UnloadPlugin(library);
}

TEST_F(DefaultClick, LibraryNamedDllMeansTheBuiltLibrary) {
    const std::string library = TEST_ECHO_FILE;
    ASSERT_TRUE(library.ends_with(".so"));
    const std::string dllName = library.substr(0, library.size() - 3) + ".dll";
    corvane::Khan().UnloadPlugin(library);
    TUIcon& icon = IconWith({{"plugin", dllName}});
    icon.Params.SetDouble("req_id", 1);
    Click();
    const corvane::IDataDocument answer = corvane::Khan().Invoke(dllName, *corvane::TakeDataDocument(1, 0));
    EXPECT_EQ(answer->GetValue("requests_since_load").AsInteger(), 2);
    corvane::Khan().UnloadPlugin(dllName);
}

TEST_F(DefaultClick, MissingPluginLibraryRaisesFileMissing) {
    const std::string library = pictures.File("Plugins/Nowhere.dll");
    IconWith({{"plugin", library}});
    try {
        Click();
        FAIL() << "a missing library was accepted";
    } catch (const corvane::EUI& e) {
        EXPECT_EQ(e.Message(), "文件(" + library + ")不存在！");
        EXPECT_EQ(e.Location(), "TUIAction.DefClick(Sender: TObject)");
    }
    EXPECT_TRUE(host.received.empty());
}

TEST_F(DefaultClick, LuaFileIsHandedToTheHostAsRequest103) {
    const std::string script = pictures.File("open_invoice.lua");
    WriteBytes(script, "-- opens the invoice page\n");
    TUIcon& icon = IconWith({{"plugin", ""}, {"luaf", script}});
    icon.Params.SetDouble("req_id", 7); // ignored without a plug-in
    Click();
    ASSERT_EQ(host.received.size(), 1u);
    EXPECT_EQ(host.received[0].GetValue("@ReqCMD").AsInteger(), 103);
    EXPECT_EQ(host.received[0].GetValue("luaf").AsString(), script);
}

TEST_F(DefaultClick, MissingLuaFileRaisesFileMissing) {
    const std::string script = pictures.File("gone.lua");
    IconWith({{"plugin", ""}, {"luaf", script}});
    try {
        Click();
        FAIL() << "a missing script was accepted";
    } catch (const corvane::EUI& e) {
        EXPECT_EQ(e.Message(), "文件(" + script + ")不存在！");
        EXPECT_EQ(e.Location(), "TUIAction.DefClick(Sender: TObject)");
    }
    EXPECT_TRUE(host.received.empty());
}

TEST_F(DefaultClick, NeitherPluginNorLuaFileDoesNothing) {
    TUIcon& icon = IconWith({{"plugin", ""}, {"luaf", ""}});
    Click();
    EXPECT_TRUE(host.received.empty());
    EXPECT_FALSE(icon.Params.HasItem("@ReqCMD"));
}

TEST_F(DefaultClick, DocumentWithoutPluginKeyCannotBeClicked) {
    IconWith({});
    EXPECT_THROW(Click(), corvane::EPlugin);
    IconWith({{"plugin", ""}});
    EXPECT_THROW(qm::DefClick(*container->Widgets().back()), corvane::EPlugin);
}

} // namespace
} // namespace qm::test
