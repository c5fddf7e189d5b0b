#include "PackFiles.h"
#include "corvane/Errors.h"
#include "pictures/PictureCache.h"
#include "pictures/PngPack.h"
#include "pictures/PngPackRatio.h"
#include "pictures/StartupPictures.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

// TakePNG: the packed pictures first, loose files under the base folder for the rest, and reloads;
// the pictures drawn at twice the size for screens of a higher pixel ratio.
namespace {

using qm::TPngPack;
using qm::test::ExpectSamePicture;
using qm::test::MakePack;
using qm::test::SolidImage;
using qm::test::SolidPng;
using qm::test::TTempFolder;
using qm::test::WriteBytes;

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kGrey = 0x40808080;
constexpr const char* kTakeLocation =
    "TPngPack.TakePNG(ARelaFile: string; bReload: Boolean = False): TPNGObject";

class TakePng : public testing::Test {
protected:
    TTempFolder pictures;
    TTempFolder config;
    TPngPack store{pictures.Path().string()};

    void LoadPack(const std::vector<qm::TPackEntry>& entries) {
        WriteBytes(config.File("pngs.sys"), MakePack(entries));
        store.LoadFile(config.File("pngs.sys"));
    }
    void WriteLoose(const std::string& relative, const std::string& bytes) {
        const std::filesystem::path file = pictures.Path() / relative;
        std::filesystem::create_directories(file.parent_path());
        WriteBytes(file.string(), bytes);
    }

