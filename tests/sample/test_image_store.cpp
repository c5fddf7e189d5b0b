// The packed image store "pngs.sys" of the sample installation: its format, and the pictures the
// desk's frame takes from it by name.
#include "SampleFiles.h"
#include "pictures/PngPack.h"

#include <QByteArray>
#include <QImage>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace {

// The pictures the desk container and the title bar take from the store by name.
const char* const kFramePictures[] = {"bg.png",       "top_c.png",    "bottom_c.png", "border_dot.png",
                                      "close_01.png", "close_02.png", "max_01.png",   "max_02.png",
                                      "min_01.png",   "min_02.png",   "nor_01.png",   "nor_02.png"};
const char* const kTitleButtons[] = {"close_01.png", "close_02.png", "max_01.png", "max_02.png",
                                     "min_01.png",   "min_02.png",   "nor_01.png", "nor_02.png"};
// The page control's top edge in the desk container.
constexpr int kPageControlTop = 18;

class SampleImageStore : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        file_ = sample::ImageDir() / "Config" / "pngs.sys";
        for (sample::TPackEntry& entry : sample::ReadPackFile(file_)) {
            QImage image;
            image.loadFromData(QByteArray::fromStdString(entry.data), "PNG");
            images_.emplace(entry.name, image);
            ++entryCount_;
        }
    }

    static QImage Picture(const std::string& name) {
        const auto found = images_.find(name);
        return found == images_.end() ? QImage() : found->second;
    }

    static inline std::filesystem::path file_;
    static inline std::map<std::string, QImage> images_;
    static inline int entryCount_ = 0;
};

TEST_F(SampleImageStore, EveryEntryIsADecodablePictureUnderItsOwnName) {
    ASSERT_GT(entryCount_, 0);
    EXPECT_EQ(images_.size(), static_cast<std::size_t>(entryCount_)) << "two entries share a name";
    for (const auto& [name, image] : images_) {
        EXPECT_FALSE(image.isNull()) << name << " does not decode";
        EXPECT_EQ(name.find('/'), std::string::npos) << name;
    }
}

TEST_F(SampleImageStore, HoldsEveryPictureTheFrameNames) {
    for (const char* name : kFramePictures)
        EXPECT_FALSE(Picture(name).isNull()) << name << " is missing from " << file_;
}

TEST_F(SampleImageStore, TheStoreOfTheDeskServesEveryEntry) {
    qm::TPngPack store((sample::ImageDir() / "no such folder").string());
    store.LoadFile(file_.string());
    EXPECT_EQ(store.Count(), entryCount_);
    for (const auto& [name, image] : images_) {
        const qm::TPngPicture* served = store.TakePNG(name);
        ASSERT_NE(served, nullptr) << name;
        EXPECT_EQ(served->size(), image.size()) << name;
        EXPECT_EQ(served->Pixels().size(), image.size()) << name;
    }
}

TEST_F(SampleImageStore, FramePicturesFitTheDesksLayout) {
    const QImage border = Picture("border_dot.png");
    const QImage title = Picture("top_c.png");
    ASSERT_FALSE(border.isNull());
    ASSERT_FALSE(title.isNull());
    const int b = border.width();
    // The title bar reaches down to the page control, so no desk background shows between them.
    EXPECT_GE(b + title.height(), kPageControlTop);

    // The maximize button swaps between two pictures in place and the buttons are placed by the
    // width of each one's picture: all of them have one size. Each sits at b + 1 from the top and
    // must end above the page control, which would otherwise cover its lower part.
    const QImage first = Picture(kTitleButtons[0]);
    ASSERT_FALSE(first.isNull());
    for (const char* name : kTitleButtons) {
        const QImage button = Picture(name);
        ASSERT_FALSE(button.isNull()) << name;
        EXPECT_EQ(button.size(), first.size()) << name;
        EXPECT_LE(b + 1 + button.height(), kPageControlTop) << name << " reaches under the page control";
    }
}

TEST_F(SampleImageStore, HoveredTitleButtonsLookDifferent) {
    for (const char* button : {"close", "max", "min", "nor"}) {
        const QImage normal = Picture(std::string(button) + "_01.png");
        const QImage hovered = Picture(std::string(button) + "_02.png");
        ASSERT_FALSE(normal.isNull() || hovered.isNull()) << button;
        EXPECT_NE(normal, hovered) << button;
    }
}

} // namespace
