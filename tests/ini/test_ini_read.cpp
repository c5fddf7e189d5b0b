#include "common/IniFile.h"
#include "common/TextEncoding.h"
#include "tests/common/TestFiles.h"

#include <filesystem>
#include <gtest/gtest.h>

using qm::IniReadString;
using qm::IniSectionExists;
using qm::test::TTempFolder;
using qm::test::WriteBytes;

TEST(IniRead, ReadsAsTheWindowsReaderDoes) {
    TTempFolder folder;
    const std::string file = folder.File("Upgrade.txt");
    WriteBytes(file, "Orphan=before any section\r\n"
                     "; a comment\r\n"
                     "[Main]\r\n"
                     "Version=1.2.3.4\r\n"
                     "  Url  =   http://updates.example/pkg.zip   \r\n"
                     "version=second of the same key\r\n"
                     "\r\n"
                     "# another comment\r\n"
                     ";Hidden=in a comment\r\n"
                     "a line without an equals sign\r\n"
                     "Quoted=\"  kept blanks  \"\r\n"
                     "Single='single quoted'\r\n"
                     "Half=\"only one quote\r\n"
                     "Empty=\r\n"
                     "Equals=a=b\r\n"
                     "   [  Spaced Section  ]   \r\n"
                     "Key=spaced\n"
                     "[MAIN]\n"
                     "Version=second section of the same name\n"
                     "Extra=only in the second\r"
                     "[Last]\r"
                     "Tail=no line break at the end");

    // Sections and keys without regard to case; the first match wins.
    EXPECT_EQ(IniReadString(file, "main", "VERSION"), "1.2.3.4");
    EXPECT_EQ(IniReadString(file, "Main", "Url"), "http://updates.example/pkg.zip");
    EXPECT_EQ(IniReadString(file, "Main", "Extra"), "") << "only the first section of a name is searched";
    // Comments, blank lines and other lines are not keys.
    EXPECT_EQ(IniReadString(file, "Main", "Hidden"), "");
    EXPECT_EQ(IniReadString(file, "Main", "; a comment"), "");
    EXPECT_EQ(IniReadString(file, "Main", "Orphan"), "");
    // Values: enclosing quotes dropped, blanks inside them kept; everything after the first "=".
    EXPECT_EQ(IniReadString(file, "Main", "Quoted"), "  kept blanks  ");
    EXPECT_EQ(IniReadString(file, "Main", "Single"), "single quoted");
    EXPECT_EQ(IniReadString(file, "Main", "Half"), "\"only one quote");
    EXPECT_EQ(IniReadString(file, "Main", "Empty"), "");
    EXPECT_EQ(IniReadString(file, "Main", "Equals"), "a=b");
    EXPECT_EQ(IniReadString(file, "Main", "Missing"), "");
    // A header with blanks around and inside the brackets; LF and lone CR line ends.
    EXPECT_EQ(IniReadString(file, "spaced section", "key"), "spaced");
    EXPECT_EQ(IniReadString(file, "Last", "Tail"), "no line break at the end");

    EXPECT_TRUE(IniSectionExists(file, "MAIN"));
    EXPECT_TRUE(IniSectionExists(file, "Spaced Section"));
    EXPECT_TRUE(IniSectionExists(file, "last"));
    EXPECT_FALSE(IniSectionExists(file, "Version"));
    EXPECT_FALSE(IniSectionExists(file, "Spaced"));
}

TEST(IniRead, ChineseTextAsUtf8OrGbk) {
    TTempFolder folder;
    // "[升级]", "说明=增值税发票" in GBK.
    const std::string gbkFile = folder.File("gbk.ini");
    WriteBytes(gbkFile,
               "[\xC9\xFD\xBC\xB6]\r\n\xCB\xB5\xC3\xF7=\xD4\xF6\xD6\xB5\xCB\xB0\xB7\xA2\xC6\xB1\r\n");
    EXPECT_TRUE(IniSectionExists(gbkFile, "升级"));
    EXPECT_EQ(IniReadString(gbkFile, "升级", "说明"), "增值税发票");

    // UTF-8 with a byte-order mark in front of the first header.
    const std::string utf8File = folder.File("utf8.ini");
    WriteBytes(utf8File, "\xEF\xBB\xBF[升级]\r\n说明=增值税发票\r\n");
    EXPECT_TRUE(IniSectionExists(utf8File, "升级"));
    EXPECT_EQ(IniReadString(utf8File, "升级", "说明"), "增值税发票");
}