    // The error TakePNG raises for a name: the desk's EUI with the store's location.
    corvane::ETax TakeError(const std::string& name, bool reload = false) {
        try {
            store.TakePNG(name, reload);
        } catch (const corvane::EUI& error) {
            EXPECT_EQ(error.Location(), kTakeLocation);
            return error;
        }
        ADD_FAILURE() << "TakePNG(" << name << ") did not raise EUI";
        return corvane::ETax("", "");
    }
};

TEST_F(TakePng, BlankNamesGiveNothingWithoutTouchingTheDisk) {
    // Files that a lookup on the disk would find for these names.
    WriteBytes(pictures.File("   "), SolidPng(kRed));
    WriteBytes(pictures.File(" \t "), SolidPng(kRed));
    for (const std::string name : {"", "   ", " \t ", "\r\n"}) {
        SCOPED_TRACE(testing::PrintToString(name));
        EXPECT_EQ(store.TakePNG(name), nullptr);
        EXPECT_EQ(store.TakePNG(name, true), nullptr);
    }
    EXPECT_EQ(store.Count(), 0);
}

TEST_F(TakePng, LooseFileIsLoadedOnceAndCachedUnderTheNameUsed) {
    const QImage pattern = qm::test::PatternImage(9, 4);
    WriteLoose("desk/icons/mail.png", qm::test::EncodePng(pattern));
    const qm::TPngPicture* mail = store.TakePNG("desk\\icons\\mail.png");
    ExpectSamePicture(mail, pattern);
    EXPECT_EQ(store.Count(), 1);

    // Served from memory from now on, under any spelling of the same name.
    std::filesystem::remove_all(pictures.Path() / "desk");
    EXPECT_EQ(store.TakePNG("desk\\icons\\mail.png"), mail);
    EXPECT_EQ(store.TakePNG("DESK/Icons/MAIL.png"), mail);
    EXPECT_EQ(store.Count(), 1);
    ExpectSamePicture(mail, pattern);
}

TEST_F(TakePng, PackedPictureWinsOverALooseFileUntilAReload) {
    LoadPack({{"bg.png", SolidPng(kRed)}});
    WriteLoose("bg.png", SolidPng(kBlue, 6, 2));
    const qm::TPngPicture* bg = store.TakePNG("bg.png");
    ExpectSamePicture(bg, SolidImage(kRed));

    EXPECT_EQ(store.TakePNG("bg.png", true), bg);
    // In place: the pointer handed out before now shows the loose picture, size and all.
    ExpectSamePicture(bg, SolidImage(kBlue, 6, 2));
    EXPECT_EQ(store.Count(), 1);
}

TEST_F(TakePng, ReloadWithoutALooseFileKeepsThePackedPicture) {
    LoadPack({{"skin\\close.png", SolidPng(kGrey, 5, 5)}});
    const qm::TPngPicture* close = store.TakePNG("skin\\close.png");
    EXPECT_EQ(store.TakePNG("skin\\close.png", true), close);
    ExpectSamePicture(close, SolidImage(kGrey, 5, 5));
}

TEST_F(TakePng, ReloadOfALooseFileReadsItAgain) {
    WriteLoose("logo.png", SolidPng(kRed));
    const qm::TPngPicture* logo = store.TakePNG("logo.png");
    WriteLoose("logo.png", SolidPng(kGrey, 2, 7));
    ExpectSamePicture(store.TakePNG("logo.png"), SolidImage(kRed));
    EXPECT_EQ(store.TakePNG("logo.png", true), logo);
    ExpectSamePicture(logo, SolidImage(kGrey, 2, 7));
}

TEST_F(TakePng, ReloadDecodesOnlyWhenTheFileHoldsOtherBytes) {
    // A new decode is a new image; the cache key tells them apart.
    const std::string red = SolidPng(kRed, 5, 5);
    LoadPack({{"bg.png", red}});
    WriteLoose("bg.png", red);
    const qm::TPngPicture* bg = store.TakePNG("bg.png", true);
    EXPECT_FALSE(bg->IsDecoded()) << "a reload of the same bytes decodes nothing before drawing";
    const qint64 packed = bg->Pixels().cacheKey();
    ExpectSamePicture(store.TakePNG("bg.png", true), SolidImage(kRed, 5, 5));
    EXPECT_EQ(bg->Pixels().cacheKey(), packed) << "the loose file holds the packed bytes";

    // Same size, other pixels: read again, in place.
    WriteLoose("bg.png", SolidPng(kBlue, 5, 5));
    EXPECT_EQ(store.TakePNG("bg.png", true), bg);
    ExpectSamePicture(bg, SolidImage(kBlue, 5, 5));
    const qint64 blue = bg->Pixels().cacheKey();
    EXPECT_NE(blue, packed);
    store.TakePNG("bg.png", true);
    EXPECT_EQ(bg->Pixels().cacheKey(), blue);
}

TEST_F(TakePng, MissingLooseFileRaisesWithTheFullName) {
    const corvane::ETax error = TakeError("skin\\none.png");
    EXPECT_EQ(error.Message(), "文件(" + pictures.Path().string() + "/skin/none.png)不存在！");
    EXPECT_EQ(store.Count(), 0);
}

TEST_F(TakePng, CorruptLooseFileRaisesAndIsNotKept) {
    std::string broken = SolidPng(kRed);
    broken.resize(broken.size() - 20);
    WriteLoose("broken.png", broken);
    const std::string full = pictures.Path().string() + "/broken.png";
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::string message = TakeError("broken.png").Message();
        EXPECT_EQ(message.rfind("图片(" + full + ")格式错误: ", 0), 0u) << message;
    }
    EXPECT_EQ(store.Count(), 0);
}

TEST_F(TakePng, FailedReloadKeepsThePicture) {
    LoadPack({{"bg.png", SolidPng(kRed)}});
    const qm::TPngPicture* bg = store.TakePNG("bg.png");
    WriteLoose("bg.png", "not a picture");
    TakeError("bg.png", true);
    ExpectSamePicture(bg, SolidImage(kRed));
    EXPECT_EQ(store.TakePNG("bg.png"), bg);
}

TEST_F(TakePng, MissingBaseFolderIsNotKept) {
    TPngPack orphan((pictures.Path() / "absent").string());
    EXPECT_EQ(orphan.BaseDir(), "");
    EXPECT_EQ(store.BaseDir(), pictures.Path().string());
    // Without a base folder a name is taken relative to the current folder.
    try {
        orphan.TakePNG("skin\\none.png");
        FAIL() << "TakePNG did not raise";
    } catch (const corvane::EUI& error) {
        EXPECT_EQ(error.Message(), "文件(skin/none.png)不存在！");
    }
}

struct TDoubleSizeNameCase {
    const char* name;
    const char* doubled;
};

