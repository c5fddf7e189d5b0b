// The cache of decoded large pictures: what is kept, that a kept picture is what the store hands
// out on a later start, and that damaged or foreign entries are decoded again.
#include "PackFiles.h"
#include "pictures/PictureCache.h"
#include "pictures/PngPack.h"

#include <QBuffer>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace {

using qm::test::ReadBytes;
using qm::test::TTempFolder;
using qm::test::WriteBytes;
namespace fs = std::filesystem;

// Large enough to be kept: a gradient, so that a wrong row or column shows.
QImage LargePicture(int tint) {
    QImage image(640, 420, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, tint));
    return image;
}

std::string Encode(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "PNG"));
    return bytes.toStdString();
}

std::vector<fs::path> Entries(const fs::path& folder) {
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(folder))
        entries.push_back(entry.path());
    return entries;
}

class PictureCache : public testing::Test {
protected:
    void SetUp() override { qm::SetPictureCacheFolder(cache.Path().string()); }
    void TearDown() override { qm::SetPictureCacheFolder(""); }

    // What a store started afresh hands out for the loose picture.
    QImage Take(const std::string& png) {
        WriteBytes(pictures.File("bg.png"), png);
        qm::TPngPack store(pictures.Path().string());
        // Opaque pictures come out as premultiplied pixels, the same bytes; compared as decoded.
        return store.TakePNG("bg.png")->Pixels().convertToFormat(QImage::Format_ARGB32);
    }

    TTempFolder cache;
    TTempFolder pictures;
};

TEST_F(PictureCache, AKeptPictureIsTheOneALaterStartShowsAndOnlyForTheSameBytes) {
    const std::string png = Encode(LargePicture(7));
    const QImage decoded = Take(png);
    const std::vector<fs::path> entries = Entries(cache.Path());
    ASSERT_EQ(entries.size(), 1u) << "a large picture is kept once decoded";
    EXPECT_EQ(fs::file_size(entries.front()), 16u + 640u * 420u * 4u);
    EXPECT_EQ(Take(png), decoded);

    // Proof that the entry is used: pixels changed in it are the pixels a later start shows, while
    // other bytes (one more picture, one changed byte) never meet the entry.
    std::string bytes = ReadBytes(entries.front().string());
    bytes[16] = static_cast<char>(0x11);
    WriteBytes(entries.front().string(), bytes);
    EXPECT_EQ(Take(png).pixel(0, 0), (decoded.pixel(0, 0) & 0xFFFFFF00u) | 0x11u) << "blue, the first byte";
    EXPECT_EQ(Take(Encode(LargePicture(8))).pixel(0, 0), LargePicture(8).pixel(0, 0));
    EXPECT_EQ(Entries(cache.Path()).size(), 2u);

    // Entries are named without reading the pixel data, from the chunks' CRCs: pictures of the same
    // size and file length, whose chunks differ only in their data, still meet entries of their own.
    const std::string sameLength = Encode(LargePicture(9));
    ASSERT_EQ(sameLength.size(), Encode(LargePicture(8)).size());
    EXPECT_EQ(Take(sameLength).pixel(5, 3), LargePicture(9).pixel(5, 3));
    EXPECT_EQ(Entries(cache.Path()).size(), 3u);
}

TEST_F(PictureCache, BytesThatAreNoCompleteChunkListAreNeverLookedUpNorKept) {
    const std::string png = Encode(LargePicture(11));
    const QImage decoded = Take(png);
    ASSERT_EQ(Entries(cache.Path()).size(), 1u);
    const std::pair<const char*, std::string> cases[] = {
        {"a chunk length beyond the end",
         png.substr(0, 8) + std::string("\x7f\xff\xff\xff", 4) + png.substr(12)},
        {"no IEND", png.substr(0, png.size() - 12)},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(qm::FindCachedPicture(bytes), std::nullopt);
        qm::KeepCachedPicture(bytes, decoded);
        EXPECT_EQ(Entries(cache.Path()).size(), 1u);
    }
}

