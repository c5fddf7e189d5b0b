// The workbench form: a borderless, bar-less container filling the form, with its background
// taken from the user's or the system's "bench_bg".
#include "DeskFixture.h"
#include "common/Paths.h"
#include "common/XmlConfig.h"
#include "desk/FrmBench.h"

#include <filesystem>
#include <unistd.h>

namespace qm::test {
namespace {

// The bench needs no skin pictures but the default background: a store holding only "bg.png".
class FrmBench : public ::testing::Test {
protected:
    FrmBench() {
        WritePng(pictures.File("bg.png"), 8, 8, kBackgroundColor);
        pngs = std::make_unique<TPngPack>(pictures.Path().string());
        userConfig.Open(configs.File("UserConfig.Xml"));
        sysConfig.Open(configs.File("SysConfig.Xml"));
    }

    std::unique_ptr<TFrmBench> ShownBench() {
        auto bench = std::make_unique<TFrmBench>(nullptr, userConfig, sysConfig, *pngs);
        bench->resize(300, 200);
        bench->show();
        ProcessEvents();
        return bench;
    }

    QColor CentreColour(TFrmBench& bench) {
        const QImage& canvas = bench.BenchContainer().CanvasBitmap();
        return canvas.pixelColor(canvas.width() / 2, canvas.height() / 2);
    }

    TTempFolder pictures;
    TTempFolder configs;
    TTempFolder elsewhere;
    std::unique_ptr<TPngPack> pngs;
    TXmlConfig userConfig;
    TXmlConfig sysConfig;
};

TEST_F(FrmBench, ContainerFillsTheFormWithoutBorderOrBars) {
    auto bench = ShownBench();
    EXPECT_EQ(bench->windowTitle(), QString("工作台"));
    EXPECT_EQ(bench->objectName(), QString("FrmBench"));
    TUIContainer& container = bench->BenchContainer();
    EXPECT_EQ(container.parentWidget(), bench.get());
    EXPECT_EQ(container.geometry(), bench->rect());
    EXPECT_FALSE(container.ShowBorder());
    EXPECT_FALSE(container.ShowTitleBar());
    EXPECT_FALSE(container.ShowStatusBar());
    EXPECT_EQ(container.BorderWidth(), 0);
    EXPECT_EQ(container.TitleHeight(), 0);
    EXPECT_EQ(container.StatusHeight(), 0);
    EXPECT_EQ(container.ContentWidth(), 300);
    EXPECT_EQ(container.ContentHeight(), 200);
    EXPECT_EQ(container.BackgroundFile(), "bg.png");
    const QImage& canvas = container.CanvasBitmap();
    ASSERT_EQ(canvas.size(), QSize(300, 200));
    EXPECT_EQ(CountPixels(canvas, canvas.rect(), [](QColor c) { return c != kBackgroundColor; }), 0);

    // The container follows the form.
    bench->resize(340, 220);
    EXPECT_EQ(container.CanvasBitmap().size(), QSize(340, 220));
}

TEST_F(FrmBench, UsersPngWithUpperCaseExtensionWinsOverTheSystemsValue) {
    const std::string user = elsewhere.File("MY_BENCH.PNG");
    const std::string system = elsewhere.File("system_bench.png");
    WritePng(user, 4, 4, kPurple);
    WritePng(system, 4, 4, kGreen);
    userConfig.WriteString("bench_bg", user);
    sysConfig.WriteString("bench_bg", system);
    auto bench = ShownBench();
    EXPECT_EQ(bench->BenchContainer().BackgroundFile(), user);
    EXPECT_EQ(CentreColour(*bench), kPurple);
    const QImage& canvas = bench->BenchContainer().CanvasBitmap();
    EXPECT_EQ(canvas.pixelColor(0, 0), kPurple);
    EXPECT_EQ(canvas.pixelColor(canvas.width() - 1, canvas.height() - 1), kPurple);
}

TEST_F(FrmBench, SystemsValueServesWhenTheUsersFileIsMissing) {
    const std::string system = elsewhere.File("system_bench.png");
    WritePng(system, 4, 4, kGreen);
    userConfig.WriteString("bench_bg", elsewhere.File("deleted.png"));
    sysConfig.WriteString("bench_bg", system);
    auto bench = ShownBench();
    EXPECT_EQ(bench->BenchContainer().BackgroundFile(), system);
    EXPECT_EQ(CentreColour(*bench), kGreen);
}

TEST_F(FrmBench, ExistingPictureOfAnotherKindLeavesTheDefaultBackground) {
    const std::string photo = elsewhere.File("holiday.jpg");
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(kPurple);
    ASSERT_TRUE(picture.save(QString::fromStdString(photo), "JPG"));
    const std::string system = elsewhere.File("system_bench.png");
    WritePng(system, 4, 4, kGreen);
    userConfig.WriteString("bench_bg", photo);
    sysConfig.WriteString("bench_bg", system);
    auto bench = ShownBench();
    // The user's file is the chosen one, and it is not a PNG picture.
    EXPECT_EQ(bench->BenchContainer().BackgroundFile(), "bg.png");
    EXPECT_EQ(CentreColour(*bench), kBackgroundColor);
}

TEST_F(FrmBench, NeitherFileExistingLeavesTheDefaultBackground) {
    userConfig.WriteString("bench_bg", elsewhere.File("a.png"));
    sysConfig.WriteString("bench_bg", elsewhere.File("b.png"));
    auto bench = ShownBench();
    EXPECT_EQ(bench->BenchContainer().BackgroundFile(), "bg.png");
    EXPECT_EQ(CentreColour(*bench), kBackgroundColor);
}

TEST_F(FrmBench, RelativeNameIsFoundUnderTheInstallationsPictures) {
    EnsureDir(PicturesPath());
    const std::string name = "bench_test_" + std::to_string(getpid()) + ".png";
    const std::string file = PicturesPath() + name;
    WritePng(file, 4, 4, kYellow);
    userConfig.WriteString("bench_bg", name);
    auto bench = ShownBench();
    EXPECT_EQ(bench->BenchContainer().BackgroundFile(), file);
    EXPECT_EQ(CentreColour(*bench), kYellow);
    std::filesystem::remove(file);
}

TEST_F(FrmBench, ScriptsPlaceWidgetsOnTheBenchContainer) {
    auto bench = ShownBench();
    WritePng(pictures.File("tile.png"), 20, 10, kRed);
    TUIcon& icon = AddIcon(bench->BenchContainer(), IconDoc(-20, -10, "tile.png", ""), true);
    EXPECT_EQ(icon.Bounds, (TRect{280, 190, 300, 200}));
    EXPECT_EQ(bench->BenchContainer().CanvasBitmap().pixelColor(299, 199), kRed);
}

TEST_F(FrmBench, DestroyingTheFormFreesTheContainer) {
    auto bench = ShownBench();
    QPointer<TUIContainer> container(&bench->BenchContainer());
    bench.reset();
    EXPECT_TRUE(container.isNull());
}

} // namespace
} // namespace qm::test
