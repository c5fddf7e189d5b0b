#include "PackFiles.h"
#include "common/TextEncoding.h"
#include "corvane/Errors.h"
#include "pictures/PngPack.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <zlib.h>

// Loading packed image store files: layout, names, lookups and the errors of LoadFile.
namespace {

using qm::TPackEntry;
using qm::TPngPack;
using qm::test::ExpectSamePicture;
using qm::test::MakePack;
using qm::test::SolidImage;
using qm::test::SolidPng;
using qm::test::TTempFolder;
using qm::test::WriteBytes;

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kGreenHalf = 0x8000FF00;
constexpr const char* kLoadLocation = "TPngPack.LoadFile(AFile: string)";

class PackLoading : public testing::Test {
protected:
    // A store whose base folder has no pictures: any name not in the pack raises.
    TTempFolder pictures;
    TTempFolder config;
    TPngPack store{pictures.Path().string()};
    std::string packFile = config.File("pngs.sys");

    void Load(const std::string& bytes) {
        WriteBytes(packFile, bytes);
        store.LoadFile(packFile);
    }

    // The error LoadFile raises for bytes, which must be the plain ETax of the store.
    corvane::ETax LoadError(const std::string& bytes) {
        WriteBytes(packFile, bytes);
        try {
            store.LoadFile(packFile);
        } catch (const corvane::ETax& error) {
            EXPECT_STREQ(error.ClassName(), "ETax");
            EXPECT_EQ(error.Location(), kLoadLocation);
            return error;
        }
        ADD_FAILURE() << "LoadFile did not raise";
        return corvane::ETax("", "");
    }

