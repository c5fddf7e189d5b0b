#include "PackFiles.h"
#include "common/Paths.h"
#include "pictures/PngPack.h"

#include <filesystem>
#include <gtest/gtest.h>

// The PngPack accessor over the installation's Config/pngs.sys and Pictures/ next to this program,
// in a folder of its own.
namespace {

TEST(PngPackAccessor, LoadsThePackOnceOverThePicturesFolder) {
    std::filesystem::remove_all(qm::ConfigPath());
    std::filesystem::remove_all(qm::PicturesPath());
    std::filesystem::create_directories(qm::ConfigPath());
    std::filesystem::create_directories(qm::PicturesPath() + "skin");
    qm::test::WriteBytes(qm::PngPackFile(),
                         qm::test::MakePack({{"skin\\close.png", qm::test::SolidPng(0xFFFF0000)}}));
    qm::test::WriteBytes(qm::PicturesPath() + "skin/min.png", qm::test::SolidPng(0xFF00FF00));

    qm::TPngPack& store = qm::PngPack();
    EXPECT_EQ(store.BaseDir(), qm::PicturesPath());
    EXPECT_EQ(store.Count(), 1);
    qm::test::ExpectSamePicture(store.TakePNG("skin\\close.png"), qm::test::SolidImage(0xFFFF0000));
    qm::test::ExpectSamePicture(store.TakePNG("skin\\min.png"), qm::test::SolidImage(0xFF00FF00));

    // Later calls neither load the pack again nor drop the loose pictures cached meanwhile.
    qm::test::WriteBytes(qm::PngPackFile(), qm::test::MakePack({}));
    EXPECT_EQ(&qm::PngPack(), &store);
    EXPECT_EQ(store.Count(), 2);

    std::filesystem::remove_all(qm::ConfigPath());
    std::filesystem::remove_all(qm::PicturesPath());
}

} // namespace
