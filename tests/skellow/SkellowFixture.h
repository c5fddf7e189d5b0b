#pragma once

#include "common/Paths.h"
#include "corvane/Khan.h"
#include "host/UIPlugin.h"
#include "tests/skellow/SkellowTestSupport.h"
#include "tests/support/ReferenceServer.h"

#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace skellow_test {

// The test program's folder is the installation: Skellow.so beside it, the login plug-in in
// Plugins/Login/, Config/ and Plugins/Appstore/ written by the tests. The real host plugin sits in
// the host slot; the reference server (account and logging services) runs on a data folder of its
// own. Every test starts with no statistics, no log and a fresh plug-in.
class SkellowFixture : public ::testing::Test {
public:
    // A usage event as the host sends it.
    static corvane::IDataDocument UsageEvent(const std::string& user, const std::string& key) {
        corvane::IDataDocument event = corvane::TakeDataDocument(301, 0);
        event->SetString("FProductID", "1");
        event->SetString("FProductVer", "0.1.0");
        event->SetString("FBKUser", user);
        event->SetString("FFunctionKey", key);
        if (!user.empty())
            event->SetString("LogName", user);
        return event;
    }

    // Waits (at most timeout) until done() holds; false when it never did.
    static bool WaitFor(const std::function<bool()>& done,
                        std::chrono::seconds timeout = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return done();
    }

protected:
    void SetUp() override {
        std::filesystem::remove_all(Folder());
        std::filesystem::remove_all(qm::AppPath() + "Log");
        std::filesystem::remove(qm::ConfigPath() + "SysConfig.Xml");
        std::filesystem::create_directories(qm::ConfigPath());
        std::filesystem::create_directories(qm::AppPath() + "Plugins/Appstore");
        std::filesystem::create_directories(Data());
        server_ = std::make_unique<qm::test::ReferenceServer>(
            Data(), std::vector<std::string>{"--data", Data(), "--test-routes"});
        WriteBranding(server_->BaseURL());
        corvane::Khan().SetHostPlugin(&host_);
    }
    void TearDown() override {
        corvane::Khan_Free();
        std::filesystem::remove(BrandingPath());
    }

    static std::string Folder() { return qm::AppPath() + "BKLOG/"; }
    static std::string Skellow() { return qm::AppPath() + "Skellow.dll"; }
    static std::string BrandingPath() { return qm::ConfigPath() + "brennik.xml"; }
    std::string Data() const { return dataDir_.path().toStdString(); }

    // brennik.xml naming the services at base, and more children.
    static void WriteBranding(const std::string& base, const std::string& more = "",
                              int logTimeoutSeconds = 5) {
        WriteBytes(BrandingPath(), "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<brennik>"
                                   "<accountservice_addr>" +
                                       base + "</accountservice_addr><logservice_addr>" + base +
                                       "</logservice_addr><logservice_timeout>" +
                                       std::to_string(logTimeoutSeconds) + "</logservice_timeout>" + more +
                                       "</brennik>\r\n");
    }

    long long Stored() const { return LogSummary(server_->BaseURL())["total"].get<long long>(); }

    // The installation's log file text ("" when nothing was logged).
    static std::string LogText() {
        std::string text;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(qm::AppPath() + "Log", error))
            text += ReadBytes(entry.path().string());
        return text;
    }

    QTemporaryDir dataDir_;
    std::unique_ptr<qm::test::ReferenceServer> server_;
    qm::TUIPlugin host_;
};

} // namespace skellow_test