    std::string FormatError() const { return "文件(" + packFile + ")格式错误!"; }
};

TEST_F(PackLoading, EmptyPackLeavesTheStoreEmpty) {
    Load(MakePack({}));
    EXPECT_EQ(store.Count(), 0);
    EXPECT_THROW(store.TakePNG("a.png"), corvane::EUI);
}

TEST_F(PackLoading, DecodesEveryEntryWithItsPixelsAndAlpha) {
    const QImage pattern = qm::test::PatternImage(7, 5);
    Load(MakePack({{"pattern.png", qm::test::EncodePng(pattern)},
                   {"half.png", SolidPng(kGreenHalf, 3, 9)},
                   {"one.png", SolidPng(kRed, 1, 1)}}));
    ASSERT_EQ(store.Count(), 3);
    ExpectSamePicture(store.TakePNG("pattern.png"), pattern);
    ExpectSamePicture(store.TakePNG("half.png"), SolidImage(kGreenHalf, 3, 9));
    ExpectSamePicture(store.TakePNG("one.png"), SolidImage(kRed, 1, 1));
    // Each picture is decoded once: the same object every time.
    EXPECT_EQ(store.TakePNG("half.png"), store.TakePNG("half.png"));
}

TEST_F(PackLoading, NamesCompareIgnoringCaseAndTheFirstOfEqualNamesIsServed) {
    Load(MakePack({{"skin\\close.png", SolidPng(kRed)},
                   {"SKIN\\CLOSE.PNG", SolidPng(kBlue)},
                   {"skin\\min.png", SolidPng(kBlue)}}));
    ASSERT_EQ(store.Count(), 3);
    EXPECT_EQ(store.Names(),
              (std::vector<std::string>{"skin\\close.png", "SKIN\\CLOSE.PNG", "skin\\min.png"}));
    const qm::TPngPicture* close = store.TakePNG("SKIN\\Close.PNG");
    ExpectSamePicture(close, SolidImage(kRed));
    EXPECT_EQ(store.TakePNG("skin\\close.png"), close);
    ExpectSamePicture(store.TakePNG("Skin\\Min.png"), SolidImage(kBlue));
}

TEST_F(PackLoading, EitherFolderDelimiterFindsAnEntry) {
    Load(MakePack({{"desk\\icons\\mail.png", SolidPng(kRed)}, {"bench/bg.png", SolidPng(kBlue)}}));
    const qm::TPngPicture* mail = store.TakePNG("desk\\icons\\mail.png");
    ExpectSamePicture(mail, SolidImage(kRed));
    EXPECT_EQ(store.TakePNG("desk/icons/mail.png"), mail);
    EXPECT_EQ(store.TakePNG("desk/icons\\MAIL.png"), mail);
    ExpectSamePicture(store.TakePNG("bench\\bg.png"), SolidImage(kBlue));
    EXPECT_EQ(store.Count(), 2);
}

TEST_F(PackLoading, ChineseNamesStoredInGbkAreFoundByTheirText) {
    const std::string name = "桌面\\图标\\发票.png";
    const std::string gbk = qm::EncodeGbk(name);
    ASSERT_NE(gbk, name);
    Load(MakePack({{gbk, SolidPng(kRed)}}));
    ExpectSamePicture(store.TakePNG(name), SolidImage(kRed));
    ExpectSamePicture(store.TakePNG("桌面/图标/发票.PNG"), SolidImage(kRed));
}

TEST_F(PackLoading, LoadingReplacesEarlierPicturesIncludingLooseOnes) {
    WriteBytes(pictures.File("loose.png"), SolidPng(kBlue));
    store.TakePNG("loose.png");
    Load(MakePack({{"first.png", SolidPng(kRed)}}));
    Load(MakePack({{"second.png", SolidPng(kBlue)}}));
    EXPECT_EQ(store.Count(), 1);
    std::filesystem::remove(pictures.File("loose.png"));
    EXPECT_THROW(store.TakePNG("first.png"), corvane::EUI);
    EXPECT_THROW(store.TakePNG("loose.png"), corvane::EUI);
    ExpectSamePicture(store.TakePNG("second.png"), SolidImage(kBlue));
}

TEST_F(PackLoading, BytesAfterTheBlockAreIgnored) {
    Load(MakePack({{"a.png", SolidPng(kRed)}}) + "trailing bytes of no meaning");
    ExpectSamePicture(store.TakePNG("a.png"), SolidImage(kRed));
}

TEST_F(PackLoading, MissingFileRaisesNotFound) {
    const std::string missing = config.File("absent.sys");
    try {
        store.LoadFile(missing);
        FAIL() << "LoadFile did not raise";
    } catch (const corvane::ETax& error) {
        EXPECT_STREQ(error.ClassName(), "ETax");
        EXPECT_EQ(error.Message(), "文件(" + missing + ")不存在！");
        EXPECT_EQ(error.Location(), kLoadLocation);
    }
}

TEST_F(PackLoading, MagicIsCaseSensitive) {
    const std::string good = MakePack({{"a.png", SolidPng(kRed)}});
    for (const std::string magic : {"velmora-tax", "VELMORA-TAX", "Velmora-TAX", "Velmora_Tax"}) {
        SCOPED_TRACE(magic);
        std::string bytes = good;
        bytes.replace(0, magic.size(), magic);
        EXPECT_EQ(LoadError(bytes).Message(), FormatError());
        EXPECT_EQ(store.Count(), 0);
    }
    Load(good);
    EXPECT_EQ(store.Count(), 1);
}

TEST_F(PackLoading, CorruptPictureIsNamedAndEarlierPicturesStay) {
    std::string broken = SolidPng(kBlue);
    const std::size_t imageData = broken.find("IDAT");
    ASSERT_NE(imageData, std::string::npos);
    broken[imageData + 6] ^= 0x55; // inside the compressed pixels: the chunk's CRC no longer matches
    const std::string error = LoadError(MakePack({{"ok1.png", SolidPng(kRed)},
                                                  {"ok2.png", SolidPng(kBlue)},
                                                  {"skin\\broken.png", broken},
                                                  {"after.png", SolidPng(kRed)}}))
                                  .Message();
    EXPECT_EQ(error.rfind("图片(skin\\broken.png)格式错误: ", 0), 0u) << error;
    EXPECT_GT(error.size(), std::string("图片(skin\\broken.png)格式错误: ").size()) << "no reason given";
    EXPECT_EQ(store.Count(), 2);
    ExpectSamePicture(store.TakePNG("ok1.png"), SolidImage(kRed));
    ExpectSamePicture(store.TakePNG("ok2.png"), SolidImage(kBlue));
    EXPECT_THROW(store.TakePNG("after.png"), corvane::EUI);
}

TEST_F(PackLoading, BrokenPixelDataIsFoundWhenThePictureIsFirstDrawn) {
    // Every chunk intact with its CRC, but the compressed pixels start with a wrong zlib header:
    // only decoding can tell, and decoding waits until the picture is drawn.
    std::string broken = SolidPng(kBlue);
    const std::size_t imageData = broken.find("IDAT");
    ASSERT_NE(imageData, std::string::npos);
    const std::uint32_t length =
        (static_cast<std::uint32_t>(static_cast<unsigned char>(broken[imageData - 2])) << 8) |
        static_cast<unsigned char>(broken[imageData - 1]);
    broken[imageData + 4] = 0x00;
    const std::uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(broken.data() + imageData), 4 + length);
    for (int i = 0; i < 4; ++i)
        broken[imageData + 4 + length + static_cast<std::size_t>(i)] =
            static_cast<char>((crc >> (24 - 8 * i)) & 0xFF);
    Load(MakePack({{"ok.png", SolidPng(kRed)}, {"skin\\broken.png", broken}}));
    EXPECT_EQ(store.Count(), 2);
    ExpectSamePicture(store.TakePNG("ok.png"), SolidImage(kRed));
    const qm::TPngPicture* picture = store.TakePNG("skin\\broken.png");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->size(), QSize(4, 3)) << "the header is sound";
    try {
        picture->Pixels();
        ADD_FAILURE() << "the broken picture was drawn";
    } catch (const corvane::EUI& error) {
        const std::string message = error.Message();
        EXPECT_EQ(message.rfind("图片(skin\\broken.png)格式错误: ", 0), 0u) << message;
    }
    // Told once: a repaint under the message draws nothing instead of raising another.
    const QImage& blank = picture->Pixels();
    EXPECT_EQ(blank.size(), QSize(4, 3));
    EXPECT_EQ(blank.pixel(0, 0), 0u);
}

