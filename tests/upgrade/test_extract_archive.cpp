#include "common/Paths.h"
#include "common/PlacementJournal.h"
#include "common/StagedUpdate.h"
#include "common/TaxLog.h"
#include "tests/common/TestFiles.h"
#include "tests/upgrade/ArchiveMaker.h"
#include "tools/tolva/Limits.h"
#include "upgrade/ExtractArchive.h"

#include <QProcess>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

// The tool's run: exit code and what it wrote on stderr.
struct ToolRun {
    int exitCode;
    std::string errors;
};

// Runs the installed tool (Plugins/ beside this test program) in `folder`; with `switches`, its
// test build, with those environment variables.
ToolRun RunTool(const fs::path& folder, const QStringList& arguments,
                const std::map<QString, QString>& switches = {}) {
    QProcess tool;
    tool.setWorkingDirectory(QString::fromStdString(folder.string()));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : switches)
        environment.insert(name, value);
    tool.setProcessEnvironment(environment);
    const char* program = switches.empty() ? "Tolva_Compress.QX" : "Tolva_Compress_testing.QX";
    tool.start(QString::fromStdString(PluginsPath() + program), arguments);
    if (!tool.waitForStarted(-1) || !tool.waitForFinished(-1) || tool.exitStatus() != QProcess::NormalExit)
        return {-1, "did not run"};
    return {tool.exitCode(), tool.readAllStandardError().toStdString()};
}

ToolRun Extract(const fs::path& folder, const std::string& archive,
                const std::map<QString, QString>& switches = {}) {
    return RunTool(folder, {"X", "-Y", QString::fromStdString(archive)}, switches);
}

// Every path under `folder` with what it holds: a file's bytes, a link's target, or "<folder>".
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().lexically_relative(folder).string();
        if (entry.is_symlink())
            tree[name] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            tree[name] = "<folder>";
        else
            tree[name] = ReadBytes(entry.path().string());
    }
    return tree;
}

// A tar file of the entries that ends right after the last one: no end-of-archive blocks.
std::string TarCutAtLastEntry(const std::string& fileName, const std::vector<ArchiveEntry>& entries) {
    WriteArchive(fileName, entries, true);
    std::size_t end = 0;
    for (const ArchiveEntry& entry : entries)
        end += 512 + (entry.kind == ArchiveEntry::Kind::File ? (entry.content.size() + 511) / 512 * 512 : 0);
    return ReadBytes(fileName).substr(0, end);
}