TEST(IniRead, MissingFileIsEmpty) {
    TTempFolder folder;
    const std::string file = folder.File("absent.ini");
    EXPECT_EQ(IniReadString(file, "Main", "Version"), "");
    EXPECT_FALSE(IniSectionExists(file, "Main"));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(IniReadString(folder.File("no/such/folder/x.ini"), "Main", "Version"), "");
}

// A document is read from its file once: later reads see what the file held then, whatever
// becomes of the file, and agree with the one-value reader.
TEST(IniRead, ADocumentIsParsedOnceAndReadMany) {
    TTempFolder folder;
    const std::string file = folder.File("upgrade.ini");
    WriteBytes(file, "[upgrade]\r\nver=V2.0\r\nurl = http://127.0.0.1/a.run \r\n[silent]\nver=3\n"
                     "[UPGRADE]\nver=shadowed\nVER 2.0 BUILD 1\nnote\n");
    const qm::TIniDocument document = qm::TIniDocument::Load(file);
    ASSERT_TRUE(document.Loaded());
    const struct {
        const char* section;
        const char* key;
        const char* value;
    } cases[] = {
        {"upgrade", "ver", "V2.0"}, {" Upgrade ", "URL", "http://127.0.0.1/a.run"},
        {"silent", "ver", "3"},     {"silent", "url", ""},
        {"missing", "ver", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IniReadString(file, c.section, c.key), c.value) << c.section << "/" << c.key;
    std::filesystem::remove(file);
    for (const auto& c : cases)
        EXPECT_EQ(document.ReadString(c.section, c.key), c.value) << c.section << "/" << c.key;
    EXPECT_TRUE(document.SectionExists("SILENT"));
    EXPECT_FALSE(document.SectionExists("ver"));
    EXPECT_NE(document.Text().find("VER 2.0 BUILD 1\nnote"), std::string::npos) << "free text is kept";

    const qm::TIniDocument missing = qm::TIniDocument::Load(file);
    EXPECT_FALSE(missing.Loaded());
    EXPECT_EQ(missing.ReadString("upgrade", "ver"), "");
    EXPECT_EQ(
        qm::TIniDocument::Parse("\xC9\xFD\xBC\xB6=\xD4\xF6\n[a]\nb=\xD4\xF6\xD6\xB5").ReadString("a", "b"),
        "增值")
        << "GBK bytes are decoded";
}

TEST(TextEncoding, DecodesUtf8AsItIsAndEverythingElseAsGbk) {
    EXPECT_EQ(qm::DecodeText("plain ASCII"), "plain ASCII");
    EXPECT_EQ(qm::DecodeText("\xEF\xBB\xBF增值税"), "增值税");
    EXPECT_EQ(qm::DecodeText("\xD6\xD0\xCE\xC4"), "中文");
    // Overlong forms and encoded surrogates are not UTF-8.
    EXPECT_FALSE(qm::IsValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(qm::IsValidUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(qm::IsValidUtf8("\xE4\xB8"));
    EXPECT_TRUE(qm::IsValidUtf8("\xF0\x9F\x98\x80"));
    // A byte that starts no GBK character becomes U+FFFD; the rest is still read.
    EXPECT_EQ(qm::DecodeText("\xD6\xD0\xFF!"), "中\xEF\xBF\xBD!");
    EXPECT_EQ(qm::EncodeGbk("中文 ok"), "\xD6\xD0\xCE\xC4 ok");
}
