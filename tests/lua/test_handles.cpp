// Object references that come back from scripts: live ones resolve, stale, forged and wrong-kind
// ones give a clear error and are never followed. Also run under AddressSanitizer.
#include "BridgeFixture.h"
#include "corvane/Errors.h"
#include "corvane/HandleTable.h"

#include <cstdlib>
#include <limits>
#include <memory>
#include <random>

namespace {

using corvane::Handles;

const std::string kEcho = TEST_ECHO_FILE;

class HandlesFromScripts : public TBridgeTest {
protected:
    void SetUp() override {
        TBridgeTest::SetUp();
        SetGlobalText("ECHO", kEcho);
    }

    // Creates a TestEcho object from a script and yields its handle.
    std::int32_t CreateObject(const std::string& label) {
        SetGlobalText("label", label);
        EXPECT_EQ(Run("made = plugin_invoke({plugin = ECHO, req_id = 2, label = label}).inst"), 0)
            << qm::TaxLua().LastScriptError();
        return static_cast<std::int32_t>(GlobalNumber("made").value_or(0));
    }

    // Sends the handle back in REQ_3 and yields the error that reached the starter ("" if none).
    std::string ErrorOfResolving(const std::string& instExpression) {
        try {
            Run("got = nil\ngot = plugin_invoke({plugin = ECHO, req_id = 3, inst = " + instExpression +
                "}).label\n");
        } catch (const corvane::EPlugin& error) {
            EXPECT_FALSE(GlobalText("got").has_value()) << "the script ended at the error";
            return error.Message();
        }
        return "";
    }
};

TEST_F(HandlesFromScripts, ALiveHandleReachesItsObject) {
    const std::int32_t first = CreateObject("first");
    const std::int32_t second = CreateObject("second");
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(ErrorOfResolving(std::to_string(second)), "");
    EXPECT_EQ(GlobalText("got"), "second");
    EXPECT_EQ(ErrorOfResolving(std::to_string(first)), "");
    EXPECT_EQ(GlobalText("got"), "first");
}

TEST_F(HandlesFromScripts, AStaleHandleIsAClearError) {
    const std::int32_t handle = CreateObject("short-lived");
    ASSERT_EQ(Run("plugin_invoke({plugin = ECHO, req_id = 4, inst = made})"), 0)
        << qm::TaxLua().LastScriptError();
    EXPECT_FALSE(Handles().IsLive(handle));
    const std::string message = ErrorOfResolving(std::to_string(handle));
    EXPECT_NE(message.find("inst"), std::string::npos) << message;
    EXPECT_NE(message.find(std::to_string(handle)), std::string::npos) << message;
    // Destroying it twice is the same clear error.
    EXPECT_THROW(Run("plugin_invoke({plugin = ECHO, req_id = 4, inst = made})"), corvane::EPlugin);
}

TEST_F(HandlesFromScripts, HandlesOfAnUnloadedLibraryGoStale) {
    const std::int32_t handle = CreateObject("owned by the library");
    ASSERT_TRUE(Handles().IsLive(handle));
    ASSERT_EQ(Run("plugin_unload({plugin = ECHO})"), 0) << qm::TaxLua().LastScriptError();
    EXPECT_FALSE(Handles().IsLive(handle)) << "the library's objects left the table when it was unloaded";
    // The library is loaded afresh for this request; the old handle names nothing in it.
    EXPECT_NE(ErrorOfResolving(std::to_string(handle)).find("inst"), std::string::npos);
}

TEST_F(HandlesFromScripts, ForgedHandlesAreClearErrors) {
    CreateObject("a real one, so the table is not empty");
    std::vector<std::string> forged = {
        "0", "-1", "-2147483648", "2147483647", "\"1234567\"", "\"not a number\"", "2^40", "-2^40"};
    // A fresh seed each run, printed so that a failing run can be replayed with QM_HANDLE_SEED.
    const char* given = std::getenv("QM_HANDLE_SEED");
    const std::uint32_t seed = given != nullptr ? static_cast<std::uint32_t>(std::strtoul(given, nullptr, 10))
                                                : std::random_device{}();
    RecordProperty("seed", std::to_string(seed));
    SCOPED_TRACE("seed " + std::to_string(seed) + " (QM_HANDLE_SEED replays it)");
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::int32_t> anyNumber(std::numeric_limits<std::int32_t>::min(),
                                                          std::numeric_limits<std::int32_t>::max());
    while (forged.size() < 40) {
        const std::int32_t number = anyNumber(random);
        if (!Handles().IsLive(number))
            forged.push_back(std::to_string(number));
    }
    for (const std::string& value : forged) {
        SCOPED_TRACE(value);
        const std::string message = ErrorOfResolving(value);
        EXPECT_NE(message.find("inst"), std::string::npos) << message;
    }
    // Without the key at all.
    EXPECT_THROW(Run("plugin_invoke({plugin = ECHO, req_id = 3})"), corvane::EPlugin);
}

TEST_F(HandlesFromScripts, AHandleOfAnotherKindIsAClearError) {
    // A live object of another kind, as a page of the desk would be.
    const auto page = std::make_unique<int>(7);
    const std::int32_t handle = Handles().Register(page.get(), corvane::kHandlePage);
    const std::string message = ErrorOfResolving(std::to_string(handle));
    Handles().Unregister(page.get());
    EXPECT_NE(message.find("inst"), std::string::npos) << message;
    EXPECT_EQ(*page, 7);
}

TEST(HandleTable, ResolveFromCode) {
    const std::string location = "HandleTable.ResolveFromCode";
    auto object = std::make_unique<double>(1.5);
    const std::int32_t handle = Handles().Register(object.get(), corvane::kHandleControl);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(Handles().Register(object.get(), corvane::kHandleForm), handle) << "an object keeps its handle";
    EXPECT_EQ(Handles().HandleOf(object.get()), handle);

    EXPECT_EQ(Handles().Resolve(handle, corvane::kHandleControl, "inst", location), object.get());
    EXPECT_EQ(Handles().Resolve(handle, corvane::kHandleControl | corvane::kHandleForm, "inst", location),
              object.get());
    EXPECT_THROW(Handles().Resolve(handle, corvane::kHandlePage, "inst", location), corvane::EPlugin);
    EXPECT_THROW(Handles().Resolve(handle, corvane::kHandleForm | corvane::kHandlePage, "inst", location),
                 corvane::EPlugin);

    // Through a request document, as handlers read it.
    corvane::TBSONDocument doc;
    doc.SetDouble("page_inst", handle);
    EXPECT_EQ(Handles().Resolve(doc, "page_inst", corvane::kHandleForm, location), object.get());
    try {
        Handles().Resolve(doc, "wctrl_inst", corvane::kHandleForm, location);
        FAIL() << "a missing key resolved";
    } catch (const corvane::EPlugin& error) {
        EXPECT_NE(error.Message().find("wctrl_inst"), std::string::npos) << error.Message();
    }

    for (std::int32_t forged : {0, -1, std::numeric_limits<std::int32_t>::min()}) {
        try {
            Handles().Resolve(forged, corvane::kHandleControl, "inst", location);
            ADD_FAILURE() << forged << " resolved";
        } catch (const corvane::EPlugin& error) {
            EXPECT_EQ(error.Location(), location);
        }
    }

    // Once the object is gone its handle stays dead, even when the same address is registered
    // again: the new registration gets a new number.
    Handles().Unregister(object.get());
    EXPECT_FALSE(Handles().IsLive(handle));
    EXPECT_THROW(Handles().Resolve(handle, corvane::kHandleControl, "inst", location), corvane::EPlugin);
    const std::int32_t again = Handles().Register(object.get(), corvane::kHandleControl);
    EXPECT_NE(again, handle);
    EXPECT_THROW(Handles().Resolve(handle, corvane::kHandleControl, "inst", location), corvane::EPlugin);
    Handles().Unregister(object.get());
    EXPECT_EQ(Handles().HandleOf(object.get()), 0);
}

} // namespace
