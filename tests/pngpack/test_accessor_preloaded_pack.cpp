#include "PackFiles.h"
#include "common/Paths.h"
#include "corvane/Errors.h"
#include "pictures/PngPack.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

// The PngPack accessor when the start-up has the store loaded on a worker thread: the same store as
// a load on first use, with the pictures it was given decoded already, and failures left to the
// desk's own calls. Config/ and Pictures/ next to this program, in a folder of its own.
namespace {

TEST(PngPackAccessor, PreloadedStoreHasItsFirstPicturesDecodedAndLeavesFailuresToTheDesk) {
    std::filesystem::remove_all(qm::ConfigPath());
    std::filesystem::remove_all(qm::PicturesPath());
    std::filesystem::create_directories(qm::ConfigPath());
    std::filesystem::create_directories(qm::PicturesPath());
    qm::test::WriteBytes(qm::PngPackFile(),
                         qm::test::MakePack({{"bg.png", qm::test::SolidPng(0xFF0000FF)},
                                             {"icon.png", qm::test::SolidPng(0xFF00FF00)}}));
    const std::string bench = qm::PicturesPath() + "bench.png";
    qm::test::WriteBytes(bench, qm::test::SolidPng(0xFF102030));
    qm::test::WriteBytes(qm::PicturesPath() + "broken.png", "not a picture");

    std::atomic<bool> ranAfterwards = false;
    qm::PreloadPngPack({"bg.png", bench, "missing.png", "broken.png"}, [&] { ranAfterwards = true; });
    qm::TPngPack* store = nullptr;
    ASSERT_NO_THROW(store = &qm::PngPack());
    EXPECT_EQ(store, &qm::PngPack());
    EXPECT_EQ(store->BaseDir(), qm::PicturesPath());

    const qm::TPngPicture* background = store->TakePNG("bg.png", true);
    ASSERT_NE(background, nullptr);
    EXPECT_TRUE(background->IsDecoded()) << "prepared on the worker";
    qm::test::ExpectSamePicture(background, qm::test::SolidImage(0xFF0000FF));
    EXPECT_FALSE(store->TakePNG("icon.png")->IsDecoded()) << "only the pictures named are decoded";
    const qm::TPngPicture* loose = store->TakePNG(bench, true);
    EXPECT_TRUE(loose->IsDecoded());
    qm::test::ExpectSamePicture(loose, qm::test::SolidImage(0xFF102030));
    EXPECT_EQ(store->Count(), 3) << "the loose picture was kept once, not again by the reload";
    EXPECT_THROW(store->TakePNG("missing.png"), corvane::EUI);
    EXPECT_THROW(store->TakePNG("broken.png"), corvane::EUI);
    EXPECT_EQ(store->Count(), 3);

    // The worker is joined only at exit; what it runs afterwards comes once the store is handed over.
    for (int i = 0; i < 500 && !ranAfterwards; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(ranAfterwards);

    std::filesystem::remove_all(qm::ConfigPath());
    std::filesystem::remove_all(qm::PicturesPath());
}

} // namespace
