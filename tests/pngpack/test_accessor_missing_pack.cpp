#include "PackFiles.h"
#include "common/Paths.h"
#include "corvane/Errors.h"
#include "pictures/PngPack.h"

#include <filesystem>
#include <gtest/gtest.h>

// The PngPack accessor when Config/pngs.sys is missing. It works on Config/ and Pictures/ next to
// this program, in a folder of its own; the store can be created once per process, so the whole
// story is one test.
namespace {

TEST(PngPackAccessor, MissingPackRaisesOnceThenServesLooseFiles) {
    std::filesystem::remove_all(qm::ConfigPath());
    std::filesystem::remove_all(qm::PicturesPath());
    std::filesystem::create_directories(qm::PicturesPath());
    qm::test::WriteBytes(qm::PicturesPath() + "logo.png", qm::test::SolidPng(0xFF102030));

    try {
        qm::PngPack();
        FAIL() << "the first call did not raise";
    } catch (const corvane::ETax& error) {
        EXPECT_STREQ(error.ClassName(), "ETax");
        EXPECT_EQ(error.Message(), "文件(" + qm::PngPackFile() + ")不存在！");
    }

    // A pack that appears later is not loaded: the store is in place and stays as it is.
    std::filesystem::create_directories(qm::ConfigPath());
    qm::test::WriteBytes(qm::PngPackFile(),
                         qm::test::MakePack({{"packed.png", qm::test::SolidPng(0xFFFF0000)}}));
    qm::TPngPack* store = nullptr;
    ASSERT_NO_THROW(store = &qm::PngPack());
    EXPECT_EQ(store, &qm::PngPack());
    EXPECT_EQ(store->BaseDir(), qm::PicturesPath());
    EXPECT_EQ(store->Count(), 0);
    EXPECT_THROW(store->TakePNG("packed.png"), corvane::EUI);
    qm::test::ExpectSamePicture(store->TakePNG("logo.png"), qm::test::SolidImage(0xFF102030));

    std::filesystem::remove_all(qm::ConfigPath());
    std::filesystem::remove_all(qm::PicturesPath());
}

} // namespace
