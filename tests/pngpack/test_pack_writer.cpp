#include "PackFiles.h"
#include "common/TextEncoding.h"
#include "pictures/PictureCache.h"
#include "pictures/PngPack.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

// The pack writer and the qm-pngpack program, read back by the image store.
namespace {

using qm::TPngPack;
using qm::test::ExpectSamePicture;
using qm::test::SolidImage;
using qm::test::SolidPng;
using qm::test::TTempFolder;
using qm::test::WriteBytes;

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kClear = 0x00000000;

class PackWriter : public testing::Test {
protected:
    TTempFolder source;
    TTempFolder output;
    TTempFolder pictures;

    void Write(const std::string& relative, const std::string& bytes) {
        const std::filesystem::path file = source.Path() / relative;
        std::filesystem::create_directories(file.parent_path());
        WriteBytes(file.string(), bytes);
    }
    // The tree every test packs: folders at two depths, a Chinese name, other files beside.
    void WriteTree() {
        Write("b.png", SolidPng(kRed));
        Write("a/c.PNG", SolidPng(kBlue, 2, 2));
        Write("a/z/d.png", SolidPng(kGreen, 3, 1));
        Write("图标/红.png", SolidPng(kClear, 1, 4));
        Write("notes.txt", "not packed");
        Write("a/readme.png.txt", "not packed");
    }
    static int Run(const std::string& arguments) {
        const int status =
            std::system((std::string(QM_PNGPACK_PROGRAM) + " " + arguments + " >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(PackWriter, CollectsEveryPngBelowTheFolderInNameOrder) {
    WriteTree();
    const std::vector<qm::TPackEntry> entries = qm::CollectPngFiles(source.Path());
    std::vector<std::string> names;
    for (const auto& entry : entries)
        names.push_back(entry.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"a\\c.PNG", "a\\z\\d.png", "b.png", qm::EncodeGbk("图标\\红.png")}));
    EXPECT_EQ(entries[2].data, SolidPng(kRed));
}

TEST_F(PackWriter, ProgramPacksAFolderTheStoreReadsBack) {
    WriteTree();
    const std::string pack = output.File("pngs.sys");
    ASSERT_EQ(Run(pack + " " + source.Path().string()), 0);

    TPngPack store(pictures.Path().string());
    store.LoadFile(pack);
    EXPECT_EQ(store.Count(), 4);
    ExpectSamePicture(store.TakePNG("b.png"), SolidImage(kRed));
    ExpectSamePicture(store.TakePNG("a\\c.png"), SolidImage(kBlue, 2, 2));
    ExpectSamePicture(store.TakePNG("a\\z\\d.png"), SolidImage(kGreen, 3, 1));
    ExpectSamePicture(store.TakePNG("图标\\红.png"), SolidImage(kClear, 1, 4));
    // Only the pack itself is left in the output folder: no temporary file.
    EXPECT_EQ(output.EntryCount(), 1u);
}

// Deflating PNG files again saves next to nothing but costs every start an inflate; a payload that
// does shrink (here long runs of one byte) is still deflated. Either way the store reads it back.
TEST_F(PackWriter, PicturesAreStoredUnlessDeflatingSavesATenth) {
    const std::string noise = qm::test::EncodePng(qm::test::PatternImage(120, 90));
    const struct {
        const char* what;
        std::vector<qm::TPackEntry> entries;
        bool stored;
    } cases[] = {
        {"pictures", {{"a.png", noise}, {"b.png", SolidPng(kRed)}}, true},
        {"a payload that shrinks", {{std::string(4000, 'n') + ".png", noise}}, false},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        const std::string payload = qm::EncodePackPayload(each.entries);
        const std::string pack = qm::EncodePackFile(payload);
        // Magic, block length C, payload length U, the zlib header, then the first deflate block's
        // header, whose bits 1-2 are 00 for a stored block.
        const std::size_t firstBlock = std::string(qm::kPngPackMagic).size() + 4 + 4 + 2;
        ASSERT_GT(pack.size(), firstBlock);
        EXPECT_EQ((static_cast<unsigned char>(pack[firstBlock]) >> 1 & 3) == 0, each.stored);
        EXPECT_EQ(pack.size() < payload.size(), !each.stored);

        const std::string file = output.File("pngs.sys");
        WriteBytes(file, pack);
        TPngPack store(pictures.Path().string());
        store.LoadFile(file);
        EXPECT_EQ(store.Count(), static_cast<int>(each.entries.size()));
        ExpectSamePicture(store.TakePNG(each.entries[0].name), qm::test::PatternImage(120, 90));
    }
}

TEST_F(PackWriter, ProgramRefusesAFolderWithAnUnusablePicture) {
    WriteTree();
    Write("a/broken.png", "not a picture");
    const std::string pack = output.File("pngs.sys");
    WriteBytes(pack, "the pack of yesterday");
    EXPECT_NE(Run(pack + " " + source.Path().string()), 0);
    EXPECT_EQ(qm::test::ReadBytes(pack), "the pack of yesterday");
    EXPECT_EQ(output.EntryCount(), 1u);
}

// With a folder for decoded pictures the program writes there the large pictures of the pack and of
// the loose folders, as the desk's first start finds them, and nothing of an earlier run stays.
TEST_F(PackWriter, ProgramShipsTheLargePicturesDecoded) {
    WriteTree();
    Write("big.png", SolidPng(kGreen, 640, 420));
    const TTempFolder loose;
    WriteBytes(loose.File("bench.png"), SolidPng(kBlue, 700, 400));
    WriteBytes(loose.File("small.png"), SolidPng(kBlue, 40, 40));
    const std::filesystem::path decoded = output.Path() / "pngs.decoded";
    std::filesystem::create_directories(decoded);
    WriteBytes((decoded / "old.argb").string(), "an entry of yesterday");
    const std::string pack = output.File("pngs.sys");
    ASSERT_EQ(Run(pack + " " + source.Path().string() + " " + decoded.string() + " " + loose.Path().string()),
              0);
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(decoded), std::filesystem::directory_iterator()), 2)
        << "the two large pictures only";
    EXPECT_FALSE(std::filesystem::exists(decoded / "old.argb"));

    // A store that maps the entries shows what decoding shows; a changed entry proves they are used.
    qm::SetShippedPictureFolder(decoded.string());
    TPngPack store(loose.Path().string());
    store.LoadFile(pack);
    ExpectSamePicture(store.TakePNG("big.png"), SolidImage(kGreen, 640, 420));
    ExpectSamePicture(store.TakePNG("bench.png"), SolidImage(kBlue, 700, 400));
    for (const auto& entry : std::filesystem::directory_iterator(decoded)) {
        std::string bytes = qm::test::ReadBytes(entry.path().string());
        bytes[16] = static_cast<char>(0x22);
        WriteBytes(entry.path().string(), bytes);
    }
    TPngPack again(loose.Path().string());
    again.LoadFile(pack);
    EXPECT_EQ(again.TakePNG("big.png")->Pixels().pixel(0, 0) & 0xFFu, 0x22u);
    EXPECT_EQ(again.TakePNG("bench.png")->Pixels().pixel(0, 0) & 0xFFu, 0x22u);
    qm::SetShippedPictureFolder("");
}

TEST_F(PackWriter, ProgramRefusesWrongArguments) {
    EXPECT_NE(Run(""), 0);
    EXPECT_NE(Run(output.File("pngs.sys")), 0);
    EXPECT_NE(Run(output.File("pngs.sys") + " " + source.File("absent")), 0);
    EXPECT_EQ(output.EntryCount(), 0u);
}

} // namespace