const TDoubleSizeNameCase kDoubleSizeNames[] = {
    {"close_01.png", "close_01@2x.png"},
    {"Skin\\Icons\\tax_nor.PNG", "Skin\\Icons\\tax_nor@2x.PNG"},
    {"/opt/desk/Pictures/help_mov.png", "/opt/desk/Pictures/help_mov@2x.png"},
    {"archive.v2\\logo", "archive.v2\\logo@2x"}, // the dot is in a folder's name
    {"noextension", "noextension@2x"},
    {"a.b.png", "a.b@2x.png"},
    {"", ""},
    {"  ", ""},
};

TEST(DoubleSizeName, MarksTheLastPartBeforeItsExtension) {
    for (const TDoubleSizeNameCase& row : kDoubleSizeNames) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(qm::DoubleSizeName(row.name), row.doubled);
    }
}

// Which picture is drawn for "icon.png": the packed or loose double size one, at which ratio.
struct TRatioCase {
    const char* what;
    bool packedDouble; // the pack holds "icon@2x.png"
    bool looseDouble;  // the pictures folder holds "icon@2x.png"
    double ratio;
    bool doubleDrawn;
};

const TRatioCase kRatioCases[] = {
    {"an old pack at ratio 2", false, false, 2.0, false},
    {"a packed double picture at ratio 2", true, false, 2.0, true},
    {"a packed double picture at ratio 1.5", true, false, 1.5, true},
    {"a packed double picture at ratio 1.25", true, false, 1.25, true},
    {"a packed double picture at ratio 3", true, false, 3.0, true},
    {"a packed double picture at ratio 1", true, false, 1.0, false},
    {"a loose double picture at ratio 2", false, true, 2.0, true},
    {"a loose double picture at ratio 1", false, true, 1.0, false},
};

TEST_F(TakePng, DoubleSizePictureIsDrawnOnlyWhereTheRatioCallsForIt) {
    const QImage normal = SolidImage(kRed, 4, 3);
    const QImage doubled = SolidImage(kBlue, 8, 6);
    for (const TRatioCase& row : kRatioCases) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove(pictures.File("icon@2x.png"));
        std::vector<qm::TPackEntry> entries{{"icon.png", qm::test::EncodePng(normal)}};
        if (row.packedDouble)
            entries.push_back({"icon@2x.png", qm::test::EncodePng(doubled)});
        LoadPack(entries);
        if (row.looseDouble)
            WriteLoose("icon@2x.png", qm::test::EncodePng(doubled));

        const qm::TPngPicture* picture = store.TakePNG("icon.png");
        ASSERT_NE(picture, nullptr);
        const QImage& drawn = qm::PixelsForRatio(store, "icon.png", *picture, row.ratio);
        EXPECT_EQ(picture->size(), normal.size()) << "layout keeps the ordinary size";
        EXPECT_EQ(drawn.size(), row.doubleDrawn ? doubled.size() : normal.size());
        EXPECT_EQ(drawn.pixel(0, 0), row.doubleDrawn ? kBlue : kRed);
    }
}

TEST_F(TakePng, HoldsAnswersWithoutRaisingOrKeepingAnything) {
    LoadPack({{"packed.png", SolidPng(kRed)}});
    WriteLoose("skin/loose.png", SolidPng(kBlue));
    EXPECT_TRUE(store.Holds("PACKED.png"));
    EXPECT_TRUE(store.Holds("skin\\loose.png"));
    EXPECT_FALSE(store.Holds("absent.png"));
    EXPECT_FALSE(store.Holds("  "));
    EXPECT_EQ(store.Count(), 1) << "asking takes nothing in";
}

} // namespace

// The small loose pictures a start took are listed for the next one, whose worker decodes them
// ahead; the desk's thread then takes them without reading or decoding.
class StartupPictures : public TakePng {
protected:
    TTempFolder cache;
    void SetUp() override { qm::SetPictureCacheFolder(cache.Path().string()); }
    void TearDown() override { qm::SetPictureCacheFolder(""); }
    std::string Full(const std::string& relative) { return (pictures.Path() / relative).string(); }
};

