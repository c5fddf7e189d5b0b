// "Porlock.xml", the remembered users: most recent first, the last user untouched, GB2312 on disk.
#include "login/UserList.h"
#include "tests/login/LoginTestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using login_test::ReadBytes;
using StringList = std::vector<std::string>;

class UserListTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    const std::string file_ = dir_.filePath(QStringLiteral("Porlock.xml")).toStdString();
};

TEST_F(UserListTest, CreatesAGb2312FileInWhichChineseNamesSurvive) {
    qm::RecordUser(file_, "张三", "2024-03-01 09:15");
    const std::string bytes = ReadBytes(file_);
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"GB2312\"?>", 0), 0u) << bytes;
    // "张三" in GB2312.
    EXPECT_NE(bytes.find("\xD5\xC5\xC8\xFD"), std::string::npos);
    EXPECT_EQ(bytes.find("张三"), std::string::npos) << "the name was written in UTF-8";
    EXPECT_NE(bytes.find("<LoginTime>2024-03-01 09:15</LoginTime>"), std::string::npos);
    EXPECT_EQ(qm::ReadRememberedUsers(file_), StringList{"张三"});
    EXPECT_EQ(qm::ReadLastUser(file_), "张三");
}

TEST_F(UserListTest, MovesTheUserToTheTopAndLeavesTheLastUserAlone) {
    qm::RecordUser(file_, "alice", "2024-03-01 09:00");
    qm::RecordUser(file_, "bob", "2024-03-01 10:00");
    qm::RecordUser(file_, "carol", "2024-03-01 11:00");
    EXPECT_EQ(qm::ReadRememberedUsers(file_), (StringList{"carol", "bob", "alice"}));

    // An older entry of the same name goes; the user comes first with the new time.
    qm::RecordUser(file_, "alice", "2024-03-02 08:00");
    EXPECT_EQ(qm::ReadRememberedUsers(file_), (StringList{"alice", "carol", "bob"}));
    EXPECT_EQ(qm::ReadLastUser(file_), "alice");
    const std::string before = ReadBytes(file_);
    EXPECT_NE(before.find("2024-03-02 08:00"), std::string::npos);
    EXPECT_EQ(before.find("2024-03-01 09:00"), std::string::npos);

    // Logging in again as the last user (stored in capitals by someone else) changes nothing.
    qm::RecordUser(file_, "alice", "2024-03-03 08:00");
    EXPECT_EQ(ReadBytes(file_), before);
    login_test::WriteBytes(file_, "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<Root><UserList>"
                                  "<User><Name>dave</Name></User></UserList>"
                                  "<LastUser><Name>DAVE</Name></LastUser></Root>\n");
    const std::string capitals = ReadBytes(file_);
    qm::RecordUser(file_, "dave", "2024-03-03 08:00");
    EXPECT_EQ(ReadBytes(file_), capitals);
    // Empty names are never recorded.
    qm::RecordUser(file_, "", "2024-03-03 08:00");
    EXPECT_EQ(ReadBytes(file_), capitals);
}

TEST_F(UserListTest, LeavesFilesItCannotReadAsTheyAre) {
    const std::string broken = "<Root><UserList><User><Name>eve</Name></User>";
    login_test::WriteBytes(file_, broken);
    EXPECT_TRUE(qm::ReadRememberedUsers(file_).empty());
    qm::RecordUser(file_, "frank", "2024-03-03 08:00");
    EXPECT_EQ(ReadBytes(file_), broken);
}

} // namespace
