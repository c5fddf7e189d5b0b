#include "common/IniFile.h"
#include "common/TextEncoding.h"
#include "corvane/Errors.h"
#include "tests/common/TestFiles.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;
using qm::IniReadString;
using qm::IniSectionExists;
using qm::IniWriteString;
using qm::test::ReadBytes;
using qm::test::TTempFolder;
using qm::test::WriteBytes;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at == std::string::npos)
        throw std::logic_error("missing: " + from);
    return text.replace(at, from.size(), to);
}

} // namespace

TEST(IniWrite, ChangesOnlyTheLinesItMust) {
    TTempFolder folder;
    const std::string file = folder.File("state.ini");
    const std::string original = "; written by hand\n"
                                 "[Main]\n"
                                 "  Version = 1.0  \n"
                                 "unknown line kept\n"
                                 "Name=old\n"
                                 "\n"
                                 "# the next section\n"
                                 "[Other]\n"
                                 "Version=9\n";
    WriteBytes(file, original);
    ::chmod(file.c_str(), 0640);

    // An existing key, named in another case: only its value changes, in place.
    ASSERT_TRUE(IniWriteString(file, "MAIN", "version", "2.0"));
    std::string expected = Replaced(original, "  Version = 1.0  \n", "  Version = 2.0\n");
    EXPECT_EQ(ReadBytes(file), expected);

    // A new key goes to the end of its section, before the blank line and the comment of the next.
    ASSERT_TRUE(IniWriteString(file, "Main", "Added", "new"));
    expected = Replaced(expected, "Name=old\n", "Name=old\nAdded=new\n");
    EXPECT_EQ(ReadBytes(file), expected);

    // A new section goes to the end of the file, with the file's own line breaks.
    ASSERT_TRUE(IniWriteString(file, "Third", "Key", "value"));
    expected += "\n[Third]\nKey=value\n";
    EXPECT_EQ(ReadBytes(file), expected);

    // Blanks and quotes at the ends of a value survive the round trip.
    ASSERT_TRUE(IniWriteString(file, "Third", "Padded", "  both ends  "));
    ASSERT_TRUE(IniWriteString(file, "Third", "Quoted", "\"quoted\""));
    EXPECT_EQ(IniReadString(file, "Third", "Padded"), "  both ends  ");
    EXPECT_EQ(IniReadString(file, "Third", "Quoted"), "\"quoted\"");

    EXPECT_EQ(IniReadString(file, "Main", "Version"), "2.0");
    EXPECT_EQ(IniReadString(file, "Other", "Version"), "9");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms(0640)) << "permissions are kept";
    EXPECT_EQ(folder.EntryCount(), 1u) << "no temporary file is left behind";
}

TEST(IniWrite, FirstMatchingSectionAndKeyAreWritten) {
    TTempFolder folder;
    const std::string file = folder.File("dups.ini");
    WriteBytes(file, "[A]\r\nK=1\r\nk=2\r\n[a]\r\nK=3\r\nOnlyHere=x\r\n");
    ASSERT_TRUE(IniWriteString(file, "a", "k", "one"));
    ASSERT_TRUE(IniWriteString(file, "A", "OnlyHere", "y"));
    EXPECT_EQ(ReadBytes(file), "[A]\r\nK=one\r\nk=2\r\nOnlyHere=y\r\n[a]\r\nK=3\r\nOnlyHere=x\r\n");
}

TEST(IniWrite, NewFileIsUtf8WithCrLf) {
    TTempFolder folder;
    const std::string file = folder.File("new.ini");
    ASSERT_TRUE(IniWriteString(file, "升级", "说明", "增值税发票"));
    ASSERT_TRUE(IniWriteString(file, "升级", "Version", "1"));
    EXPECT_EQ(ReadBytes(file), "[升级]\r\n说明=增值税发票\r\nVersion=1\r\n");

    // A last line without a line break gets one before anything is added after it.
    const std::string unterminated = folder.File("unterminated.ini");
    WriteBytes(unterminated, "[S]\r\nA=1");
    ASSERT_TRUE(IniWriteString(unterminated, "S", "B", "2"));
    EXPECT_EQ(ReadBytes(unterminated), "[S]\r\nA=1\r\nB=2\r\n");
}