TEST_F(StartupPictures, TheNextStartTakesTheListedIconsDecodedAheadAndOnlyOnce) {
    const QImage pattern = qm::test::PatternImage(9, 4);
    WriteLoose("icons/a.png", qm::test::EncodePng(pattern));
    WriteLoose("b.png", SolidPng(kBlue));
    LoadPack({{"packed.png", SolidPng(kRed)}});
    // Packed pictures are not loose ones; a name taken again, or spelt otherwise, is not a new one.
    store.TakePNG("packed.png");
    store.TakePNG(Full("icons/a.png"));
    store.TakePNG("b.png");
    store.TakePNG("b.png");
    store.TakePNG("icons/a.png");
    qm::RememberStartupPictures(pictures.Path().string(), store.SmallLooseTaken());
    EXPECT_EQ(qm::test::ReadBytes(qm::StartupPictureListFile(pictures.Path().string())),
              Full("icons/a.png") + "\n" + Full("b.png") + "\n");

    qm::DecodeStartupPictures(pictures.Path().string());
    // Changed on disk after the worker read it: the desk shows the picture as the start found it,
    // which proves it was not read again.
    WriteLoose("b.png", SolidPng(kRed));
    TPngPack next(pictures.Path().string());
    ExpectSamePicture(next.TakePNG("icons/a.png"), pattern);
    ExpectSamePicture(next.TakePNG("b.png"), SolidImage(kBlue));
    EXPECT_FALSE(qm::TakeDecodedStartupPicture(Full("b.png")).has_value());
    // A reload still reads the file.
    ExpectSamePicture(next.TakePNG("b.png", true), SolidImage(kRed));
}

TEST_F(StartupPictures, OnlySoundSmallPicturesBelowThePicturesFolderAreDecodedAhead) {
    TTempFolder elsewhere;
    WriteBytes(elsewhere.File("outside.png"), SolidPng(kRed));
    WriteLoose("sub/ok.png", SolidPng(kGrey));
    WriteLoose("broken.png", "\x89PNG not really");
    WriteLoose("huge.png", SolidPng(kRed) + std::string(qm::kMaxStartupPictureBytes, '\0'));
    const std::string root = pictures.Path().string();
    const std::vector<std::string> listed = {
        elsewhere.File("outside.png"),
        root + "/sub/../../" + elsewhere.Path().filename().string() + "/outside.png",
        root,
        root + "/",
        Full("missing.png"),
        Full("broken.png"),
        Full("huge.png"),
        Full("sub/ok.png"),
    };
    qm::RememberStartupPictures(root + "/", listed);
    qm::DecodeStartupPictures(root);
    for (const std::string& name : listed) {
        SCOPED_TRACE(name);
        const std::optional<qm::TDecodedLoosePicture> taken = qm::TakeDecodedStartupPicture(name);
        ASSERT_EQ(taken.has_value(), name == Full("sub/ok.png"));
        // The file's bytes and no more: dozens of icons must not each hold a reading buffer.
        if (taken) {
            EXPECT_LT(taken->bytes.capacity(), 2 * SolidPng(kGrey).size() + 64);
        }
    }
    // What was not decoded ahead is the desk thread's, with its usual errors.
    EXPECT_NE(TakeError("broken.png").Message().find("broken.png"), std::string::npos);
}

TEST_F(StartupPictures, AListIsWrittenOnlyWhenItChangesAndNeverWithoutACache) {
    const std::string root = pictures.Path().string();
    const std::string listFile = qm::StartupPictureListFile(root);
    ASSERT_FALSE(listFile.empty());
    EXPECT_NE(listFile, qm::StartupPictureListFile(root + "/other"));
    qm::RememberStartupPictures(root, {Full("a.png")});
    ASSERT_TRUE(std::filesystem::exists(listFile));
    std::filesystem::remove(listFile);
    qm::RememberStartupPictures(root, {Full("a.png")});
    EXPECT_FALSE(std::filesystem::exists(listFile)) << "the same list was written again";
    qm::RememberStartupPictures(root, {Full("a.png"), Full("b.png")});
    EXPECT_TRUE(std::filesystem::exists(listFile));

    qm::SetPictureCacheFolder("");
    EXPECT_EQ(qm::StartupPictureListFile(root), "");
    qm::RememberStartupPictures(root, {Full("c.png")});
    qm::DecodeStartupPictures(root);
    EXPECT_EQ(cache.EntryCount(), 1u);
}
