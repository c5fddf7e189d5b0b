// Counting usage events in statistics files: the recorder on a folder of its own, with a clock the
// test sets, and the installation's real registration-number component.
#include "skellow/UsageRecorder.h"
#include "tests/skellow/SkellowTestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

using qm::skellow::TUsageEvent;
using qm::skellow::TUsageRecorder;
using skellow_test::ReadBytes;
using skellow_test::WriteBytes;

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

class UsageRecordingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        WriteBytes(SysConfig(), "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<params>"
                                "<product_regno>QM-2026-0001</product_regno></params>\r\n");
    }

    std::string Folder() const { return dir_.filePath(QStringLiteral("BKLOG")).toStdString() + "/"; }
    std::string SysConfig() const { return dir_.filePath(QStringLiteral("SysConfig.Xml")).toStdString(); }

    TUsageRecorder Recorder() {
        const std::string sysConfig = SysConfig();
        return TUsageRecorder(
            Folder(), [sysConfig] { return qm::skellow::CreateRegistrationNumber(sysConfig); },
            [this](std::string_view line) { log_.emplace_back(line); }, [this] { return now_; });
    }

    static TUsageEvent Event(const std::string& user, const std::string& key) {
        TUsageEvent event{"1", "0.1.0", "desk-user", key, user};
        event.Normalise();
        return event;
    }

    std::string FileText(const std::string& name = "Behavior.xml") { return ReadBytes(Folder() + name); }

    QTemporaryDir dir_;
    std::time_t now_ = LocalTime(2026, 3, 14, 9, 30, 0);
    std::vector<std::string> log_;
};

// The commonest file: one user, one day, one function, exactly as written.
TEST_F(UsageRecordingTest, AFirstEventWritesAGb2312FileWithCrLf) {
    TUsageRecorder recorder = Recorder();
    recorder.Record(Event("张三", "S2S007S005S001S001"));
    recorder.Flush();
    std::string text = FileText();
    const auto idStart = text.find("FFileID=\"") + 9;
    ASSERT_EQ(text.find('"', idStart) - idStart, 32u) << text;
    text.replace(idStart, 32, "ID");
    EXPECT_EQ(text, "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n"
                    "<Behavior FFileID=\"ID\">\r\n"
                    "  <Data>\r\n"
                    "    <FProductID>1</FProductID>\r\n"
                    "    <FProductVer>0.1.0</FProductVer>\r\n"
                    "    <FProductRegNO>QM-2026-0001</FProductRegNO>\r\n"
                    "    <FAccountName>0</FAccountName>\r\n"
                    "    <FAccountUser>0</FAccountUser>\r\n"
                    "    <FBKUser>\xD5\xC5\xC8\xFD</FBKUser>\r\n"
                    "    <FAdditionalInfo>0</FAdditionalInfo>\r\n"
                    "    <FOperationDays FOperationDay=\"20260314\">\r\n"
                    "      <FFunctions FFunctionKey=\"S2S007S005S001S001\" FOperationCount=\"1\"/>\r\n"
                    "    </FOperationDays>\r\n"
                    "  </Data>\r\n"
                    "</Behavior>\r\n");
    EXPECT_TRUE(log_.empty());
}

// Same key twice on a day counts 2; a new day appends to the same Data; another user appends a
// Data; an event without a user is counted for "0".
TEST_F(UsageRecordingTest, EventsAreCountedPerUserDayAndKey) {
    TUsageRecorder recorder = Recorder();
    struct TStep {
        int day;
        const char* user;
        const char* key;
    };
    const TStep steps[] = {{14, "ann", "K1"}, {14, "ann", "K1"}, {14, "ann", "K2"}, {15, "ann", "K1"},
                           {15, "bob", "K1"}, {15, "", "K1"},    {15, "ann", "K1"}, {15, "bob", "K1"}};
    for (const TStep& step : steps) {
        now_ = LocalTime(2026, 3, step.day, 10, 0, 0);
        recorder.Record(Event(step.user, step.key));
    }
    recorder.Flush();
    const std::string text = FileText();
    const std::string expected = "    <FBKUser>ann</FBKUser>\r\n"
                                 "    <FAdditionalInfo>0</FAdditionalInfo>\r\n"
                                 "    <FOperationDays FOperationDay=\"20260314\">\r\n"
                                 "      <FFunctions FFunctionKey=\"K1\" FOperationCount=\"2\"/>\r\n"
                                 "      <FFunctions FFunctionKey=\"K2\" FOperationCount=\"1\"/>\r\n"
                                 "    </FOperationDays>\r\n"
                                 "    <FOperationDays FOperationDay=\"20260315\">\r\n"
                                 "      <FFunctions FFunctionKey=\"K1\" FOperationCount=\"2\"/>\r\n"
                                 "    </FOperationDays>\r\n"
                                 "  </Data>\r\n";
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    const std::string bob = "    <FBKUser>bob</FBKUser>\r\n"
                            "    <FAdditionalInfo>0</FAdditionalInfo>\r\n"
                            "    <FOperationDays FOperationDay=\"20260315\">\r\n"
                            "      <FFunctions FFunctionKey=\"K1\" FOperationCount=\"2\"/>\r\n";
    EXPECT_NE(text.find(bob), std::string::npos) << text;
    const std::string nobody = "    <FBKUser>0</FBKUser>\r\n"
                               "    <FAdditionalInfo>0</FAdditionalInfo>\r\n"
                               "    <FOperationDays FOperationDay=\"20260315\">\r\n"
                               "      <FFunctions FFunctionKey=\"K1\" FOperationCount=\"1\"/>\r\n";
    EXPECT_NE(text.find(nobody), std::string::npos) << text;
    EXPECT_LT(text.find("<FBKUser>ann"), text.find("<FBKUser>bob"));
    EXPECT_LT(text.find("<FBKUser>bob"), text.find("<FBKUser>0"));
    EXPECT_EQ(skellow_test::CountsInFolder(Folder()), 8);
}

