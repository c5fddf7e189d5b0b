// The installed sample desk as a user meets it: the real host program on an X server of the
// test's own, driven with real pointer events. Icons run their actions, plug-in windows open in
// pages of their own, the tab's close button frees the window, and the title buttons maximize and
// restore the window. What happened is read from the screen and from the host's trace channel.
#include "SampleDesk.h"
#include "ScreenSearch.h"
#include "desk/tabs/TaxTabControlTopPanel.h"
#include "tests/support/TabStripPoints.h"

#include <gtest/gtest.h>
#include <regex>
#include <vector>

namespace qmtest {
namespace {

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 800;

constexpr int kStripHeight = qm::TTaxTabControlTopPanel::kHeight;
// The strip's background column in the skin bitmap.
constexpr int kSkinBackgroundColumn = 295;

constexpr auto kScreenTimeout = 10s;

class DeskSession : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = std::make_unique<TXServer>(kScreenWidth, kScreenHeight);
        desk_ = std::make_unique<TSampleDesk>(*server_);
        window_ = server_->WindowOf(desk_->Host().Pid());
        ASSERT_FALSE(window_.isEmpty()) << desk_->Host().Output();
        skin_ = desk_->Picture("PgSkin.bmp");
        ASSERT_FALSE(skin_.isNull());
        // Away from every widget, so that no picture shows its hover look.
        server_->MoveMouse(QPoint(window_.center().x(), window_.bottom() - 100));
    }

    void TearDown() override {
        if (!desk_)
            return;
        EXPECT_TRUE(desk_->Host().Running()) << desk_->Host().Output();
        EXPECT_TRUE(desk_->Host().Dialogs().empty()) << desk_->Host().Dialogs().front().message;
    }

    // The tab strip of the desk's page control in column x of the strip, on screen now.
    bool StripBackgroundAt(const QImage& screen, int x) const {
        return ShowsColumn(screen, OnDeskStrip(window_, QPoint(x, 0)), skin_, kSkinBackgroundColumn,
                           kStripHeight);
    }
    // Halfway along the strip, where no tab reaches while only a few pages are open.
    int FreeStripX() const { return DeskStrip(window_).width / 2; }
    bool StripShown() const { return StripBackgroundAt(server_->Screenshot(), FreeStripX()); }

    // The centre of a bench icon, found on the screen by its picture.
    QPoint IconCentre(const std::string& picture) const {
        const QImage image = desk_->Picture(picture);
        const std::optional<QPoint> at = FindPicture(server_->Screenshot(), image);
        if (!at)
            return QPoint(-1, -1);
        return *at + QPoint(image.width() / 2, image.height() / 2);
    }

    // The strip as the desk frame sets it up, not scrolled.
    qm::test::TStripLayout Strip() const { return DeskStrip(window_); }

    // A point of the strip (strip coordinates) on the screen.
    QPoint OnStrip(QPoint at) const { return OnDeskStrip(window_, at); }
    // The middle of visible tab k while the row is not scrolled.
    QPoint TabCentre(int k) const { return OnStrip(qm::test::TabMiddle(Strip(), k)); }
    // Waits until the bench shows the icon again (the bench is the page shown).
    QPoint WaitForIcon(const std::string& picture) const {
        QPoint at(-1, -1);
        WaitUntil(
            [&] {
                at = IconCentre(picture);
                return at != QPoint(-1, -1);
            },
            kScreenTimeout);
        return at;
    }

    // Every page handle the calendar action logged, in order.
    std::vector<std::string> CalendarPages() const {
        static const std::regex line("日历: 申报日历页面 (\\d+)");
        std::vector<std::string> pages;
        const std::string output = desk_->Host().Output();
        for (std::sregex_iterator it(output.begin(), output.end(), line), end; it != end; ++it)
            pages.push_back((*it)[1].str());
        return pages;
    }

    // The title buttons from the right edge: close, maximize, minimize, by their normal pictures.
    static constexpr const char* kTitleButtons[] = {"pack:close_01.png", "pack:nor_01.png",
                                                    "pack:min_01.png"};

