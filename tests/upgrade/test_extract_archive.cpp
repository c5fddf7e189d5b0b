#include "common/Paths.h"
#include "tests/common/TestFiles.h"
#include "tests/upgrade/ArchiveMaker.h"
#include "upgrade/ExtractArchive.h"

#include <QProcess>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

// The tool's run: exit code and what it wrote on stderr.
struct ToolRun {
    int exitCode;
    std::string errors;
};

// Runs the installed tool (Plugins/ beside this test program) in `folder`.
ToolRun RunTool(const fs::path& folder, const QStringList& arguments) {
    QProcess tool;
    tool.setWorkingDirectory(QString::fromStdString(folder.string()));
    tool.start(QString::fromStdString(PluginsPath() + "Tolva_Compress.QX"), arguments);
    if (!tool.waitForStarted(-1) || !tool.waitForFinished(-1) || tool.exitStatus() != QProcess::NormalExit)
        return {-1, "did not run"};
    return {tool.exitCode(), tool.readAllStandardError().toStdString()};
}

ToolRun Extract(const fs::path& folder, const std::string& archive) {
    return RunTool(folder, {"X", "-Y", QString::fromStdString(archive)});
}

// Every path under `folder`, relative to it ("a", "a/b"), links not followed.
std::set<std::string> Tree(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(entry.path().lexically_relative(folder).string());
    return names;
}

TEST(TolvaToolTest, ExtractsNestedFoldersWithFullPathsAndOverwrites) {
    const TTempFolder temp;
    const fs::path dest = temp.Path() / "dest";
    fs::create_directories(dest / "top");
    WriteBytes((dest / "top" / "a.txt").string(), "old content, longer than the new one");
    WriteBytes((dest / "kept.txt").string(), "not in the archive");
    // A link already in a file's place is replaced, not written through.
    WriteBytes(temp.File("outside.txt"), "must stay");
    fs::create_symlink("../../outside.txt", dest / "top" / "placed.txt");
    const std::string archive = temp.File("nested.zip");
    WriteArchive(archive, {ArchiveEntry::Folder("top/"), ArchiveEntry::Folder("top/sub/"),
                           ArchiveEntry::File("top/a.txt", "new a"),
                           ArchiveEntry::File("top/sub/deep.bin", std::string("\0\1\2binary", 9)),
                           ArchiveEntry::File("implicit/folder/file.txt", "its folders are not listed"),
                           ArchiveEntry::Symlink("top/link", "sub/deep.bin"),
                           ArchiveEntry::File("top/placed.txt", "placed")});

    const ToolRun run = Extract(dest, archive);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(Tree(dest), (std::set<std::string>{"implicit", "implicit/folder", "implicit/folder/file.txt",
                                                 "kept.txt", "top", "top/a.txt", "top/link", "top/placed.txt",
                                                 "top/sub", "top/sub/deep.bin"}));
    EXPECT_FALSE(fs::is_symlink(dest / "top" / "placed.txt"));
    EXPECT_EQ(ReadBytes((dest / "top" / "placed.txt").string()), "placed");
    EXPECT_EQ(ReadBytes(temp.File("outside.txt")), "must stay");
    EXPECT_EQ(ReadBytes((dest / "top" / "a.txt").string()), "new a");
    EXPECT_EQ(ReadBytes((dest / "top" / "sub" / "deep.bin").string()), std::string("\0\1\2binary", 9));
    EXPECT_EQ(ReadBytes((dest / "top" / "link").string()), std::string("\0\1\2binary", 9));
    EXPECT_EQ(ReadBytes((dest / "implicit" / "folder" / "file.txt").string()), "its folders are not listed");
    EXPECT_EQ(ReadBytes((dest / "kept.txt").string()), "not in the archive");
}