void WriteGzip(const std::string& fileName, const std::string& bytes) {
    gzFile file = gzopen(fileName.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    gzwrite(file, bytes.data(), static_cast<unsigned>(bytes.size()));
    gzclose(file);
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
         "out"},
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
        EXPECT_EQ(run.exitCode, tolva::kExitRefused);
        EXPECT_EQ(run.errors.rfind("refused: ", 0), 0u) << run.errors;
        EXPECT_NE(run.errors.find(c.refused + " ("), std::string::npos) << run.errors;
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

// Damaged archives are failures, never a partial success.
TEST(TolvaToolTest, TruncatedEmptyAndCutArchivesExit1) {
    const TTempFolder temp;
    const std::vector<ArchiveEntry> entries = {ArchiveEntry::File("a.txt", "first"),
                                               ArchiveEntry::File("b.bin", std::string(3000, 'b')),
                                               ArchiveEntry::File("c.txt", "last")};
    const std::string tarCut = TarCutAtLastEntry(temp.File("made.tar"), entries);
    WriteBytes(temp.File("cut.tar"), tarCut);
    WriteGzip(temp.File("cut.tar.gz"), tarCut);
    WriteBytes(temp.File("empty.zip"), "");
    WriteArchive(temp.File("whole.zip"), entries);
    const std::string zip = ReadBytes(temp.File("whole.zip"));
    WriteBytes(temp.File("mid-entry.zip"), zip.substr(0, zip.size() / 2));
    WriteBytes(temp.File("no-directory.zip"), zip.substr(0, zip.find("PK\1\2")));
    WriteArchive(temp.File("no-entries.tar"), {}, true);
    for (const char* name :
         {"cut.tar", "cut.tar.gz", "empty.zip", "mid-entry.zip", "no-directory.zip", "no-entries.tar"}) {
        SCOPED_TRACE(name);
        const fs::path dest = temp.Path() / (std::string(name) + ".out");
        fs::create_directories(dest);
        const ToolRun run = Extract(dest, temp.File(name));
        EXPECT_EQ(run.exitCode, tolva::kExitDamaged);
        EXPECT_NE(run.errors.find(name), std::string::npos) << run.errors;
        EXPECT_EQ(run.errors.back(), '\n');
        // No file is left at its full size with a made-up tail.
        for (const auto& [file, bytes] : Snapshot(dest))
            EXPECT_TRUE(bytes == "first" || bytes == std::string(3000, 'b') || bytes == "last") << file;
    }
    fs::create_directories(temp.Path() / "made.tar.out");
    EXPECT_EQ(Extract(temp.Path() / "made.tar.out", temp.File("made.tar")).exitCode, 0) << "the whole tar";
}

// Links that lead out, a hard link through a link and a link named with "." are stopped by our
// checks alone and by the library's flags alone: nothing lands outside, nothing outside changes.
TEST(TolvaToolTest, EachProtectionLayerHoldsAlone) {
    struct Case {
        std::string name;
        std::vector<ArchiveEntry> entries;
        std::string refused; // what our checks name
    };
    const std::vector<Case> cases = {
        {"link chain",
         {ArchiveEntry::Symlink("d/t", ".."), ArchiveEntry::Symlink("s", "d/t/../.."),
          ArchiveEntry::Symlink("s3", "s/.."), ArchiveEntry::File("s3/escaped.txt", "x"),
          ArchiveEntry::File("s/escaped.txt", "x")},
         "refused: s (link pointing outside the folder)"},
        {"hard link through a link",
         {ArchiveEntry::Symlink("out", "../../.."), ArchiveEntry::Hardlink("h", "out/outside.txt"),
          ArchiveEntry::Folder("sub/"), ArchiveEntry::Symlink("in", "sub"),
          ArchiveEntry::File("sub/f.txt", "x"), ArchiveEntry::Hardlink("h2", "in/f.txt")},
         "refused: h2 (hard link target: through a link)"},
        {"link named with a dot",
         {ArchiveEntry::Folder("x/"), ArchiveEntry::Symlink("x/./l", ".."),
          ArchiveEntry::File("x/l/escaped.txt", "x"), ArchiveEntry::Symlink("x/./m", "../../../.."),
          ArchiveEntry::File("x/m/escaped.txt", "x")},
         "refused: x/l/escaped.txt (through a link)"},
    };
    for (const Case& c : cases) {
        for (const char* layer : {"own", "library"}) {
            SCOPED_TRACE(c.name + ", " + layer);
            const TTempFolder temp;
            const TTempFolder archives;
            // Deep enough that every link above stays inside the temporary folder.
            const fs::path dest = temp.Path() / "p" / "q" / "dest";
            fs::create_directories(dest);
            WriteBytes(temp.File("p/q/outside.txt"), "must stay");
            const std::string archive = archives.File("links.tar");
            WriteArchive(archive, c.entries, true);
            const auto before = Snapshot(temp.Path());

            const ToolRun run = Extract(dest, archive, {{"TOLVA_TEST_CHECKS", layer}});
            EXPECT_NE(run.exitCode, 0) << run.errors;
            if (std::string(layer) == "own") {
                EXPECT_NE(run.errors.find(c.refused), std::string::npos) << run.errors;
            }
            auto after = Snapshot(temp.Path());
            std::erase_if(after, [](const auto& item) { return item.first.rfind("p/q/dest/", 0) == 0; });
            EXPECT_EQ(after, before);
            struct stat info {};
            ASSERT_EQ(stat(temp.File("p/q/outside.txt").c_str(), &info), 0);
            EXPECT_EQ(info.st_nlink, 1u) << "no hard link to a file outside";
        }
    }
}

// The limits, lowered through the test build's switches, stop the extraction with their own codes.
TEST(TolvaToolTest, LimitsStopTheExtraction) {
    const TTempFolder temp;
    WriteArchive(temp.File("four.zip"), {ArchiveEntry::File("1", "a"), ArchiveEntry::File("2", "b"),
                                         ArchiveEntry::File("3", "c"), ArchiveEntry::File("4", "d")});
    WriteArchive(temp.File("big.zip"), {ArchiveEntry::File("big.bin", std::string(50000, 'z'))});
    ASSERT_EQ(mkfifo(temp.File("never.zip").c_str(), 0600), 0) << "an archive that never arrives";
    struct Case {
        std::string archive;
        std::map<QString, QString> switches;
        int exitCode;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"four.zip", {{"TOLVA_TEST_MAX_ENTRIES", "3"}}, tolva::kExitTooLarge, "more than 3 entries\n"},
        {"big.zip",
         {{"TOLVA_TEST_MAX_BYTES", "40000"}},
         tolva::kExitTooLarge,
         "expands to more than 40000 bytes\n"},
        {"big.zip", {{"TOLVA_TEST_FREE_BYTES", "40000"}}, tolva::kExitDiskFull, "not enough free disk space"},
        {"never.zip", {{"TOLVA_TEST_TIME_LIMIT", "1"}}, tolva::kExitTimeLimit, "time limit of 1 s passed\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive + " " + c.switches.begin()->first.toStdString());
        const fs::path dest = temp.Path() / "dest";
        fs::remove_all(dest);
        fs::create_directories(dest);
        const ToolRun run = Extract(dest, temp.File(c.archive), c.switches);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_NE(run.errors.find(c.line), std::string::npos) << run.errors;
        EXPECT_FALSE(fs::exists(dest / "big.bin")) << "no half file is left";
    }
    // The shipped defaults, read rather than met.
    EXPECT_EQ(tolva::kMaxEntries, 100000u);
    WriteBytes(temp.File("small.zip"), std::string(1000, 'x'));
    EXPECT_EQ(tolva::DefaultLimits(temp.File("small.zip"), temp.Path()).maxBytes, 64ull << 20);
    fs::resize_file(temp.File("small.zip"), 1ull << 20);
    EXPECT_EQ(tolva::DefaultLimits(temp.File("small.zip"), temp.Path()).maxBytes, 100ull << 20);
    fs::resize_file(temp.File("small.zip"), 1ull << 30);
    EXPECT_EQ(tolva::DefaultLimits(temp.File("small.zip"), temp.Path()).maxBytes, 4ull << 30);
}

// The archive's modes never reach the disk: folders 0755, files 0755 or 0644 by their execute bit,
// no set-id or sticky bit, whatever the archive says.
TEST(TolvaToolTest, ArchiveModesAreNotApplied) {
    struct Case {
        ArchiveEntry entry;
        unsigned expected;
    };
    const std::vector<Case> cases = {
        {ArchiveEntry::Folder("Config/", 0311), 0755},
        {ArchiveEntry::FileWithMode("Config/a.lua", "a", 0400), 0644},
        {ArchiveEntry::Folder("Locked/", 0555), 0755},
        {ArchiveEntry::FileWithMode("Locked/run.sh", "#!/bin/sh\n", 0700), 0755},
        {ArchiveEntry::Folder("Open/", 01777), 0755},
        {ArchiveEntry::FileWithMode("Open/setuid", "x", 04755), 0755},
        {ArchiveEntry::FileWithMode("Open/setgid", "x", 02711), 0755},
        {ArchiveEntry::FileWithMode("shared.txt", "x", 0666), 0644},
        {ArchiveEntry::FileWithMode("write-only.txt", "x", 0200), 0644},
        {ArchiveEntry::FileWithMode("group-run", "x", 0610), 0755},
    };
    for (const bool tar : {false, true}) {
        SCOPED_TRACE(tar ? "tar" : "zip");
        const TTempFolder temp;
        std::vector<ArchiveEntry> entries;
        for (const Case& c : cases)
            entries.push_back(c.entry);
        const std::string archive = temp.File(tar ? "modes.tar" : "modes.zip");
        WriteArchive(archive, entries, tar);
        const fs::path dest = temp.Path() / "dest";
        fs::create_directories(dest);

        const ToolRun run = Extract(dest, archive);
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        for (const Case& c : cases) {
            struct stat info {};
            ASSERT_EQ(lstat((dest / c.entry.name).c_str(), &info), 0) << c.entry.name;
            EXPECT_EQ(info.st_mode & 07777, c.expected) << c.entry.name;
        }
    }
}

// Names reach the log as one line each, control characters escaped.
TEST(TolvaToolTest, NamesWithControlCharactersArePrintedEscaped) {
    const TTempFolder temp;
    std::setlocale(LC_CTYPE, "C.UTF-8"); // so that the archive can hold the name as it is
    WriteArchive(temp.File("names.tar"), {ArchiveEntry::File("../a\x1b[2Jb\ncd\xc2\x9b.txt", "x")}, true);
    const ToolRun run = Extract(temp.Path(), temp.File("names.tar"));
    EXPECT_EQ(run.exitCode, tolva::kExitRefused);
    EXPECT_EQ(run.errors, "refused: ../a\\x1b[2Jb\\x0acd\\u009b.txt (\"..\" in the path)\n");
}

// The tool runs in a staging folder of the installation, not wherever the process happens to be;
// its tree is then moved into place: files replaced, new folders and links as they were.
TEST(ExtractArchiveTest, ExtractsIntoTheInstallationFolderAndDeletesTheArchive) {
    const TTempFolder temp;
    const std::string top = "extracted-" + std::to_string(getpid());
    const fs::path installed = fs::path(AppPath()) / top;
    fs::create_directories(installed / "Plugins");
    WriteBytes((installed / "top.txt").string(), "old top");
    WriteBytes((installed / "Plugins" / "kept.txt").string(), "kept");
    const fs::path elsewhere = temp.Path() / "current";
    fs::create_directories(elsewhere);
    const fs::path before = fs::current_path();
    fs::current_path(elsewhere);

    const std::string archive = temp.File("package.zip");
    WriteArchive(archive, {ArchiveEntry::File(top + "/Plugins/new.txt", "fresh"),
                           ArchiveEntry::File(top + "/top.txt", "top"),
                           ArchiveEntry::File(top + "/New/deep/file.txt", "deep"),
                           ArchiveEntry::Symlink(top + "/Plugins/link", "new.txt")});
    const TExtractOutcome outcome = ExtractArchive(archive).get();
    fs::current_path(before);

    EXPECT_EQ(outcome.Code(), 0);
    EXPECT_EQ(outcome.Reason(), "");
    EXPECT_EQ(Snapshot(installed), (std::map<std::string, std::string>{{"New", "<folder>"},
                                                                       {"New/deep", "<folder>"},
                                                                       {"New/deep/file.txt", "deep"},
                                                                       {"Plugins", "<folder>"},
                                                                       {"Plugins/kept.txt", "kept"},
                                                                       {"Plugins/link", "-> new.txt"},
                                                                       {"Plugins/new.txt", "fresh"},
                                                                       {"top.txt", "top"}}));
    EXPECT_FALSE(fs::exists(elsewhere / top));
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_FALSE(fs::exists(AppPath() + "Download/Extraction/Staging"));
    EXPECT_FALSE(fs::exists(AppPath() + "Download/Extraction/Backup"));
    fs::remove_all(installed);
}

// A refused entry, a damaged archive or a file that cannot take a folder's place leaves the
// installation exactly as it was, and the requester and the log learn why.
TEST(ExtractArchiveTest, AFailureLeavesTheInstallationAsItWas) {
    const TTempFolder temp;
    const std::string top = "torn-" + std::to_string(getpid());
    const fs::path installed = fs::path(AppPath()) / top;
    const std::vector<ArchiveEntry> good = {ArchiveEntry::File(top + "/a.txt", "new a"),
                                            ArchiveEntry::File(top + "/b.txt", "new b"),
                                            ArchiveEntry::File(top + "/sub/c.txt", "new c")};
    struct Case {
        std::string name;
        std::string archive; // made below
        int exitCode;
        std::string reason;
    };
    std::vector<ArchiveEntry> torn = good;
    torn.push_back(ArchiveEntry::File("../escaped.txt", "x"));
    WriteArchive(temp.File("torn.zip"), torn);
    WriteBytes(temp.File("cut.tar"), TarCutAtLastEntry(temp.File("whole.tar"), good));
    WriteGzip(temp.File("cut.tgz.zip"), ReadBytes(temp.File("cut.tar")));
    WriteArchive(temp.File("whole.zip"), good);
    const std::string zip = ReadBytes(temp.File("whole.zip"));
    std::vector<ArchiveEntry> blocked = good;
    blocked.push_back(ArchiveEntry::File(top + "/m.txt", "a file where a folder is"));
    blocked.push_back(ArchiveEntry::File(top + "/z.txt", "new z"));
    WriteArchive(temp.File("blocked.zip"), blocked);
    const std::vector<Case> cases = {
        {"refused entry after good ones", "torn.zip", tolva::kExitRefused,
         "更新包含有不安全的文件路径，已拒绝解压"},
        {"tar cut after an entry", "cut.tar", tolva::kExitDamaged, "更新包已损坏"},
        {"gzip tar cut after an entry", "cut.tgz.zip", tolva::kExitDamaged, "更新包已损坏"},
        {"empty file", "empty.zip", tolva::kExitDamaged, "更新包已损坏"},
        {"zip cut mid-entry", "mid.zip", tolva::kExitDamaged, "更新包已损坏"},
        {"a move fails after others", "blocked.zip", kExtractNotPlaced, "无法替换安装文件，已恢复原有文件"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(temp.File("empty.zip"), "");
        WriteBytes(temp.File("mid.zip"), zip.substr(0, zip.size() * 2 / 3));
        fs::remove_all(installed);
        fs::create_directories(installed / "m.txt");
        WriteBytes((installed / "m.txt" / "inner.txt").string(), "the folder is not empty");
        WriteBytes((installed / "a.txt").string(), "old a");
        WriteBytes((installed / "z.txt").string(), "old z");
        const auto before = Snapshot(installed);
        const fs::path copy = temp.Path() / "copy";
        fs::copy_file(temp.File(c.archive), copy, fs::copy_options::overwrite_existing);

        const TExtractOutcome outcome = ExtractArchive(copy.string()).get();
        EXPECT_EQ(outcome.Code(), c.exitCode);
        EXPECT_EQ(outcome.Reason(), c.reason);
        EXPECT_EQ(Snapshot(installed), before);
        EXPECT_FALSE(fs::exists(copy));
        EXPECT_FALSE(fs::exists(AppPath() + "Download/Extraction/Staging"));
        EXPECT_FALSE(fs::exists(AppPath() + "Download/Extraction/Backup"));
        EXPECT_EQ(outcome.Detail().rfind(copy.string() + " (" + std::to_string(c.exitCode), 0), 0u)
            << outcome.Detail();
    }
    fs::remove_all(installed);
}

// Folders an archive marks 0311 or 0555, and what an earlier update left in the staging folder
// with such modes, neither break the update (run as an ordinary user, for whom modes matter) nor
// join a later one.
TEST(ExtractArchiveTest, ArchiveModesAndLeftoversBreakNoUpdate) {
    const TTempFolder temp;
    const std::string top = "modes-" + std::to_string(getpid());
    const fs::path installed = fs::path(AppPath()) / top;
    const fs::path staging = fs::path(AppPath()) / "Download/Extraction/Staging";
    fs::create_directories(installed);
    fs::create_directories(staging / top / "Stale");
    WriteBytes((staging / top / "Stale/left.txt").string(), "from an earlier update");
    fs::permissions(staging / top / "Stale", fs::perms(0555));
    fs::permissions(staging / top, fs::perms(0311));
    WriteArchive(temp.File("modes.tar"),
                 {ArchiveEntry::Folder(top + "/", 0755), ArchiveEntry::Folder(top + "/Config/", 0311),
                  ArchiveEntry::File(top + "/Config/a.lua", "a"),
                  ArchiveEntry::Folder(top + "/Locked/", 0555),
                  ArchiveEntry::File(top + "/Locked/b.lua", "b"),
                  ArchiveEntry::FileWithMode(top + "/Locked/run.sh", "#!/bin/sh\n", 04755)},
                 true);
    WriteArchive(temp.File("later.zip"), {ArchiveEntry::File(top + "/later.txt", "later")});

    const TExtractOutcome first = ExtractArchive(temp.File("modes.tar")).get();
    EXPECT_EQ(first.Code(), 0) << first.Detail();
    const TExtractOutcome later = ExtractArchive(temp.File("later.zip")).get();
    EXPECT_EQ(later.Code(), 0) << later.Detail();

    EXPECT_EQ(Snapshot(installed), (std::map<std::string, std::string>{{"Config", "<folder>"},
                                                                       {"Config/a.lua", "a"},
                                                                       {"Locked", "<folder>"},
                                                                       {"Locked/b.lua", "b"},
                                                                       {"Locked/run.sh", "#!/bin/sh\n"},
                                                                       {"later.txt", "later"}}));
    for (const auto& [name, mode] : std::map<std::string, unsigned>{
             {"Config", 0755}, {"Locked", 0755}, {"Locked/run.sh", 0755}, {"Config/a.lua", 0644}}) {
        struct stat info {};
        ASSERT_EQ(lstat((installed / name).c_str(), &info), 0) << name;
        EXPECT_EQ(info.st_mode & 07777, mode) << name;
    }
    EXPECT_FALSE(fs::exists(staging));
    fs::remove_all(installed);
}

// What cannot be cleared fails the update, saying what and why, and changes nothing.
TEST(ExtractArchiveTest, AWorkFolderThatCannotBeClearedFailsTheUpdateSayingWhy) {
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser clears any folder; test_extract_archive_unprivileged runs this";
    const TTempFolder temp;
    const std::string top = "stuck-" + std::to_string(getpid());
    const fs::path installed = fs::path(AppPath()) / top;
    const fs::path work = fs::path(AppPath()) / "Download/Extraction";
    fs::create_directories(installed);
    fs::create_directories(work / "Staging" / top);
    WriteBytes((work / "Staging" / top / "stale.txt").string(), "left by an earlier update");
    fs::permissions(work, fs::perms(0555));
    WriteArchive(temp.File("package.zip"), {ArchiveEntry::File(top + "/new.txt", "new")});

    const TExtractOutcome outcome = ExtractArchive(temp.File("package.zip")).get();
    fs::permissions(work, fs::perms(0755));
    EXPECT_EQ(outcome.Code(), kExtractNoStaging);
    EXPECT_EQ(outcome.Reason(), "无法清理或创建解压临时文件夹");
    EXPECT_NE(outcome.Detail().find((work / "Staging").string() + ": cannot be removed: Permission denied"),
              std::string::npos)
        << outcome.Detail();
    EXPECT_TRUE(fs::is_empty(installed));
    fs::remove_all(work / "Staging");
    fs::remove_all(installed);
}

// A desk killed in the middle of a move: what it replaced is put back, what it added removed, and
// the staging cleared, when the plug-in starts again.
TEST(ExtractArchiveTest, AKilledMoveIsUndoneAtTheNextStart) {
    const std::string top = "killed-" + std::to_string(getpid());
    const fs::path installed = fs::path(AppPath()) / top;
    const fs::path work = fs::path(AppPath()) / "Download" / "Extraction";
    const fs::path kept = work / "Backup" / "replaced" / top;
    fs::create_directories(installed);
    fs::create_directories(kept);
    fs::create_directories(work / "Staging" / top);
    WriteBytes((installed / "a.txt").string(), "new a, placed");
    WriteBytes((kept / "a.txt").string(), "old a");
    WriteBytes((kept / "b.txt").string(), "old b, set aside");
    WriteBytes((installed / "added.txt").string(), "added by the move");
    fs::create_directories(installed / "NewFolder");
    using K = TJournalEntry::Kind;
    ASSERT_EQ(WriteJournal(work / "Backup" / "journal", {{K::Replaced, top + "/a.txt"},
                                                         {K::Replaced, top + "/b.txt"},
                                                         {K::Added, top + "/added.txt"},
                                                         {K::Added, top + "/NewFolder"},
                                                         {K::Added, top + "/c.txt"}}),
              "");
    WriteBytes((work / "Staging" / top / "c.txt").string(), "not yet moved");

    RecoverInterruptedExtraction();

    EXPECT_EQ(Snapshot(installed),
              (std::map<std::string, std::string>{{"a.txt", "old a"}, {"b.txt", "old b, set aside"}}));
    EXPECT_FALSE(fs::exists(work / "Backup"));
    EXPECT_FALSE(fs::exists(work / "Staging"));
    fs::remove_all(installed);
}

// What a killed placement, or a killed undo of one, leaves in Backup, and what recovery makes of
// it: the old installation back, or, when the journal cannot be trusted, nothing touched and why.
TEST(StagedUpdateTest, RecoveryUndoesWhatTheJournalSaysAndTrustsNoTornJournal) {
    using K = TJournalEntry::Kind;
    const std::vector<TJournalEntry> journal = {
        {K::Replaced, "Apps/3001/main.lua"}, {K::Added, "Apps/3001/New"}, {K::FileToFolder, "Plugins/Tool"}};
    const std::map<std::string, std::string> old = {{"Apps", "<folder>"},
                                                    {"Apps/3001", "<folder>"},
                                                    {"Apps/3001/main.lua", "old main"},
                                                    {"Apps/3002", "<folder>"},
                                                    {"Apps/3002/main.lua", "another store app"},
                                                    {"Plugins", "<folder>"},
                                                    {"Plugins/Tool", "old tool file"}};
    struct Case {
        std::string name;
        std::function<void(const TUpdateFolders&)> leave; // the state the killed program left
        std::string why;                                  // what recovery reports ("" when done)
        bool oldInstallation;                             // whether the old tree is back
    };
    const auto placedAll = [&](const TUpdateFolders& f) {
        fs::create_directories(f.Backup / "replaced/Apps/3001");
        fs::create_directories(f.Backup / "replaced/Plugins");
        fs::rename(f.Target / "Apps/3001/main.lua", f.Backup / "replaced/Apps/3001/main.lua");
        WriteBytes((f.Target / "Apps/3001/main.lua").string(), "new main");
        fs::create_directories(f.Target / "Apps/3001/New");
        fs::rename(f.Target / "Plugins/Tool", f.Backup / "replaced/Plugins/Tool");
        fs::create_directories(f.Target / "Plugins/Tool");
        WriteBytes((f.Target / "Plugins/Tool/run").string(), "new tool");
    };
    const auto withJournal = [&](const std::function<void(const TUpdateFolders&)>& state) {
        return [&, state](const TUpdateFolders& f) {
            fs::create_directories(f.Backup);
            ASSERT_EQ(WriteJournal(f.Backup / "journal", journal), "");
            state(f);
        };
    };
    const auto cutJournal = [&](std::size_t keep) {
        return [&, keep](const TUpdateFolders& f) {
            withJournal(placedAll)(f);
            const std::string bytes = ReadBytes((f.Backup / "journal").string());
            WriteBytes((f.Backup / "journal").string(), bytes.substr(0, bytes.find("Apps/3001/New") + keep));
        };
    };
    const std::vector<Case> cases = {
        {"every move done", withJournal(placedAll), "", true},
        {"killed before the first move", withJournal([](const TUpdateFolders&) {}), "", true},
        // Put back already: the original is restored and Backup no longer holds it. Running the
        // undo again must not take the restored file for the folder that replaced it.
        {"killed while undoing, the file replaced by a folder put back",
         withJournal([&](const TUpdateFolders& f) {
             placedAll(f);
             fs::remove_all(f.Target / "Plugins/Tool");
             fs::rename(f.Backup / "replaced/Plugins/Tool", f.Target / "Plugins/Tool");
         }),
         "", true},
        {"journal torn inside an entry", cutJournal(4), "cut short", false},
        {"journal torn after an entry", cutJournal(14), "cut short", false},
        {"journal damaged",
         [&](const TUpdateFolders& f) {
             withJournal(placedAll)(f);
             std::string bytes = ReadBytes((f.Backup / "journal").string());
             bytes[bytes.find("Apps/3001/New") + 5] = '4';
             WriteBytes((f.Backup / "journal").string(), bytes);
         },
         "damaged", false},
        {"no journal, nothing set aside",
         [](const TUpdateFolders& f) { fs::create_directories(f.Backup / "replaced"); }, "", true},
        {"no journal, files set aside", placedAll, "has no journal", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TTempFolder temp;
        const TUpdateFolders folders = UpdateFolders(temp.Path());
        for (const auto& [name, content] : old) {
            if (content == "<folder>")
                fs::create_directories(temp.Path() / name);
            else
                WriteBytes((temp.Path() / name).string(), content);
        }
        c.leave(folders);
        const auto left = Snapshot(temp.Path());

        const std::string why = RecoverUpdateFolders(folders);
        if (c.why.empty()) {
            EXPECT_EQ(why, "");
            EXPECT_FALSE(fs::exists(folders.Backup));
        } else {
            EXPECT_NE(why.find(c.why), std::string::npos) << why;
            EXPECT_NE(why.find("nothing was changed"), std::string::npos) << why;
        }
        auto tree = Snapshot(temp.Path());
        if (c.oldInstallation) {
            std::erase_if(tree, [](const auto& item) { return item.first.rfind("Download", 0) == 0; });
            EXPECT_EQ(tree, old);
        } else {
            EXPECT_EQ(tree, left) << "an untrusted journal changes nothing";
        }
    }
}

// The placement itself: a symbolic link to a folder takes in the update's files (the folder it
// leads to is never swapped out), and a backup that cannot be retired after the last move undoes
// the update rather than report it placed and undo it at the next extraction.
TEST(StagedUpdateTest, LinkedFoldersAreMergedAndAnUnretiredBackupIsNoSuccess) {
    const TTempFolder temp;
    const fs::path target = temp.Path() / "desk";
    const TUpdateFolders folders = UpdateFolders(target);
    fs::create_directories(temp.Path() / "elsewhere/Apps");
    WriteBytes(temp.File("elsewhere/Apps/own.lua"), "the user's own");
    fs::create_directories(target);
    fs::create_directory_symlink("../elsewhere/Apps", target / "Apps");
    WriteBytes((target / "top.txt").string(), "old top");
    const auto stage = [&] {
        fs::create_directories(folders.Staging / "Apps");
        WriteBytes((folders.Staging / "Apps/new.lua").string(), "new app");
        WriteBytes((folders.Staging / "top.txt").string(), "new top");
    };

    stage();
    const auto before = Snapshot(temp.Path());
    // The last move done, something sits where Backup would be retired to.
    SetPlacementMoveHookForTesting([&](int done) {
        if (done == 2)
            fs::create_directories(folders.Discard / "in the way");
    });
    const TPlacement refused = PlaceStagedTree(folders);
    SetPlacementMoveHookForTesting({});
    EXPECT_FALSE(refused.Placed());
    EXPECT_TRUE(refused.Unchanged);
    EXPECT_NE(refused.Why.find("cannot be retired"), std::string::npos) << refused.Why;
    auto after = Snapshot(temp.Path());
    std::erase_if(after, [](const auto& item) { return item.first.rfind("desk/Download", 0) == 0; });
    auto expected = before;
    std::erase_if(expected, [](const auto& item) { return item.first.rfind("desk/Download", 0) == 0; });
    EXPECT_EQ(after, expected);

    ASSERT_EQ(RecoverUpdateFolders(folders), "");
    stage();
    const TPlacement placed = PlaceStagedTree(folders);
    EXPECT_TRUE(placed.Placed()) << placed.Why;
    EXPECT_TRUE(fs::is_symlink(target / "Apps"));
    EXPECT_EQ(ReadBytes(temp.File("elsewhere/Apps/own.lua")), "the user's own");
    EXPECT_EQ(ReadBytes(temp.File("elsewhere/Apps/new.lua")), "new app");
    EXPECT_EQ(ReadBytes((target / "top.txt").string()), "new top");
}

// A tool that does not end is killed at the time limit.
TEST(ExtractArchiveTest, TheToolIsKilledAtTheTimeLimit) {
    const TTempFolder temp;
    ASSERT_EQ(mkfifo(temp.File("never.zip").c_str(), 0600), 0);
    SetExtractionTimeLimitForTesting(std::chrono::milliseconds(300));
    const auto started = std::chrono::steady_clock::now();
    const TExtractOutcome outcome = ExtractArchive(temp.File("never.zip")).get();
    SetExtractionTimeLimitForTesting(std::chrono::milliseconds(0));
    EXPECT_EQ(outcome.Code(), kExtractTimedOut);
    EXPECT_EQ(outcome.Reason(), "解压超时");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

// The process ids of running decompression tools whose command line names `archive`.
std::vector<pid_t> ToolsWorkingOn(const std::string& archive) {
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string commandLine = ReadBytes((entry.path() / "cmdline").string());
        std::replace(commandLine.begin(), commandLine.end(), '\0', ' ');
        const std::string stat = ReadBytes((entry.path() / "stat").string());
        const bool zombie = stat.find(") Z ") != std::string::npos;
        if (!zombie && commandLine.find("Tolva_Compress.QX X -Y " + archive) != std::string::npos)
            found.push_back(std::stoi(name));
    }
    return found;
}

// A desk that crashes while the tool runs takes the tool with it: an orphaned tool would go on
// writing into the staging folder that the next start clears and refills.
TEST(ExtractArchiveTest, TheToolDiesWithTheDeskThatStartedIt) {
    const TTempFolder temp;
    const std::string archive = temp.File("never.zip");
    ASSERT_EQ(mkfifo(archive.c_str(), 0600), 0) << "an archive that never arrives";
    WaitForExtractions(); // no thread of an earlier extraction may be inherited half-way
    const pid_t desk = fork();
    if (desk == 0) {
        ExtractArchive(archive).get();
        _exit(0);
    }
    bool started = false;
    for (int i = 0; i < 200 && !started; ++i) {
        started = !ToolsWorkingOn(archive).empty();
        usleep(50000);
    }
    EXPECT_TRUE(started);
    kill(desk, SIGKILL);
    waitpid(desk, nullptr, 0);
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
        ended = ToolsWorkingOn(archive).empty();
        usleep(50000);
    }
    EXPECT_TRUE(ended) << "the tool outlived the desk";
    for (const pid_t tool : ToolsWorkingOn(archive))
        kill(tool, SIGKILL);
}

TEST(ExtractArchiveTest, RunsOneExtractionAfterAnother) {
    const TTempFolder temp;
    const std::string top = "sequence-" + std::to_string(getpid());
    const fs::path installed = fs::path(AppPath()) / top;
    std::vector<std::shared_future<TExtractOutcome>> results;
    for (int i = 0; i < 3; ++i) {
        const std::string archive = temp.File("package" + std::to_string(i) + ".zip");
        WriteArchive(archive, {ArchiveEntry::File(top + "/same.txt", "round " + std::to_string(i))});
        results.push_back(ExtractArchive(archive));
    }
    WaitForExtractions();
    for (auto& result : results) {
        ASSERT_EQ(result.wait_for(std::chrono::seconds(0)), std::future_status::ready);
        EXPECT_EQ(result.get().Code(), 0);
    }
    // The last one asked for wrote last.
    EXPECT_EQ(ReadBytes((installed / "same.txt").string()), "round 2");
    EXPECT_EQ(temp.EntryCount(), 0u);
    fs::remove_all(installed);
}

} // namespace
} // namespace qm::test