TEST_F(PictureCache, DamagedOrForeignEntriesAreDecodedAgainAndSmallPicturesAreNotKept) {
    const std::string png = Encode(LargePicture(9));
    const QImage decoded = Take(png);
    const fs::path entry = Entries(cache.Path()).front();
    const std::string good = ReadBytes(entry.string());
    const std::pair<const char*, std::string> damages[] = {
        {"cut short", good.substr(0, good.size() - 1)},
        {"header only", good.substr(0, 16)},
        {"empty", ""},
        {"foreign magic", "XXXXXXXX" + good.substr(8)},
        {"wrong size in header", good.substr(0, 8) + std::string("\x81\x02\x00\x00", 4) + good.substr(12)},
    };
    for (const auto& [what, bytes] : damages) {
        SCOPED_TRACE(what);
        WriteBytes(entry.string(), bytes);
        EXPECT_EQ(Take(png), decoded);
        EXPECT_EQ(ReadBytes(entry.string()), good) << "the entry is written again";
    }

    const TTempFolder smallCache;
    qm::SetPictureCacheFolder(smallCache.Path().string());
    Take(Encode(QImage(64, 64, QImage::Format_RGB32)));
    EXPECT_TRUE(Entries(smallCache.Path()).empty());
    qm::SetPictureCacheFolder("");
    const std::string other = Encode(LargePicture(10));
    Take(other);
    EXPECT_EQ(Entries(cache.Path()).size(), 1u) << "nothing is kept while the cache is off";
}

// Entries made when the installation is built: found when the user's cache has none (and then not
// copied into it), the user's own entry first, and only for the bytes they were made from.
TEST_F(PictureCache, ShippedEntriesServeAFirstStartAndTheUsersOwnEntriesComeFirst) {
    const TTempFolder shipped;
    qm::SetShippedPictureFolder(shipped.Path().string());
    const std::string png = Encode(LargePicture(21));
    QImage original = LargePicture(21).convertToFormat(QImage::Format_ARGB32);
    // Shipped pixels that differ from the decoder's show which source the store used.
    QImage marked = original;
    marked.setPixel(0, 0, qRgb(1, 2, 3));
    ASSERT_TRUE(qm::IsKeptPicture(marked));
    ASSERT_TRUE(qm::WriteShippedPicture(shipped.Path().string(), png, marked));
    const std::vector<fs::path> written = Entries(shipped.Path());
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(fs::status(written.front()).permissions() & fs::perms::others_read, fs::perms::others_read)
        << "every user of the installation reads it";

    EXPECT_EQ(Take(png), marked) << "a first start maps the shipped entry";
    EXPECT_TRUE(Entries(cache.Path()).empty()) << "what is shipped is not copied into the user's cache";
    EXPECT_EQ(Take(Encode(LargePicture(22))).pixel(0, 0), LargePicture(22).pixel(0, 0))
        << "other bytes meet no shipped entry";
    ASSERT_EQ(Entries(cache.Path()).size(), 1u);

    // The user's own entry for the same bytes wins; a damaged shipped one is decoded again.
    qm::KeepCachedPicture(png, original);
    ASSERT_EQ(Entries(cache.Path()).size(), 2u);
    EXPECT_EQ(Take(png), original);
    fs::remove_all(cache.Path());
    fs::create_directories(cache.Path());
    WriteBytes(written.front().string(), "QMPIXv1");
    EXPECT_EQ(Take(png), original);

    EXPECT_FALSE(qm::WriteShippedPicture(shipped.Path().string(),
                                         Encode(QImage(64, 64, QImage::Format_RGB32)),
                                         QImage(64, 64, QImage::Format_ARGB32)))
        << "small pictures are not shipped";
    EXPECT_FALSE(qm::WriteShippedPicture((shipped.Path() / "missing").string(), png, original));
    qm::SetShippedPictureFolder("");
    EXPECT_EQ(qm::ShippedPictureFolderOf("/opt/q/Config/pngs.sys"), "/opt/q/Config/pngs.decoded");
}

} // namespace