TEST(TolvaToolTest, HostileEntriesWriteNothingOutsideTheFolder) {
    struct Case {
        std::string name;
        std::vector<ArchiveEntry> entries; // {0} is replaced by the absolute path of the parent folder
        std::string refused;               // a name stderr must report
        bool tar = false;
        std::string diskLink = ""; // a link to the parent folder put into the folder beforehand
    };
    const std::vector<Case> cases = {
        {"dot-dot", {ArchiveEntry::File("../escaped.txt", "x")}, "../escaped.txt"},
        {"dot-dot inside", {ArchiveEntry::File("sub/../../escaped.txt", "x")}, "sub/../../escaped.txt"},
        {"absolute", {ArchiveEntry::File("{0}/escaped.txt", "x")}, "/escaped.txt"},
        {"symlink out", {ArchiveEntry::Symlink("out", "..")}, "out"},
        {"absolute symlink", {ArchiveEntry::Symlink("out", "{0}")}, "out"},
        {"nested symlink out", {ArchiveEntry::Symlink("a/b/out", "../../../escaped.txt")}, "a/b/out"},
        {"symlink then a file through it",
         {ArchiveEntry::Symlink("out", ".."), ArchiveEntry::File("out/escaped.txt", "x")},
         "out/escaped.txt"},
        {"symlink inside then a file through it",
         {ArchiveEntry::Folder("sub/"), ArchiveEntry::Symlink("in", "sub"),
          ArchiveEntry::File("in/through.txt", "x")},
         "in/through.txt"},
        {"hard link out", {ArchiveEntry::Hardlink("escaped.txt", "../outside.txt")}, "escaped.txt", true},
        {"absolute hard link",
         {ArchiveEntry::Hardlink("escaped.txt", "{0}/outside.txt")},
         "escaped.txt",
         true},
        {"file through a link already on disk",
         {ArchiveEntry::File("pre/escaped.txt", "x")},
         "pre/escaped.txt",
         false,
         "pre"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TTempFolder temp;
        const fs::path dest = temp.Path() / "dest";
        fs::create_directories(dest);
        WriteBytes(temp.File("outside.txt"), "must stay");
        if (!c.diskLink.empty())
            fs::create_directory_symlink("..", dest / c.diskLink);
        std::vector<ArchiveEntry> entries = c.entries;
        for (ArchiveEntry& entry : entries) {
            for (std::string* text : {&entry.name, &entry.content}) {
                if (const auto at = text->find("{0}"); at != std::string::npos)
                    text->replace(at, 3, temp.Path().string());
            }
        }
        entries.push_back(ArchiveEntry::File("good.txt", "the sound entries are still written"));
        const std::string archive = temp.File(c.tar ? "hostile.tar" : "hostile.zip");
        WriteArchive(archive, entries, c.tar);

        const ToolRun run = Extract(dest, archive);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.errors.find(c.refused), std::string::npos) << run.errors;
        EXPECT_EQ(ReadBytes((dest / "good.txt").string()), "the sound entries are still written");
        // The parent holds what it held before, unchanged.
        std::set<std::string> parent;
        for (const auto& entry : fs::directory_iterator(temp.Path()))
            parent.insert(entry.path().filename().string());
        EXPECT_EQ(parent,
                  (std::set<std::string>{"dest", "outside.txt", fs::path(archive).filename().string()}));
        EXPECT_EQ(ReadBytes(temp.File("outside.txt")), "must stay");
        // No link in the folder leads out of it.
        for (const auto& entry : fs::recursive_directory_iterator(dest)) {
            if (entry.is_symlink() && entry.path().filename() != c.diskLink) {
                const fs::path resolved = fs::weakly_canonical(entry.path());
                EXPECT_EQ(resolved.string().rfind(fs::canonical(dest).string(), 0), 0u) << entry.path();
            }
        }
    }
}

TEST(TolvaToolTest, UsageErrorsPrintTheUsageAndExit2) {
    const TTempFolder temp;
    for (const QStringList& arguments :
         {QStringList{}, QStringList{"X"}, QStringList{"X", "-Y"}, QStringList{"-Y", "X", "a.zip"},
          QStringList{"X", "-Y", "a.zip", "more"}, QStringList{"x", "-y", "a.zip"}}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const ToolRun run = RunTool(temp.Path(), arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.errors.find("usage: Tolva_Compress.QX X -Y \"archive\""), std::string::npos);
    }
    const ToolRun missing = Extract(temp.Path(), "missing.zip");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.errors.find("missing.zip"), std::string::npos);
}

// The tool runs in the installation folder, not wherever the process happens to be.
TEST(ExtractArchiveTest, ExtractsIntoTheInstallationFolderAndDeletesTheArchive) {
    const TTempFolder temp;
    const std::string top = "extracted-" + std::to_string(getpid());
    const fs::path installed = fs::path(AppPath()) / top;
    const fs::path elsewhere = temp.Path() / "current";
    fs::create_directories(elsewhere);
    const fs::path before = fs::current_path();
    fs::current_path(elsewhere);

    const std::string archive = temp.File("package.zip");
    WriteArchive(archive, {ArchiveEntry::File(top + "/Plugins/new.txt", "fresh"),
                           ArchiveEntry::File(top + "/top.txt", "top")});
    const int exitCode = ExtractArchive(archive).get();
    fs::current_path(before);

    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(ReadBytes((installed / "Plugins" / "new.txt").string()), "fresh");
    EXPECT_EQ(ReadBytes((installed / "top.txt").string()), "top");
    EXPECT_FALSE(fs::exists(elsewhere / top));
    EXPECT_FALSE(fs::exists(archive));
    fs::remove_all(installed);
}

TEST(ExtractArchiveTest, RunsOneExtractionAfterAnother) {
    const TTempFolder temp;
    const std::string top = "sequence-" + std::to_string(getpid());
    const fs::path installed = fs::path(AppPath()) / top;
    std::vector<std::shared_future<int>> results;
    for (int i = 0; i < 3; ++i) {
        const std::string archive = temp.File("package" + std::to_string(i) + ".zip");
        WriteArchive(archive, {ArchiveEntry::File(top + "/same.txt", "round " + std::to_string(i))});
        results.push_back(ExtractArchive(archive));
    }
    WaitForExtractions();
    for (auto& result : results) {
        ASSERT_EQ(result.wait_for(std::chrono::seconds(0)), std::future_status::ready);
        EXPECT_EQ(result.get(), 0);
    }
    // The last one asked for wrote last.
    EXPECT_EQ(ReadBytes((installed / "same.txt").string()), "round 2");
    EXPECT_EQ(temp.EntryCount(), 0u);
    fs::remove_all(installed);
}

} // namespace
} // namespace qm::test
