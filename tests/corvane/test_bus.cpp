#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include <unistd.h>

#include "corvane/Errors.h"
#include "corvane/Khan.h"
#include "corvane/Plugin.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

const std::string kPluginDir = BUS_PLUGIN_DIR;
const std::string kProbe = kPluginDir + "BusProbe.dll"; // installation data names libraries ".dll"

class TTestHost : public TClientPlugin {
public:
    void REQ_2(const TBSONDocument&, TBSONDocument& res) { res.SetInteger("border_pixel", 3); }

protected:
    std::span<const TPublishedMethod> PublishedMethods() const noexcept override {
        static const TPublishedMethod methods[] = {CORVANE_PUBLISH(TTestHost, REQ_2)};
        return methods;
    }
};

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EPlugin& error) {
        return error.Message();
    }
    return "<no EPlugin>";
}

int Count(const std::string& address) { return Khan().Invoke(address, TakeDataDocument(1, 0))->GetValue("count").AsInteger(); }

class Bus : public ::testing::Test {
protected:
    void TearDown() override { Khan_Free(); }
};

} // namespace

TEST_F(Bus, HostRequestsGoToTheHostPlugin) {
    EXPECT_NE(ErrorOf([] { Khan().Invoke("uip", TakeDataDocument(2, 0)); }).find("uip"), std::string::npos);
    TTestHost host;
    Khan().SetHostPlugin(&host);
    EXPECT_EQ(Khan().Invoke("uip", TakeDataDocument(2, 0))->GetValue("border_pixel").AsInteger(), 3);
    const std::string missing = ErrorOf([] { Khan().Invoke("uip", TakeDataDocument(77, 0)); });
    EXPECT_NE(missing.find("uip"), std::string::npos) << missing;
    EXPECT_NE(missing.find("77"), std::string::npos) << missing;
    Khan_Free();
    EXPECT_EQ(Khan().HostPlugin(), nullptr);
}

TEST_F(Bus, DllAddressReachesTheSharedLibrary) {
    EXPECT_EQ(LibraryAddress(kProbe), kPluginDir + "BusProbe.so");
    EXPECT_EQ(LibraryAddress(kPluginDir + "BusProbe.DLL"), kPluginDir + "BusProbe.so");
    EXPECT_TRUE(PluginFileExists(kProbe));
    EXPECT_FALSE(PluginFileExists(kPluginDir + "Absent.dll"));
    EXPECT_EQ(Count(kProbe), 1);
    EXPECT_EQ(Count(kPluginDir + "BusProbe.so"), 2) << "both spellings reach one loaded library";
    EXPECT_EQ(Count(kPluginDir + "../plugins/BusProbe.dll"), 3);
}

TEST_F(Bus, ExistingDllFileIsTakenAsItIs) {
    const fs::path dir = fs::temp_directory_path() / ("bus_dll_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string dll = (dir / "Real.dll").string();
    std::ofstream(dll) << "x";
    EXPECT_EQ(LibraryAddress(dll), dll);
    EXPECT_EQ(LibraryAddress((dir / "Real.txt").string()), (dir / "Real.txt").string());
    fs::remove_all(dir);
}

TEST_F(Bus, UnloadThenInvokeLoadsAfresh) {
    EXPECT_EQ(Count(kProbe), 1);
    EXPECT_EQ(Count(kProbe), 2);
    Khan().UnloadPlugin(kProbe);
    EXPECT_FALSE(Khan().IsLoaded(kProbe));
    EXPECT_EQ(Count(kProbe), 1);
    Khan().UnloadPlugin(kPluginDir + "NeverLoaded.dll"); // nothing to do, no error
}

TEST_F(Bus, LibraryUnloadingItselfStaysUntilItsRequestReturns) {
    EXPECT_EQ(Count(kProbe), 1);
    auto request = TakeDataDocument(2, 0);
    request->SetString("self", kProbe);
    auto answer = Khan().Invoke(kProbe, *request);
    EXPECT_EQ(answer->GetValue("after_unload").AsString(), "still here");
    EXPECT_EQ(answer->GetValue("count").AsInteger(), 2);
    EXPECT_FALSE(Khan().IsLoaded(kProbe));
    EXPECT_EQ(Count(kProbe), 1);
}

TEST_F(Bus, FailuresNameTheAddressAndTheRequest) {
    const std::string nowhere = ErrorOf([] { Khan().Invoke("/no/such/dir/Nowhere.dll", TakeDataDocument(31, 0)); });
    EXPECT_NE(nowhere.find("/no/such/dir/Nowhere.dll"), std::string::npos) << nowhere;
    EXPECT_NE(nowhere.find("31"), std::string::npos) << nowhere;

    const std::string noExport = ErrorOf([] { Khan().Invoke(kPluginDir + "BusNoExport.dll", TakeDataDocument(5, 0)); });
    EXPECT_NE(noExport.find("BusNoExport.dll"), std::string::npos) << noExport;
    EXPECT_NE(noExport.find("CreatePlugin"), std::string::npos) << noExport;
    EXPECT_NE(noExport.find('5'), std::string::npos) << noExport;

    const std::string noHandler = ErrorOf([] { Khan().Invoke(kProbe, TakeDataDocument(99, 0)); });
    EXPECT_NE(noHandler.find("BusProbe.dll"), std::string::npos) << noHandler;
    EXPECT_NE(noHandler.find("REQ_99"), std::string::npos) << noHandler;

    EXPECT_NE(ErrorOf([] { Khan().Invoke(kProbe, TBSONDocument()); }).find("@ReqCMD"), std::string::npos);
}

TEST_F(Bus, UnloadableFileGivesTheLoadersOwnText) {
    const fs::path dir = fs::temp_directory_path() / ("bus_broken_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string broken = (dir / "Broken.so").string();
    std::ofstream(broken) << "this is not a shared library";
    const std::string message = ErrorOf([&] { Khan().Invoke((dir / "Broken.dll").string(), TakeDataDocument(4, 0)); });
    EXPECT_NE(message.find("Broken.dll"), std::string::npos) << message;
    EXPECT_NE(message.find("Broken.so"), std::string::npos) << "the loader's text names the file: " << message;
    EXPECT_NE(message.find('4'), std::string::npos) << message;
    fs::remove_all(dir);
}

TEST_F(Bus, HandlerErrorsReachTheSender) {
    try {
        Khan().Invoke(kProbe, TakeDataDocument(3, 0));
        FAIL() << "no error";
    } catch (const EPlugin& error) {
        EXPECT_EQ(error.Message(), "probe failure");
        EXPECT_EQ(error.Location(), "TBusProbePlugin.REQ_3");
    }
    const std::string missingKey = ErrorOf([] { Khan().Invoke(kProbe, TakeDataDocument(4, 0)); });
    EXPECT_NE(missingKey.find("required"), std::string::npos) << missingKey;
    EXPECT_TRUE(Khan().IsLoaded(kProbe)) << "a failing request keeps its library";
}

TEST_F(Bus, ScriptNumberSelectsTheHandler) {
    TBSONDocument request;
    request.SetDouble("@ReqCMD", 1.0);
    EXPECT_EQ(Khan().Invoke(kProbe, request)->GetValue("count").AsInteger(), 1);
}

TEST_F(Bus, FreeReleasesEveryLibrary) {
    Count(kProbe);
    Khan_Free();
    EXPECT_FALSE(Khan().IsLoaded(kProbe));
    EXPECT_EQ(Count(kProbe), 1);
}
