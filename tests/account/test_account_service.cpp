#include <gtest/gtest.h>

#include "common/AccountService.h"
#include "corvane/Errors.h"

using qm::TAutoValue;

TEST(AccountService, MissingComponentIsAClearError) {
    try {
        (void)qm::CreateBrennikApi();
        FAIL() << "no error";
    } catch (const corvane::ETax& error) {
        EXPECT_NE(error.Message().find("MERIDAPI.BrennikApi"), std::string::npos) << error.Message();
    }
}

TEST(AutoValue, ConversionsCallSitesRelyOn) {
    // Register and LoginAPI with a text token: boolean.
    EXPECT_TRUE(TAutoValue(true).AsBoolean());
    EXPECT_TRUE(TAutoValue("True").AsBoolean());
    EXPECT_FALSE(TAutoValue("false").AsBoolean());
    EXPECT_TRUE(TAutoValue("1").AsBoolean());
    EXPECT_FALSE(TAutoValue().AsBoolean());
    // LoginAPI with the value NewToken gave: integer, 1 = logged in.
    EXPECT_EQ(TAutoValue(true).AsInteger(), 1);
    EXPECT_EQ(TAutoValue("1").AsInteger(), 1);
    EXPECT_EQ(TAutoValue(std::int64_t{0}).AsInteger(), 0);
    EXPECT_EQ(TAutoValue(2.6).AsInteger(), 3);
    // NewToken, UrlEncodeStr, BuildTokenLoginUrl: text; nothing is the empty text.
    EXPECT_EQ(TAutoValue().AsString(), "");
    EXPECT_EQ(TAutoValue("tok-1").AsString(), "tok-1");
    EXPECT_EQ(TAutoValue(42).AsString(), "42");
    EXPECT_EQ(TAutoValue(false).AsString(), "False");
}

TEST(AutoValue, NonsenseConversionsRaise) {
    EXPECT_THROW((void)TAutoValue("yes please").AsBoolean(), corvane::ETax);
    EXPECT_THROW((void)TAutoValue("").AsInteger(), corvane::ETax);
    EXPECT_THROW((void)TAutoValue("12x").AsInteger(), corvane::ETax);
    EXPECT_THROW((void)TAutoValue(std::int64_t{1} << 40).AsInteger(), corvane::ETax);
    EXPECT_THROW((void)TAutoValue(1e300).AsInteger(), corvane::ETax);
}