    QPoint TitleButtonCentre(const QRect& window, int button) const {
        const int b = desk_->Border();
        int right = window.width() - b;
        for (int k = 0; k < button; ++k)
            right -= desk_->Picture(kTitleButtons[k]).width();
        const QImage picture = desk_->Picture(kTitleButtons[button]);
        return window.topLeft() + QPoint(right - picture.width() / 2, b + 1 + picture.height() / 2);
    }
    QPoint MaximizeButtonCentre(const QRect& window) const { return TitleButtonCentre(window, 1); }

    // Whether a title button shows one of the pictures (its normal or hover look, say).
    bool TitleButtonShows(const QRect& window, int button, const std::vector<std::string>& pictures) const {
        const QImage screen = server_->Screenshot();
        for (const std::string& name : pictures) {
            const QImage picture = desk_->Picture(name);
            const QPoint at =
                TitleButtonCentre(window, button) - QPoint(picture.width() / 2, picture.height() / 2);
            if (FindPicture(screen.copy(QRect(at, picture.size())), picture) == QPoint(0, 0))
                return true;
        }
        return false;
    }
    bool MaximizeButtonShows(const QRect& window, const std::vector<std::string>& pictures) const {
        return TitleButtonShows(window, 1, pictures);
    }

    bool WindowBecomes(const QRect& expected) const {
        return WaitUntil([&] { return server_->WindowOf(desk_->Host().Pid()) == expected; }, kScreenTimeout);
    }

    std::unique_ptr<TXServer> server_;
    std::unique_ptr<TSampleDesk> desk_;
    QRect window_;
    QImage skin_;
};

TEST_F(DeskSession, CalendarIconOpensOnePageAndTheSameActionAgainFocusesIt) {
    // The bench keeps its tab; the rest of the strip is free.
    EXPECT_TRUE(StripShown()) << "the bench's tab strip";
    const QImage normal = desk_->Picture("calendar_nor.png");
    const std::optional<QPoint> icon = FindPicture(server_->Screenshot(), normal);
    ASSERT_TRUE(icon) << "the calendar icon is not on the bench";
    const QPoint centre = *icon + QPoint(normal.width() / 2, normal.height() / 2);

    // Hovering shows the icon's hover picture in its place.
    server_->MoveMouse(centre);
    const QImage hover = desk_->Picture("calendar_mov.png");
    EXPECT_TRUE(
        WaitUntil([&] { return FindPicture(server_->Screenshot(), hover) == *icon; }, kScreenTimeout));

    server_->Click(centre);
    ASSERT_TRUE(desk_->Host().WaitForOutput("日历: 申报日历页面")) << desk_->Host().Output();
    EXPECT_EQ(desk_->Count("DeskTools calendar window created"), 1);
    EXPECT_TRUE(WaitUntil([&] { return IconCentre("calendar_nor.png") == QPoint(-1, -1); }, kScreenTimeout))
        << "the new page covers the bench";

    // The bench's tab brings the bench back, and the icon finds the page that holds the window.
    server_->Click(TabCentre(0));
    const QPoint again = WaitForIcon("calendar_nor.png");
    ASSERT_NE(again, QPoint(-1, -1)) << "the bench's tab did not bring the bench back";
    server_->Click(again);
    ASSERT_TRUE(WaitUntil([&] { return CalendarPages().size() == 2; }, kScreenTimeout))
        << desk_->Host().Output();
    const std::vector<std::string> pages = CalendarPages();
    EXPECT_EQ(pages[0], pages[1]) << "the second run found the page that holds the window";
    EXPECT_EQ(desk_->Count("DeskTools calendar window created"), 1);
    EXPECT_TRUE(WaitUntil([&] { return IconCentre("calendar_nor.png") == QPoint(-1, -1); }, kScreenTimeout))
        << "the calendar's page is shown again";
    // Where a third tab would start, the strip is still empty.
    const int thirdTabMiddle = qm::test::TabMiddle(Strip(), 2).x();
    EXPECT_TRUE(StripBackgroundAt(server_->Screenshot(), thirdTabMiddle));
}

