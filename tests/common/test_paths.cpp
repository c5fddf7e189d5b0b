#include "TestFiles.h"
#include "common/Paths.h"
#include "common/TextTrim.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using qm::TPathStyle;

namespace {

// One resolution, with what the Windows form and the Linux form give for it.
struct TExpandCase {
    std::string base;
    std::string path;
    std::string windows;
    std::string native;
};

void ExpectResolutions(const std::vector<TExpandCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE("base \"" + c.base + "\", path \"" + c.path + "\"");
        EXPECT_EQ(qm::ExpandPath(c.base, c.path, TPathStyle::Windows), c.windows);
        EXPECT_EQ(qm::ExpandPath(c.base, c.path, TPathStyle::Native), c.native);
    }
}

void ExpectNative(const std::vector<TExpandCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE("base \"" + c.base + "\", path \"" + c.path + "\"");
        EXPECT_EQ(qm::ExpandPath(c.base, c.path), c.native);
    }
}

} // namespace

TEST(ExpandPath, EmptyBaseGivesPathAndEmptyPathGivesBase) {
    ExpectResolutions({
        {"", "desk\\bg.png", "desk\\bg.png", "desk/bg.png"},
        {"C:\\App\\", "", "C:\\App\\", "C:/App/"},
        {"http://host/app/", "", "http://host/app/", "http://host/app/"},
        {"", "", "", ""},
    });
}

TEST(ExpandPath, DriveUncAndUrlPathsComeBackUnchanged) {
    ExpectResolutions({
        {"C:\\App\\Pictures\\", "D:\\x\\y.png", "D:\\x\\y.png", "D:/x/y.png"},
        {"C:\\App\\Pictures\\", "\\\\srv\\share\\a.png", "\\\\srv\\share\\a.png", "//srv/share/a.png"},
        {"C:\\App\\Pictures\\", "http://host/a.png", "http://host/a.png", "http://host/a.png"},
        // A URL anywhere in the path makes it absolute, and a URL keeps whatever separators it has.
        {"http://host/app/", "x?next=ftp://other/b\\c", "x?next=ftp://other/b\\c", "x?next=ftp://other/b\\c"},
    });
}

TEST(ExpandPath, RelativePathJoinsTheBaseFolder) {
    ExpectResolutions({
        {"C:\\App\\Pictures\\", "desk\\bg.png", "C:\\App\\Pictures\\desk\\bg.png",
         "C:/App/Pictures/desk/bg.png"},
        {"C:\\App\\Pictures", "desk/bg.png", "C:\\App\\Pictures\\desk\\bg.png",
         "C:/App/Pictures/desk/bg.png"},
        {"  C:\\App\\Pictures\\ ", "bg.png", "C:\\App\\Pictures\\bg.png", "C:/App/Pictures/bg.png"},
        {"C:\\a\\b\\", ".\\c", "C:\\a\\b\\c", "C:/a/b/c"},
        // Only one leading ".\" is dropped.
        {"C:\\a\\", ".\\.\\c", "C:\\a\\.\\c", "C:/a/./c"},
        {"Pictures", "bg.png", "Pictures\\bg.png", "Pictures/bg.png"},
    });
}

TEST(ExpandPath, ParentStepsClimbButNeverAboveTheRoot) {
    ExpectResolutions({
        {"C:\\App\\Pictures\\", "..\\Config\\x.xml", "C:\\App\\Config\\x.xml", "C:/App/Config/x.xml"},
        {"C:\\a\\b", "..\\..\\c", "C:\\c", "C:/c"},
        {"C:\\a\\b", "..\\..\\..\\c", "C:\\c", "C:/c"},
        {"C:\\", "..\\c", "C:\\c", "C:/c"},
        {"\\\\srv\\share\\d\\", "..\\e", "\\\\srv\\share\\e", "//srv/share/e"},
        {"a\\b", "..\\..\\c", "c", "c"},
    });
}

