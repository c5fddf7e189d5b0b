// The JSON text the logging service receives for a statistics file.
#include "skellow/UsageJson.h"
#include "skellow/XmlFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

qm::skellow::TXmlDoc Parse(const std::string& xml) {
    return qm::skellow::TXmlDoc(
        xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "test.xml", nullptr, XML_PARSE_NOBLANKS));
}

const char* const kHead = "<FProductID>1</FProductID><FProductVer>0.1</FProductVer>"
                          "<FProductRegNO>R</FProductRegNO><FAccountName>0</FAccountName>"
                          "<FAccountUser>0</FAccountUser>";
const char* const kJsonHead =
    R"("FProductID":"1","FProductVer":"0.1","FProductRegNO":"R","FAccountName":"0",)"
    R"("FAccountUser":"0",)";

// Lists are arrays however many entries they hold, and several users make the content an array.
TEST(UsageJsonTest, StatisticsBecomeValidJsonOfTheServicesShape) {
    struct TCase {
        const char* name;
        std::string data;
        std::string json;
    };
    const std::string head = kHead;
    const std::string jsonHead = kJsonHead;
    const TCase cases[] = {
        {"one user, one day, one function",
         "<Data>" + head +
             "<FBKUser>张三</FBKUser><FAdditionalInfo>0</FAdditionalInfo>"
             "<FOperationDays FOperationDay=\"20260314\"><FFunctions FFunctionKey=\"K1\" "
             "FOperationCount=\"1\"/></FOperationDays></Data>",
         "{" + jsonHead +
             R"("FBKUser":"张三","FAdditionalInfo":"0","FOperationDays":[{"FOperationDay":"20260314",)"
             R"("FFunctions":[{"FFunctionKey":"K1","FOperationCount":"1"}]}]})"},
        {"two days, two functions",
         "<Data>" + head +
             "<FBKUser>a</FBKUser><FAdditionalInfo>x</FAdditionalInfo>"
             "<FOperationDays FOperationDay=\"20260314\"><FFunctions FFunctionKey=\"K1\" "
             "FOperationCount=\"2\"/><FFunctions FFunctionKey=\"K2\" FOperationCount=\"1\"/>"
             "</FOperationDays><FOperationDays FOperationDay=\"20260315\"><FFunctions "
             "FFunctionKey=\"K1\" FOperationCount=\"3\"/></FOperationDays></Data>",
         "{" + jsonHead +
             R"("FBKUser":"a","FAdditionalInfo":"x","FOperationDays":[{"FOperationDay":"20260314",)"
             R"("FFunctions":[{"FFunctionKey":"K1","FOperationCount":"2"},{"FFunctionKey":"K2",)"
             R"("FOperationCount":"1"}]},{"FOperationDay":"20260315","FFunctions":[{"FFunctionKey":)"
             R"("K1","FOperationCount":"3"}]}]})"},
        {"two users",
         "<Data>" + head +
             "<FBKUser>a</FBKUser><FAdditionalInfo>0</FAdditionalInfo>"
             "<FOperationDays FOperationDay=\"20260314\"><FFunctions FFunctionKey=\"K1\" "
             "FOperationCount=\"1\"/></FOperationDays></Data>"
             "<Data>" +
             head +
             "<FBKUser>b</FBKUser><FAdditionalInfo>0</FAdditionalInfo>"
             "<FOperationDays FOperationDay=\"20260314\"><FFunctions FFunctionKey=\"K1\" "
             "FOperationCount=\"4\"/></FOperationDays></Data>",
         "[{" + jsonHead +
             R"("FBKUser":"a","FAdditionalInfo":"0","FOperationDays":[{"FOperationDay":"20260314",)"
             R"("FFunctions":[{"FFunctionKey":"K1","FOperationCount":"1"}]}]},{)" +
             jsonHead +
             R"("FBKUser":"b","FAdditionalInfo":"0","FOperationDays":[{"FOperationDay":"20260314",)"
             R"("FFunctions":[{"FFunctionKey":"K1","FOperationCount":"4"}]}]}])"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const qm::skellow::TXmlDoc doc = Parse("<?xml version=\"1.0\"?>\r\n<Behavior "
                                               "FFileID=\"f\">" +
                                               c.data + "</Behavior>");
        ASSERT_TRUE(doc);
        const std::string json = qm::skellow::StatisticsJson(doc.get());
        EXPECT_EQ(json, c.json);
        EXPECT_FALSE(nlohmann::json::parse(json, nullptr, false).is_discarded());
    }
}

TEST(UsageJsonTest, AFileWithoutDataHasNothingToShip) {
    const qm::skellow::TXmlDoc doc = Parse("<Behavior FFileID=\"f\"/>");
    EXPECT_THROW(qm::skellow::StatisticsJson(doc.get()), std::exception);
}

} // namespace
