// The skin generator draws the same bytes on every run, and the installed pictures are the ones it
// draws.
#include "SampleFiles.h"

#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;

int RunSkinGenerator(const QStringList& arguments) {
    return QProcess::execute(QString::fromStdString(sample::SkinGenerator().string()), arguments);
}

void Generate(const fs::path& folder) {
    ASSERT_EQ(RunSkinGenerator({QString::fromStdString(folder.string())}), 0) << folder;
}

TEST(SkinGenerator, DrawsTheSameBytesOnEveryRun) {
    sample::TTempFolder first;
    sample::TTempFolder second;
    Generate(first.Path() / "out");
    Generate(second.Path() / "out");

    const std::vector<fs::path> files = sample::FilesBelow(first.Path() / "out");
    ASSERT_FALSE(files.empty());
    EXPECT_EQ(sample::FilesBelow(second.Path() / "out"), files);
    for (const fs::path& file : files)
        EXPECT_EQ(sample::ReadBytes(first.Path() / "out" / file),
                  sample::ReadBytes(second.Path() / "out" / file))
            << file;
}

TEST(SkinGenerator, InstalledPicturesAreItsDrawings) {
    sample::TTempFolder folder;
    Generate(folder.Path());

    // Loose pictures are installed as drawn.
    const fs::path pictures = sample::ImageDir() / "Pictures";
    const std::vector<fs::path> drawn = sample::FilesBelow(folder.Path() / "Pictures");
    EXPECT_EQ(sample::FilesBelow(pictures), drawn);
    for (const fs::path& file : drawn)
        EXPECT_EQ(sample::ReadBytes(pictures / file), sample::ReadBytes(folder.Path() / "Pictures" / file))
            << file;

    // The packed store holds exactly the pictures drawn for it, byte for byte.
    std::map<std::string, std::string> packed;
    for (sample::TPackEntry& entry : sample::ReadPackFile(sample::ImageDir() / "Config" / "pngs.sys"))
        packed.emplace(entry.name, std::move(entry.data));
    const std::vector<fs::path> forPack = sample::FilesBelow(folder.Path() / "pack");
    EXPECT_EQ(packed.size(), forPack.size());
    for (const fs::path& file : forPack) {
        const auto found = packed.find(file.string());
        ASSERT_NE(found, packed.end()) << file << " is not in the pack";
        EXPECT_EQ(found->second, sample::ReadBytes(folder.Path() / "pack" / file)) << file;
    }
}

TEST(SkinGenerator, RefusesAMissingOutputFolderArgument) {
    EXPECT_NE(RunSkinGenerator({}), 0);
}

} // namespace