TEST(ExpandPath, RootRelativePathTakesTheRootOfTheBase) {
    ExpectResolutions({
        {"C:\\App\\Pictures\\", "\\tmp\\a.png", "C:\\tmp\\a.png", "C:/tmp/a.png"},
        {"\\\\srv\\share\\d", "\\x", "\\\\srv\\x", "//srv/x"},
        {"\\\\srv", "\\x", "\\\\srv\\x", "//srv/x"},
        // Neither drive, UNC nor URL: the path comes back as it was given.
        {"App\\Pictures\\", "\\x\\y.png", "\\x\\y.png", "/x/y.png"},
    });
    // In the Windows form "/" leads a root-relative path too.
    EXPECT_EQ(qm::ExpandPath("C:\\App\\", "/tmp/a.png", TPathStyle::Windows), "C:\\tmp\\a.png");
    EXPECT_EQ(qm::ExpandPath("App\\", "/tmp/a.png", TPathStyle::Windows), "/tmp/a.png");
}

TEST(ExpandPath, UrlBaseResolvesWithSlashes) {
    ExpectResolutions({
        {"http://host/app/pages/", "img\\a.png", "http://host/app/pages/img/a.png",
         "http://host/app/pages/img/a.png"},
        {"http://host/app/pages", ".\\a.html", "http://host/app/pages/a.html",
         "http://host/app/pages/a.html"},
        {"http://host/app/pages/", "..\\b.html", "http://host/app/b.html", "http://host/app/b.html"},
        {"http://host/a/", "..\\..\\..\\x", "http://host/x", "http://host/x"},
        {"http://host/app/pages/", "\\root.html", "http://host/root.html", "http://host/root.html"},
        {"http://host", "\\x\\y", "http://host/x/y", "http://host/x/y"},
        // On a URL base a path that starts with "/" is root-relative, in both forms.
        {"http://host/app/", "/x.html", "http://host/x.html", "http://host/x.html"},
    });
}

TEST(ExpandPath, LinuxPathsInNativeForm) {
    ExpectNative({
        {"/opt/qm/Pictures/", "desk/bg.png", "", "/opt/qm/Pictures/desk/bg.png"},
        {"/opt/qm/Pictures/", "desk\\bg.png", "", "/opt/qm/Pictures/desk/bg.png"},
        {"/opt/qm/Pictures", "../Config/x.xml", "", "/opt/qm/Config/x.xml"},
        {"/opt/qm/Pictures/", "./a.png", "", "/opt/qm/Pictures/a.png"},
        {"/opt/qm/Pictures/", "/tmp/a.png", "", "/tmp/a.png"},
        {"/opt/qm/Pictures/", "\\tmp\\a.png", "", "/tmp/a.png"},
        {"/a/b", "../../../c", "", "/c"},
        {"/", "x", "", "/x"},
        {"//srv/share/d", "..\\e", "", "//srv/share/e"},
    });
}

TEST(PathDelimiters, AddTrimsAndAppendsTheFormsDelimiter) {
    EXPECT_EQ(qm::AddPathDelim("  C:\\a  ", TPathStyle::Windows), "C:\\a\\");
    EXPECT_EQ(qm::AddPathDelim("C:\\a\\", TPathStyle::Windows), "C:\\a\\");
    EXPECT_EQ(qm::AddPathDelim("\t/opt/a\r\n", TPathStyle::Native), "/opt/a/");
    EXPECT_EQ(qm::AddPathDelim("/opt/a/"), "/opt/a/");
    EXPECT_EQ(qm::AddPathDelim(" \t\r\n ", TPathStyle::Windows), "");
    EXPECT_EQ(qm::AddPathDelim("   ", TPathStyle::Native), "");
    // Bytes of UTF-8 text are not blanks.
    EXPECT_EQ(qm::AddPathDelim("桌面", TPathStyle::Windows), "桌面\\");
}

// Configuration values lose spaces, tabs and line breaks at their ends, nothing else.
TEST(TextTrim, DropsWhitespaceAtBothEndsOnly) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {" \t https://host/api \r\n", "https://host/api"},
        {"a b", "a b"},
        {" \t\r\n ", ""},
        {"", ""},
        {"\vkey\f", "\vkey\f"},
        {"\n桌面 ", "桌面"},
        {std::string("\0x ", 3), std::string("\0x", 2)},
    };
    for (const auto& [text, trimmed] : cases) {
        EXPECT_EQ(qm::TrimWhitespace(text), trimmed) << text;
        EXPECT_EQ(qm::TrimmedCopy(text), trimmed) << text;
    }
}

