#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "corvane/BsonDocument.h"
#include "corvane/Errors.h"

using namespace corvane;

TEST(Document, RequestDocumentCarriesItsNumberAsIntegerItem) {
    IDataDocument doc = TakeDataDocument(206, 0);
    ASSERT_EQ(doc->GetCount(), 1);
    const TBSONItem& command = doc->GetValue("@ReqCMD");
    EXPECT_EQ(command.Kind(), TBSONItemKind::Int);
    EXPECT_EQ(command.AsInteger(), 206);
    EXPECT_EQ(TakeDataDocument()->GetCount(), 0);
}

TEST(Document, SetValueReplacesInPlaceAndKeepsOrder) {
    TBSONDocument doc;
    doc.SetString("a", "1");
    doc.SetDouble("b", 2);
    doc.SetString("c", "3");
    doc.SetInteger("b", 20);
    ASSERT_EQ(doc.GetCount(), 3);
    EXPECT_EQ(doc.GetItem(0).Name(), "a");
    EXPECT_EQ(doc.GetItem(1).Name(), "b");
    EXPECT_EQ(doc.GetItem(1).Kind(), TBSONItemKind::Int);
    EXPECT_EQ(doc.GetItem(1).AsInteger(), 20);
    EXPECT_EQ(doc.GetItem(2).Name(), "c");
    EXPECT_TRUE(doc.Remove("a"));
    EXPECT_FALSE(doc.HasItem("a"));
    EXPECT_FALSE(doc.Remove("a"));
}

TEST(Document, NamesAreExact) {
    TBSONDocument doc;
    doc.SetString("plugin", "uip");
    EXPECT_TRUE(doc.HasItem("plugin"));
    EXPECT_FALSE(doc.HasItem("Plugin"));
}

TEST(Document, AssignIsADeepCopy) {
    TBSONDocument original;
    original.SetString("caption", "发票");
    original.SetDouble("left", -200);
    TBSONDocument copy;
    copy.SetString("stale", "x");
    copy.Assign(original);
    original.GetValue("caption").SetAsString("changed");
    EXPECT_FALSE(copy.HasItem("stale"));
    EXPECT_EQ(copy.GetValue("caption").AsString(), "发票");
    EXPECT_EQ(copy.GetValue("left").AsInteger(), -200);
    copy.Assign(copy);
    EXPECT_EQ(copy.GetCount(), 2);
}

TEST(Document, MissingRequiredKeyNamesTheKey) {
    TBSONDocument doc;
    try {
        (void)doc.GetValue("wctrl_inst");
        FAIL() << "no error";
    } catch (const EPlugin& error) {
        EXPECT_NE(error.Message().find("wctrl_inst"), std::string::npos) << error.Message();
    }
    EXPECT_THROW((void)doc.GetItem(0), EPlugin);
}

TEST(Items, ScriptNumbersReadAsIntegers) {
    TBSONDoubleItem number("left", 103.0);
    EXPECT_EQ(number.AsInteger(), 103);
    EXPECT_EQ(number.AsString(), "103");
    EXPECT_EQ(TBSONDoubleItem("x", 2.75).AsInteger(), 2);
    EXPECT_EQ(TBSONDoubleItem("x", -2.75).AsInteger(), -2);
    EXPECT_EQ(TBSONDoubleItem("x", 2.5).AsString(), "2.5");
    EXPECT_EQ(TBSONDoubleItem("x", -2147483648.0).AsInteger(), INT32_MIN);
}

TEST(Items, ImpossibleConversionsRaiseInsteadOfGuessing) {
    EXPECT_THROW((void)TBSONDoubleItem("x", 3e10).AsInteger(), EPlugin);
    EXPECT_THROW((void)TBSONDoubleItem("x", std::nan("")).AsInteger(), EPlugin);
    EXPECT_THROW((void)TBSONStringItem("left", "abc").AsInteger(), EPlugin);
    EXPECT_THROW((void)TBSONStringItem("left", "12abc").AsInteger(), EPlugin);
    EXPECT_THROW((void)TBSONStringItem("left", "99999999999").AsInteger(), EPlugin);
    EXPECT_THROW((void)TBSONStringItem("flag", "maybe").AsBoolean(), EPlugin);
    TBSONIntItem integer("n", 1);
    EXPECT_THROW(integer.SetAsString("1.5"), EPlugin);
    EXPECT_THROW(integer.SetAsFloat(1e12), EPlugin);
    EXPECT_EQ(integer.AsInteger(), 1);
}

TEST(Items, TextAndNumbersConvert) {
    EXPECT_EQ(TBSONStringItem("n", " 42 ").AsInteger(), 42);
    EXPECT_EQ(TBSONStringItem("n", "-7").AsInteger(), -7);
    EXPECT_DOUBLE_EQ(TBSONStringItem("n", "3.5").AsFloat(), 3.5);
    EXPECT_TRUE(TBSONStringItem("b", "True").AsBoolean());
    EXPECT_EQ(TBSONIntItem("n", -5).AsString(), "-5");
    EXPECT_EQ(TBSONBooleanItem("b", true).AsInteger(), 1);
    EXPECT_EQ(TBSONBooleanItem("b", false).AsString(), "False");
    TBSONStringItem text("t", "");
    text.SetAsFloat(0.25);
    EXPECT_EQ(text.AsString(), "0.25");
}
