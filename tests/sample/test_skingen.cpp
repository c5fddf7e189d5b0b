// The skin generator draws the same bytes on every run, and every picture the desk names at the size
// its layout gives.
#include "SampleFiles.h"

#include <QImage>
#include <QProcess>
#include <QSize>
#include <QStringList>
#include <gtest/gtest.h>
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

// Every picture that the desk, its frame and the login window name, with the sizes their layouts
// give, written down here from those layouts rather than read from the generator.
TEST(SkinGenerator, DrawsEveryPictureTheDeskNamesAtTheSizeItsLayoutGives) {
    sample::TTempFolder folder;
    Generate(folder.Path());
    constexpr int kAny = -1;
    const struct {
        const char* file;
        int width;
        int height;
    } pictures[] = {
        // The tab strip skin: the pressed list button ends at x 340, the close buttons at y 66.
        {"Pictures/PgSkin.bmp", 340, 66},
        // The desk container's border, background, title bar and status bar.
        {"pack/border_dot.png", kAny, kAny},
        {"pack/bg.png", kAny, kAny},
        {"pack/top_c.png", kAny, kAny},
        {"pack/bottom_c.png", kAny, kAny},
        // The title buttons, normal and hovered, and the maximize button's restore look.
        {"pack/close_01.png", kAny, kAny},
        {"pack/close_02.png", kAny, kAny},
        {"pack/max_01.png", kAny, kAny},
        {"pack/max_02.png", kAny, kAny},
        {"pack/nor_01.png", kAny, kAny},
        {"pack/nor_02.png", kAny, kAny},
        {"pack/min_01.png", kAny, kAny},
        {"pack/min_02.png", kAny, kAny},
        // The login window: a 400 x 80 logo, 16 x 16 tip pictures, the account picture and the
        // remembered-users button.
        {"Plugins/Login/Pictures/tc_logo.png", 400, 80},
        {"Plugins/Login/Pictures/tc_tip.png", 16, 16},
        {"Plugins/Login/Pictures/tc_right.png", 16, 16},
        {"Plugins/Login/Pictures/tc_wrong.png", 16, 16},
        {"Plugins/Login/Pictures/tc_userlogo.png", kAny, kAny},
        {"Plugins/Login/Pictures/tc_userlist.png", kAny, kAny},
    };
    for (const auto& picture : pictures) {
        SCOPED_TRACE(picture.file);
        const QImage image(QString::fromStdString((folder.Path() / picture.file).string()));
        ASSERT_FALSE(image.isNull()) << "missing or unreadable";
        if (picture.width != kAny) {
            EXPECT_EQ(image.size(), QSize(picture.width, picture.height));
        }
    }
    // A title button's hovered look replaces the normal one in place, so both are the same size.
    for (const char* button : {"close", "max", "nor", "min"}) {
        const auto size = [&](const char* state) {
            return QImage(QString::fromStdString(
                              (folder.Path() / "pack" / (std::string(button) + state + ".png")).string()))
                .size();
        };
        EXPECT_EQ(size("_01"), size("_02")) << button;
        EXPECT_FALSE(size("_01").isEmpty()) << button;
    }
}

// Pictures drawn at twice the size sit beside their ordinary picture, with exactly twice its pixels
// each way, so that the desk can put them where the ordinary one's size says.
TEST(SkinGenerator, DoubleSizePicturesAreTwiceTheirOrdinaryPicture) {
    sample::TTempFolder folder;
    Generate(folder.Path());
    int doubled = 0;
    for (const fs::path& file : sample::FilesBelow(folder.Path())) {
        const std::string name = file.filename().string();
        const std::size_t mark = name.rfind("@2x.png");
        if (mark == std::string::npos)
            continue;
        SCOPED_TRACE(file.string());
        ++doubled;
        const fs::path ordinary = folder.Path() / file.parent_path() / (name.substr(0, mark) + ".png");
        const QImage large(QString::fromStdString((folder.Path() / file).string()));
        const QImage normal(QString::fromStdString(ordinary.string()));
        ASSERT_FALSE(normal.isNull()) << "no ordinary picture beside it";
        EXPECT_EQ(large.size(), normal.size() * 2);
    }
    // The title buttons (8), the logo and the desk and status bar icons, in the pack and as files.
    EXPECT_GE(doubled, 2 * (1 + 2 * 13 + 2 * 3) + 8);
}

TEST(SkinGenerator, RefusesAMissingOutputFolderArgument) {
    EXPECT_NE(RunSkinGenerator({}), 0);
}

} // namespace