TEST_F(DeskSession, TabCloseButtonClosesThePageAndFreesItsWindow) {
    const QPoint calculator = IconCentre("calculator_nor.png");
    ASSERT_NE(calculator, QPoint(-1, -1)) << "the calculator icon is not on the bench";
    server_->Click(calculator);
    ASSERT_TRUE(desk_->Host().WaitForOutput("DeskTools calculator window created")) << desk_->Host().Output();
    const int pageTabMiddle = qm::test::TabMiddle(Strip(), 1).x();
    ASSERT_TRUE(
        WaitUntil([&] { return !StripBackgroundAt(server_->Screenshot(), pageTabMiddle); }, kScreenTimeout))
        << "the new page's tab";

    server_->Click(OnStrip(qm::test::CloseButtonMiddle(Strip(), 1)));
    ASSERT_TRUE(desk_->Host().WaitForOutput("DeskTools calculator window closed")) << desk_->Host().Output();
    EXPECT_TRUE(
        WaitUntil([&] { return StripBackgroundAt(server_->Screenshot(), pageTabMiddle); }, kScreenTimeout))
        << "the closed page's tab stays on the strip";

    // The bench is back, and the icon opens a new window: the freed one is not handed out again.
    server_->MoveMouse(QPoint(window_.center().x(), window_.bottom() - 100));
    const QPoint again = WaitForIcon("calculator_nor.png");
    ASSERT_NE(again, QPoint(-1, -1)) << "the bench did not come back";
    server_->Click(again);
    ASSERT_TRUE(
        WaitUntil([&] { return desk_->Count("DeskTools calculator window created") == 2; }, kScreenTimeout))
        << desk_->Host().Output();
}

TEST_F(DeskSession, TitleButtonRestoresAndMaximizesTheWindow) {
    // The desk starts maximized over the whole work area (the server's screen: no window manager,
    // no panels), its button offering to restore from the first paint.
    const QRect workArea(0, 0, kScreenWidth, kScreenHeight);
    const QRect restored((kScreenWidth - 800) / 2, (kScreenHeight - 600) / 2, 800, 600);
    ASSERT_EQ(window_, workArea);
    EXPECT_TRUE(MaximizeButtonShows(workArea, {"pack:max_01.png", "pack:max_02.png"}));

    server_->Click(MaximizeButtonCentre(workArea));
    EXPECT_TRUE(WindowBecomes(restored)) << "restored to 800 x 600, centred";
    EXPECT_TRUE(WaitUntil(
        [&] {
            return MaximizeButtonShows(restored, {"pack:nor_01.png", "pack:nor_02.png"});
        },
        kScreenTimeout))
        << "the button still offers to restore";
    server_->Click(MaximizeButtonCentre(restored));
    EXPECT_TRUE(WindowBecomes(workArea)) << "maximized again";
}

TEST_F(DeskSession, HoverLookEndsWhenThePointerMovesFromATitleButtonOntoThePageControl) {
    // The page control is a child of the desk container, so the container itself is never left.
    // The pictures are mostly transparent, so the screen is compared with itself: the part of each
    // button above the page control, before the pointer came and after it went.
    for (int button = 0; button < static_cast<int>(std::size(kTitleButtons)); ++button) {
        const QImage picture = desk_->Picture(kTitleButtons[button]);
        const QPoint centre = TitleButtonCentre(window_, button);
        const QRect area =
            QRect(centre - QPoint(picture.width() / 2, picture.height() / 2), picture.size())
                .intersected(QRect(window_.topLeft(),
                                   QSize(window_.width(), OnDeskStrip(window_, {}).y() - window_.top())));
        ASSERT_FALSE(area.isEmpty());
        const QImage normal = server_->Screenshot().copy(area);

        server_->MoveMouse(centre);
        EXPECT_TRUE(WaitUntil([&] { return server_->Screenshot().copy(area) != normal; }, kScreenTimeout))
            << kTitleButtons[button] << " shows no hover look";
        // Straight down onto the tab strip.
        server_->MoveMouse(QPoint(centre.x(), OnStrip(QPoint(0, kStripHeight / 2)).y()));
        EXPECT_TRUE(WaitUntil([&] { return server_->Screenshot().copy(area) == normal; }, kScreenTimeout))
            << kTitleButtons[button] << " keeps its hover look";
    }
}

} // namespace
} // namespace qmtest