TEST(IniWrite, GbkFileStaysGbk) {
    TTempFolder folder;
    const std::string file = folder.File("gbk.ini");
    // "; 中文" / "[升级]" / "说明=增值税发票" / "[Other]" in GBK.
    const std::string comment = "; \xD6\xD0\xCE\xC4\r\n";
    const std::string header = "[\xC9\xFD\xBC\xB6]\r\n";
    const std::string line = "\xCB\xB5\xC3\xF7=\xD4\xF6\xD6\xB5\xCB\xB0\xB7\xA2\xC6\xB1\r\n";
    WriteBytes(file, comment + header + line + "[Other]\r\nX=1\r\n");

    ASSERT_TRUE(IniWriteString(file, "升级", "版本", "新版本"));
    ASSERT_TRUE(IniWriteString(file, "Other", "X", "中文"));
    // "版本=新版本" and "X=中文" in GBK.
    EXPECT_EQ(ReadBytes(file), comment + header + line + "\xB0\xE6\xB1\xBE=\xD0\xC2\xB0\xE6\xB1\xBE\r\n" +
                                   "[Other]\r\nX=\xD6\xD0\xCE\xC4\r\n");
    EXPECT_EQ(IniReadString(file, "升级", "版本"), "新版本");
    EXPECT_EQ(IniReadString(file, "升级", "说明"), "增值税发票");

    // A character GBK lacks cannot go into the file; the file stays as it was.
    const std::string before = ReadBytes(file);
    EXPECT_THROW(IniWriteString(file, "Other", "X", "smile \xF0\x9F\x98\x80"), corvane::ETax);
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(IniWrite, RefusalsAndFailures) {
    TTempFolder folder;

    // A blank file name: false, nothing written.
    EXPECT_FALSE(IniWriteString("", "Main", "Key", "value"));
    EXPECT_FALSE(IniWriteString("   ", "Main", "Key", "value"));
    EXPECT_FALSE(fs::exists("   "));

    // A missing folder: an error that names the file and gives the system's reason.
    const std::string inMissingFolder = folder.File("missing/state.ini");
    try {
        IniWriteString(inMissingFolder, "Main", "Key", "value");
        FAIL() << "no error for a missing folder";
    } catch (const corvane::ETax& error) {
        EXPECT_TRUE(Contains(error.Message(), inMissingFolder)) << error.Message();
        EXPECT_TRUE(Contains(error.Message(), std::strerror(ENOENT))) << error.Message();
    }
    EXPECT_FALSE(fs::exists(folder.File("missing")));

    // A folder where the file should be.
    fs::create_directory(folder.File("a_folder.ini"));
    EXPECT_THROW(IniWriteString(folder.File("a_folder.ini"), "Main", "Key", "value"), corvane::ETax);

    // Texts that would read back as other sections, keys or comments are refused before writing.
    const std::string file = folder.File("kept.ini");
    WriteBytes(file, "[Main]\r\nKey=value\r\n");
    EXPECT_THROW(IniWriteString(file, "Main", "Key", "x\r\n[Evil]\r\nKey=y"), corvane::ETax);
    EXPECT_THROW(IniWriteString(file, "Main", "A=B", "x"), corvane::ETax);
    EXPECT_THROW(IniWriteString(file, "Main", ";Key", "x"), corvane::ETax);
    EXPECT_THROW(IniWriteString(file, "Main", "  ", "x"), corvane::ETax);
    EXPECT_THROW(IniWriteString(file, "Ma]in", "Key", "x"), corvane::ETax);
    EXPECT_EQ(ReadBytes(file), "[Main]\r\nKey=value\r\n");
}

TEST(IniWrite, WritesThroughASymbolicLink) {
    TTempFolder folder;
    const std::string real = folder.File("real.ini");
    const std::string link = folder.File("link.ini");
    WriteBytes(real, "[Main]\r\nKey=old\r\n");
    fs::create_symlink(real, link);
    ASSERT_TRUE(IniWriteString(link, "Main", "Key", "new"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadBytes(real), "[Main]\r\nKey=new\r\n");
}

TEST(IniWrite, ConcurrentWritersLoseNoKeys) {
    TTempFolder folder;
    const std::string file = folder.File("shared.ini");
    constexpr int kKeys = 50;
    const auto writeKeys = [&](const std::string& prefix) {
        for (int i = 0; i < kKeys; ++i)
            IniWriteString(file, "Main", prefix + std::to_string(i), std::to_string(i));
    };
    std::thread first(writeKeys, "a");
    std::thread second(writeKeys, "b");
    first.join();
    second.join();
    for (int i = 0; i < kKeys; ++i) {
        EXPECT_EQ(IniReadString(file, "Main", "a" + std::to_string(i)), std::to_string(i));
        EXPECT_EQ(IniReadString(file, "Main", "b" + std::to_string(i)), std::to_string(i));
    }
    EXPECT_EQ(folder.EntryCount(), 1u);
}