TEST(PathDelimiters, RemoveTrimsAndDropsOneDelimiter) {
    EXPECT_EQ(qm::RemovePathDelim("C:\\a/"), "C:\\a");
    EXPECT_EQ(qm::RemovePathDelim(" C:\\a\\ "), "C:\\a");
    EXPECT_EQ(qm::RemovePathDelim("/opt/a//"), "/opt/a/");
    EXPECT_EQ(qm::RemovePathDelim("C:\\a"), "C:\\a");
    EXPECT_EQ(qm::RemovePathDelim(" \t "), "");
}

TEST(InstallationPaths, ComposeOnTheExecutablesFolder) {
    const std::string app = qm::AppPath();
    EXPECT_EQ(app, std::filesystem::canonical(QM_TEST_BINARY_DIR).string() + "/");
    EXPECT_EQ(qm::PluginsPath(), app + "Plugins/");
    EXPECT_EQ(qm::PicturesPath(), app + "Pictures/");
    EXPECT_EQ(qm::ConfigPath(), app + "Config/");
    EXPECT_EQ(qm::PngPackFile(), app + "Config/pngs.sys");
    EXPECT_EQ(qm::SysConfigFile(), app + "Config/SysConfig.Xml");
    EXPECT_EQ(qm::UserConfigFile(), app + "Config/UserConfig.Xml");
    EXPECT_EQ(qm::IssueFile(), app + "Plugins/Appstore/Issue.xml");
    // Naming a folder does not create it.
    EXPECT_FALSE(std::filesystem::exists(app + "Config"));
    EXPECT_FALSE(std::filesystem::exists(app + "Plugins"));
}

TEST(InstallationPaths, LogAndDownloadFoldersAreCreatedWhenAskedFor) {
    for (const auto& [name, function] :
         {std::pair{"Log", &qm::LogPath}, std::pair{"Download", &qm::DownloadPath}}) {
        SCOPED_TRACE(name);
        const std::filesystem::path folder = qm::AppPath() + name;
        std::filesystem::remove_all(folder);
        EXPECT_EQ(function(), qm::AppPath() + name + "/");
        EXPECT_TRUE(std::filesystem::is_directory(folder));
        std::filesystem::remove_all(folder);
    }
}

TEST(FileSystemHelpers, EnsureDirCreatesParentsAndIgnoresFailure) {
    const qm::test::TTempFolder temp;
    const std::string nested = temp.File("a/b/c");
    qm::EnsureDir(nested);
    EXPECT_TRUE(qm::DirectoryExists(nested));
    // Installation data may name folders with "\".
    qm::EnsureDir(temp.File("d\\e"));
    EXPECT_TRUE(std::filesystem::is_directory(temp.Path() / "d" / "e"));

    qm::test::WriteBytes(temp.File("file"), "x");
    EXPECT_NO_THROW(qm::EnsureDir(temp.File("file/sub")));
    EXPECT_FALSE(qm::DirectoryExists(temp.File("file/sub")));
}

TEST(FileSystemHelpers, ExistenceChecksTellFilesFromFolders) {
    const qm::test::TTempFolder temp;
    qm::test::WriteBytes(temp.File("a.txt"), "x");
    EXPECT_TRUE(qm::FileExists(temp.File("a.txt")));
    EXPECT_FALSE(qm::FileExists(temp.Path().string()));
    EXPECT_FALSE(qm::FileExists(temp.File("missing.txt")));
    EXPECT_TRUE(qm::DirectoryExists(temp.Path().string()));
    EXPECT_FALSE(qm::DirectoryExists(temp.File("a.txt")));

    std::filesystem::create_directory(temp.Path() / "sub");
    qm::test::WriteBytes(temp.File("sub/b.txt"), "x");
    EXPECT_TRUE(qm::FileExists(temp.Path().string() + "\\sub\\b.txt"));
}

TEST(FileSystemHelpers, FilePathAndNativeSeparators) {
    EXPECT_EQ(qm::ExtractFilePath("/opt/qm/Config/boot.xml"), "/opt/qm/Config/");
    EXPECT_EQ(qm::ExtractFilePath("Plugins\\Login\\Porlock.dll"), "Plugins\\Login\\");
    EXPECT_EQ(qm::ExtractFilePath("boot.xml"), "");
    EXPECT_EQ(qm::ToNativePath("Plugins\\Login\\Porlock.dll"), "Plugins/Login/Porlock.dll");
}