// A file that has reached 7300 bytes is left for shipping and a new one is started under a
// date-time prefixed name; one byte less is still recorded into.
TEST_F(UsageRecordingTest, AFileOf7300BytesIsRotated) {
    struct TCase {
        std::size_t size;
        bool rotated;
    };
    for (const TCase c : {TCase{7299, false}, TCase{7300, true}}) {
        SCOPED_TRACE(c.size);
        std::filesystem::remove_all(Folder());
        std::filesystem::create_directories(Folder());
        std::string old = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<Behavior FFileID=\"old\">"
                          "<Data><FBKUser>ann</FBKUser><FOperationDays FOperationDay=\"20260314\">"
                          "<FFunctions FFunctionKey=\"K1\" FOperationCount=\"5\"/></FOperationDays></Data>"
                          "</Behavior><!---->\r\n";
        old.insert(old.size() - 5, c.size - old.size(), 'x');
        ASSERT_EQ(old.size(), c.size);
        WriteBytes(Folder() + "Behavior.xml", old);

        TUsageRecorder recorder = Recorder();
        recorder.Record(Event("ann", "K1"));
        recorder.Flush();
        if (c.rotated) {
            EXPECT_EQ(recorder.CurrentFileName(), "20260314093000_Behavior.xml");
            EXPECT_EQ(FileText(), old);
            EXPECT_NE(FileText(recorder.CurrentFileName()).find("FOperationCount=\"1\""), std::string::npos);
            EXPECT_EQ(skellow_test::FilesIn(Folder()), 2u);
        } else {
            EXPECT_EQ(recorder.CurrentFileName(), "Behavior.xml");
            EXPECT_NE(FileText().find("FOperationCount=\"6\""), std::string::npos) << FileText();
            EXPECT_EQ(skellow_test::FilesIn(Folder()), 1u);
        }
        EXPECT_EQ(skellow_test::CountsInFolder(Folder()), 6);
    }
}

// Many rotations within one second: every new file gets a name of its own, and names do not grow
// (a prefix in front of the previous name for each rotation would soon pass the file system's
// limit on name length, and recording would fail from then on).
TEST_F(UsageRecordingTest, RotatedNamesStayShortAndDistinct) {
    TUsageRecorder recorder = Recorder();
    constexpr int kEvents = 3000;
    for (int i = 0; i < kEvents; ++i)
        recorder.Record(Event("ann", "S2S007S005S" + std::to_string(1000 + i) + "S001"));
    recorder.Flush();
    EXPECT_TRUE(log_.empty()) << log_.front();
    EXPECT_EQ(skellow_test::CountsInFolder(Folder()), kEvents);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "Behavior.xml" || name == "20260314093000_Behavior.xml" ||
                    (name.rfind("20260314093000_", 0) == 0 && name.size() <= 34))
            << name;
        EXPECT_LE(entry.file_size(), TUsageRecorder::kRotationBytes + 200);
        ++files;
    }
    EXPECT_GT(files, 30u);
    EXPECT_EQ(recorder.CurrentFileName().size(), std::string("20260314093000_99_Behavior.xml").size());
}

// A failing registration-number component is logged (the worker shows nothing) and its values
// count as "0"; a root without "Data" gets one; an unreadable file is set aside and a new one is
// started.
TEST_F(UsageRecordingTest, ProblemsAreLoggedAndRecordingGoesOn) {
    WriteBytes(SysConfig(), "<params><product_regno>broken");
    std::filesystem::create_directories(Folder());
    WriteBytes(Folder() + "Behavior.xml", "<?xml version=\"1.0\"?>\r\n<Behavior/>\r\n");
    TUsageRecorder recorder = Recorder();
    recorder.Record(Event("ann", "K1"));
    recorder.Flush();
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0].rfind("功能统计：注册号组件出错：", 0), 0u) << log_[0];
    const std::string text = FileText();
    EXPECT_NE(text.find("<FProductRegNO>0</FProductRegNO>"), std::string::npos) << text;
    EXPECT_EQ(skellow_test::CountsInFolder(Folder()), 1);

    log_.clear();
    WriteBytes(Folder() + "Behavior.xml", "<Behavior><Data>");
    recorder.Record(Event("ann", "K1"));
    recorder.Flush();
    ASSERT_EQ(log_.size(), 2u);
    EXPECT_EQ(log_[1].rfind("功能统计：统计文件无法读取，已另存为.bad：", 0), 0u) << log_[1];
    EXPECT_EQ(ReadBytes(Folder() + "Behavior.xml.bad"), "<Behavior><Data>");
    EXPECT_EQ(skellow_test::CountsInFolder(Folder()), 1);
}

} // namespace
