// Every reader of XML files that a user, an installer or a server can hand us, given hostile files: a
// DOCTYPE that pulls in external content is refused, and nesting far deeper than any real file is
// survived.
#include "common/AppCatalog.h"
#include "common/XmlConfig.h"
#include "corvane/Errors.h"
#include "host/BootList.h"
#include "login/UserList.h"
#include "tests/support/TempFolder.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

using qm::test::TTempFolder;

void WriteFile(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::string ReadFile(const std::string& file) {
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

// One reader: its root element, the body of a file it reads (holding "&x;" where an entity's text
// would land), and what it reads from a file: a refusal is an ETax, an answer is its text.
struct TXmlReader {
    const char* name;
    const char* root;
    const char* body;
    std::function<std::string(const std::string& file)> read;
};

std::vector<TXmlReader> Readers() {
    return {
        {"configuration", "params", "<name>a&x;</name>",
         [](const std::string& file) {
             qm::TXmlConfig config;
             config.Open(file);
             return config.ReadString("name");
         }},
        {"boot list", "boot", "<script file=\"a&x;.lua\"/>",
         [](const std::string& file) {
             const auto scripts = qm::ReadBootList(file);
             return scripts.empty() ? std::string() : scripts.front();
         }},
        {"store catalogue", "store", "<app id=\"1\" name=\"a&x;\"/>",
         [](const std::string& file) {
             const auto record = qm::FindAppRecord(file, "1", qm::kAppRecordFields, "test");
             return record ? record->at("name") : std::string("(none)");
         }},
        // The remembered users never raise: a file they cannot use reads as no user and is not
        // written to.
        {"remembered users", "Root", "<UserList><User><Name>a&x;</Name></User></UserList>",
         [](const std::string& file) {
             const std::string before = ReadFile(file);
             qm::RecordUser(file, "bob", "2026-12-08 10:00");
             if (ReadFile(file) != before && qm::ReadRememberedUsers(file).empty())
                 return std::string("(rewritten)");
             const auto users = qm::ReadRememberedUsers(file);
             if (users.empty())
                 throw corvane::ETax("no user", "remembered users");
             return users.back();
         }},
    };
}

std::string Document(const TXmlReader& reader, const std::string& doctype) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + doctype + "\n<" + reader.root + ">" +
           reader.body + "</" + reader.root + ">\n";
}

TEST(XmlReaders, RefuseADoctypeThatPullsInExternalContent) {
    const TTempFolder folder;
    const std::string secret = folder.File("secret.txt");
    WriteFile(secret, "SECRET");
    WriteFile(folder.File("outside.dtd"), "<!ENTITY x \"SECRET\">");
    const std::string secretUrl = "file://" + secret;
    const std::string dtdUrl = "file://" + folder.File("outside.dtd");
    const std::vector<std::pair<const char*, std::string>> doctypes = {
        {"external entity", "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + secretUrl + "\">]>"},
        {"public external entity", "<!DOCTYPE r [<!ENTITY x PUBLIC \"-//q//x\" \"" + secretUrl + "\">]>"},
        {"external parameter entity", "<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + dtdUrl + "\"> %p;]>"},
        {"external subset", "<!DOCTYPE r SYSTEM \"" + dtdUrl + "\">"},
    };
    for (const TXmlReader& reader : Readers()) {
        for (const auto& [what, doctype] : doctypes) {
            const std::string file = folder.File("hostile.xml");
            WriteFile(file, Document(reader, doctype));
            try {
                const std::string answer = reader.read(file);
                ADD_FAILURE() << reader.name << " read a file with an " << what << ": \"" << answer << "\"";
            } catch (const corvane::ETax&) {
            }
        }
        // An entity declared in the document itself is part of it, and is read.
        const std::string file = folder.File("internal.xml");
        WriteFile(file, Document(reader, "<!DOCTYPE r [<!ENTITY x \"b\">]>"));
        std::string answer;
        EXPECT_NO_THROW(answer = reader.read(file)) << reader.name;
        EXPECT_NE(answer.find("ab"), std::string::npos) << reader.name << ": " << answer;
    }
}

TEST(XmlReaders, RefuseNestingFarDeeperThanAnyRealFileAndReadRealDepths) {
    const TTempFolder folder;
    const std::string file = folder.File("deep.xml");
    const auto nested = [](const std::string& root, int depth, const std::string& inner) {
        std::string text = "<" + root + ">";
        for (int i = 0; i < depth; ++i)
            text += "<n>";
        text += inner;
        for (int i = 0; i < depth; ++i)
            text += "</n>";
        return text + "</" + root + ">";
    };
    for (const TXmlReader& reader : Readers()) {
        WriteFile(file, nested(reader.root, 100000, "<name>deep</name>"));
        EXPECT_THROW(reader.read(file), corvane::ETax) << reader.name;
    }
    // The catalogue is searched at any depth a real file has.
    WriteFile(file, nested("store", 200, "<app id=\"7\" name=\"deep\"/>"));
    const auto record = qm::FindAppRecord(file, "7", qm::kAppRecordFields, "test");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->at("name"), "deep");
}

} // namespace
