#include "TestFiles.h"
#include "common/Configs.h"
#include "common/Paths.h"
#include "corvane/Errors.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

// These tests use the real accessors, so they work on Config/ next to this test program (its own
// folder, which nothing else uses) and remove it again.
namespace {

class ConfigAccessors : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(qm::ConfigPath());
        std::filesystem::create_directories(qm::ConfigPath());
    }
    void TearDown() override { std::filesystem::remove_all(qm::ConfigPath()); }
};

} // namespace

TEST_F(ConfigAccessors, MalformedFileRaisesForTheFirstCallerOnly) {
    const std::string bytes = "<params><app_title>Quillmere</app_title><params>";
    qm::test::WriteBytes(qm::SysConfigFile(), bytes);

    std::string message;
    try {
        qm::SysConfig();
    } catch (const corvane::ETax& error) {
        message = error.Message();
    }
    ASSERT_FALSE(message.empty()) << "the first call did not raise";
    EXPECT_NE(message.find(qm::SysConfigFile()), std::string::npos) << message;

    // Later calls hand out the same object, without loading again and without raising.
    qm::TXmlConfig* config = nullptr;
    ASSERT_NO_THROW(config = &qm::SysConfig());
    EXPECT_EQ(config, &qm::SysConfig());
    EXPECT_EQ(config->FileName(), qm::SysConfigFile());
    EXPECT_EQ(config->ReadString(qm::ConfigKey::AppTitle), "");

    // Nor does a write replace the file the user may still repair.
    try {
        config->WriteString(qm::ConfigKey::AppTitle, "x");
        ADD_FAILURE() << "the write went through";
    } catch (const corvane::ETax& error) {
        EXPECT_EQ(error.Message(), message);
    }
    EXPECT_EQ(qm::test::ReadBytes(qm::SysConfigFile()), bytes);
}

TEST_F(ConfigAccessors, MissingFileIsReadAsEmptyAndNotCreated) {
    qm::TXmlConfig& config = qm::UserConfig();
    EXPECT_EQ(&config, &qm::UserConfig());
    EXPECT_EQ(config.FileName(), qm::UserConfigFile());
    EXPECT_EQ(config.ReadString(qm::ConfigKey::BenchBg), "");
    EXPECT_EQ(config.ReadInteger(qm::ConfigKey::AppType), 0);
    EXPECT_FALSE(std::filesystem::exists(qm::UserConfigFile()));

    // The object is bound to the file, which the first write creates.
    config.WriteString(qm::ConfigKey::BenchBg, "desk\\bg.png");
    qm::TXmlConfig reread;
    reread.Open(qm::UserConfigFile());
    EXPECT_EQ(reread.ReadString(qm::ConfigKey::BenchBg), "desk\\bg.png");
}