TEST_F(PackLoading, OnlyPicturesThatAreDrawnAreDecoded) {
    // Taking a picture gives its size, as laying out a widget needs; its pixels are decoded when
    // they are first drawn and kept. A hover picture that is never hovered is never decoded.
    struct TCase {
        const char* name;
        std::vector<std::string> taken; // measured only, in this order
        std::vector<std::string> drawn;
    };
    const QImage pattern = qm::test::PatternImage(7, 5);
    const std::vector<TPackEntry> entries = {{"skin\\close.png", SolidPng(kRed, 6, 2)},
                                             {"icons\\mail.png", qm::test::EncodePng(pattern)},
                                             {"icons\\mail_mov.png", SolidPng(kGreenHalf, 3, 9)},
                                             {"bench\\bg.png", SolidPng(kBlue, 2, 2)}};
    const std::vector<QImage> expected = {SolidImage(kRed, 6, 2), pattern, SolidImage(kGreenHalf, 3, 9),
                                          SolidImage(kBlue, 2, 2)};
    const std::vector<TCase> cases = {
        {"loaded only", {}, {}},
        {"every picture measured",
         {"skin\\close.png", "icons\\mail.png", "icons\\mail_mov.png", "bench\\bg.png"},
         {}},
        {"icon drawn, hover measured", {"icons\\mail_mov.png"}, {"icons\\mail.png"}},
        {"drawn under another spelling", {"SKIN/CLOSE.PNG"}, {"Icons/Mail_Mov.png"}},
        {"everything drawn",
         {},
         {"skin\\close.png", "icons\\mail.png", "icons\\mail_mov.png", "bench\\bg.png"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Load(MakePack(entries));
        std::vector<const qm::TPngPicture*> taken;
        for (const TPackEntry& entry : entries) {
            taken.push_back(store.TakePNG(entry.name));
            ASSERT_NE(taken.back(), nullptr);
        }
        for (const std::string& name : c.taken)
            store.TakePNG(name);
        for (const std::string& name : c.drawn)
            store.TakePNG(name)->Pixels();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            SCOPED_TRACE(entries[i].name);
            EXPECT_EQ(taken[i]->size(), expected[i].size());
            const bool drawn = std::any_of(c.drawn.begin(), c.drawn.end(), [&](const std::string& name) {
                return store.TakePNG(name) == taken[i];
            });
            EXPECT_EQ(taken[i]->IsDecoded(), drawn);
            if (drawn) {
                const qint64 kept = taken[i]->Pixels().cacheKey();
                ExpectSamePicture(taken[i], expected[i]);
                EXPECT_EQ(taken[i]->Pixels().cacheKey(), kept) << "decoded again";
            }
        }
    }
}

TEST_F(PackLoading, EntriesThatAreNotPngFilesAreNamed) {
    const std::string empty = LoadError(MakePack({{"empty.png", ""}})).Message();
    EXPECT_EQ(empty.rfind("图片(empty.png)格式错误: ", 0), 0u) << empty;
    const std::string text = LoadError(MakePack({{"text.png", "this is no picture at all"}})).Message();
    EXPECT_EQ(text.rfind("图片(text.png)格式错误: ", 0), 0u) << text;
    EXPECT_EQ(store.Count(), 0);
}

TEST_F(PackLoading, PicturesTooLargeForTheirDataOrForTheDeskAreRefusedBeforeDecoding) {
    // A valid 1x1 picture whose header is rewritten to claim a larger size (with its CRC fixed),
    // padded with a comment chunk. 60000 x 60000 could never be described by a few hundred bytes;
    // 8193 x 8193 could be by the padding, but is more than a desk picture may have (2^26 pixels).
    struct TCase {
        std::uint32_t side;
        std::size_t padding;
    };
    for (const TCase c : {TCase{60000, 0}, TCase{8193, 10240}}) {
        SCOPED_TRACE(c.side);
        std::string png = SolidPng(kRed, 1, 1);
        for (std::size_t field : {16u, 20u})
            for (int i = 0; i < 4; ++i)
                png[field + static_cast<std::size_t>(i)] = static_cast<char>((c.side >> (24 - 8 * i)) & 0xFF);
        const std::uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17);
        for (int i = 0; i < 4; ++i)
            png[29 + static_cast<std::size_t>(i)] = static_cast<char>((crc >> (24 - 8 * i)) & 0xFF);
        if (c.padding > 0) {
            std::string chunk(4, '\0');
            for (int i = 0; i < 4; ++i)
                chunk[static_cast<std::size_t>(i)] = static_cast<char>((c.padding >> (24 - 8 * i)) & 0xFF);
            chunk += "tEXt" + std::string(c.padding, 'x');
            const std::uint32_t chunkCrc =
                crc32(0, reinterpret_cast<const Bytef*>(chunk.data() + 4), static_cast<uInt>(4 + c.padding));
            for (int i = 0; i < 4; ++i)
                chunk += static_cast<char>((chunkCrc >> (24 - 8 * i)) & 0xFF);
            png.insert(33, chunk);
        }
        const std::string error = LoadError(MakePack({{"huge.png", png}})).Message();
        const std::string side = std::to_string(c.side);
        EXPECT_EQ(error,
                  "图片(huge.png)格式错误: image size " + side + "x" + side + " does not fit its data");
    }
}

} // namespace
