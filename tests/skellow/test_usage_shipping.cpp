// Shipping statistics files with the real log-sending component to the reference server's logging
// service, switched to accept, refuse or be away.
#include "skellow/LogSender.h"
#include "skellow/UsageRecorder.h"
#include "skellow/UsageShipper.h"
#include "tests/skellow/SkellowTestSupport.h"
#include "tests/support/ReferenceServer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using qm::skellow::TUsageEvent;
using skellow_test::FilesIn;

class UsageShippingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        std::filesystem::create_directories(Folder());
        std::filesystem::create_directories(Data());
        server_ = std::make_unique<qm::test::ReferenceServer>(
            Data(), std::vector<std::string>{"--data", Data(), "--test-routes"});
    }

    std::string Folder() const { return dir_.filePath(QStringLiteral("BKLOG")).toStdString() + "/"; }
    std::string Data() const { return dir_.filePath(QStringLiteral("data")).toStdString(); }

    // Records one event for user in a file of its own.
    void RecordFile(const std::string& user, const std::string& key) {
        qm::skellow::TUsageRecorder recorder(
            Folder(), [] { return qm::skellow::CreateRegistrationNumber("/nonexistent/SysConfig.Xml"); },
            [](std::string_view) {});
        TUsageEvent event{"1", "0.1", "u", key, user};
        event.Normalise();
        recorder.Record(event);
    }

    qm::skellow::TUsageShipper Shipper(std::optional<qm::skellow::TLogServiceConfig> config) {
        return qm::skellow::TUsageShipper(
            Folder(),
            [config](corvane::TStopToken* stop) { return qm::skellow::CreateSendLog(config, stop); },
            [this](std::string_view line) { log_.emplace_back(line); });
    }
    qm::skellow::TUsageShipper Shipper() {
        return Shipper(qm::skellow::TLogServiceConfig{server_->BaseURL(), 5});
    }

    QTemporaryDir dir_;
    std::unique_ptr<qm::test::ReferenceServer> server_;
    std::vector<std::string> log_;
};

// CanSend false (service away, nobody listening, not configured): nothing deleted, nothing logged.
TEST_F(UsageShippingTest, WhenSendingIsNotPossibleFilesStayAndNothingIsLogged) {
    RecordFile("ann", "K1");
    skellow_test::SwitchLogService(server_->BaseURL(), "away");
    Shipper().ShipAll();
    Shipper(std::nullopt).ShipAll();
    Shipper(qm::skellow::TLogServiceConfig{"http://127.0.0.1:9", 2}).ShipAll();
    EXPECT_EQ(FilesIn(Folder()), 1u);
    EXPECT_TRUE(log_.empty());
    EXPECT_EQ(skellow_test::LogSummary(server_->BaseURL())["total"], 0);
}

// Every code in the result is logged; "#00" deletes the file even with "#02" beside it, and without
// "#00" the file stays and shipping stops for this turn.
TEST_F(UsageShippingTest, ResultCodesDecideAndAreLogged) {
    RecordFile("ann", "K1");
    skellow_test::SwitchLogService(server_->BaseURL(), "refuse");
    Shipper().ShipAll();
    EXPECT_EQ(FilesIn(Folder()), 1u);
    EXPECT_EQ(log_, std::vector<std::string>{"功能统计：网络异常"});

    log_.clear();
    skellow_test::SwitchLogService(server_->BaseURL(), "accept", " #02");
    Shipper().ShipAll();
    EXPECT_EQ(FilesIn(Folder()), 0u);
    EXPECT_EQ(log_, std::vector<std::string>{"功能统计：网络异常"});
    const nlohmann::json summary = skellow_test::LogSummary(server_->BaseURL());
    EXPECT_EQ(summary["files"], 1);
    EXPECT_EQ(summary["total"], 1);
    EXPECT_EQ(summary["counts"][0]["user"], "ann");
    EXPECT_EQ(summary["counts"][0]["functionKey"], "K1");
}

// A file the service finds invalid ("#03") and an unreadable file are logged; the unreadable one is
// set aside so that the files after it are still shipped.
TEST_F(UsageShippingTest, BadFilesAreLoggedAndTheNextOnesShipped) {
    skellow_test::WriteBytes(Folder() + "A_broken.xml", "<Behavior><Data>");
    RecordFile("ann", "K1");
    Shipper().ShipAll();
    EXPECT_EQ(FilesIn(Folder()), 0u);
    EXPECT_EQ(FilesIn(Folder(), ".bad"), 1u);
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0].rfind("功能统计：统计文件无法读取，已另存为.bad：", 0), 0u) << log_[0];
    EXPECT_EQ(skellow_test::LogSummary(server_->BaseURL())["total"], 1);

    log_.clear();
    const auto sender = qm::skellow::CreateSendLog(qm::skellow::TLogServiceConfig{server_->BaseURL(), 5});
    EXPECT_EQ(sender->SendLog("{\"FProductID\":\"1\"}", "f1"), "#03");
    EXPECT_EQ(sender->SendLog("[]", "f1"), "#03");
    EXPECT_EQ(sender->SendLog("not json", "f1"), "#03");
    EXPECT_EQ(qm::skellow::ResultCodeLogLines("#03"), std::vector<std::string>{"功能统计：发送的数据不对"});
    sender->SetSendComplete();
    EXPECT_EQ(sender->SendLog("{}", "f1"), "#01");
}

// A file sent again under its identifier (a desk that died between acceptance and deletion, then
// counted more into the same file) replaces what the service stored: nothing is counted twice.
TEST_F(UsageShippingTest, AFileSentTwiceIsCountedOnce) {
    RecordFile("ann", "K1");
    const std::string file = Folder() + "Behavior.xml";
    const std::string copy = skellow_test::ReadBytes(file);
    Shipper().ShipAll();
    ASSERT_EQ(FilesIn(Folder()), 0u);
    skellow_test::WriteBytes(file, copy); // as if the deletion never happened
    RecordFile("ann", "K1");
    Shipper().ShipAll();
    EXPECT_EQ(FilesIn(Folder()), 0u);
    const nlohmann::json summary = skellow_test::LogSummary(server_->BaseURL());
    EXPECT_EQ(summary["files"], 1);
    EXPECT_EQ(summary["total"], 2);
}

} // namespace
