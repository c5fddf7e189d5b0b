// The strip under real mouse events: hover codes and tool tips, selecting, closing, the list
// button's menu, and what reaches the owning panel.

#include "SkinFixture.h"
#include "desk/tabs/TaxTab.h"
#include "desk/tabs/TaxTabControlTopPanel.h"

#include <QAction>
#include <QMenu>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace qm::test {
namespace {

// What the owner was told, in order.
struct TOwnerLog {
    std::vector<std::string> events;
    std::vector<int> activated;
    std::vector<int> closeRequests;
    std::vector<QPoint> downs;
    std::vector<QPoint> moves;
    std::vector<QPoint> ups;
    int clicks = 0;
    int doubleClicks = 0;
    bool allowChange = true;

    int Count(const std::string& name) const {
        return static_cast<int>(std::count(events.begin(), events.end(), name));
    }
};

// Strip 300 wide (row view x 20..297), tabs 50 long with a step of 30.
class TabStripMouse : public ::testing::Test {
protected:
    void SetUp() override {
        tab_ = std::make_unique<TTaxTab>();
        tab_->resize(300, 80);
        Strip().SetSkinFile(WriteSkinFile(folder_));
        Strip().SetTabs({"Alpha", "Beta", "Gamma"});
        TTaxTab& owner = *tab_;
        owner.OnChanging = [this](TTaxTab&, bool& allow) {
            log_.events.push_back("changing");
            allow = log_.allowChange;
        };
        owner.OnTabActive = [this](TTaxTab&, int index) {
            log_.events.push_back("tab_active");
            log_.activated.push_back(index);
        };
        owner.OnChange = [this](TTaxTab&) { log_.events.push_back("change"); };
        owner.OnClick = [this](TTaxTab&) { ++log_.clicks; };
        owner.OnDblClick = [this](TTaxTab&) { ++log_.doubleClicks; };
        owner.OnTabCloseRequest = [this](TTaxTab&, int index) { log_.closeRequests.push_back(index); };
        owner.OnMouseDown = [this](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
            EXPECT_EQ(button, Qt::LeftButton);
            log_.downs.emplace_back(x, y);
        };
        owner.OnMouseMove = [this](Qt::KeyboardModifiers, int x, int y) { log_.moves.emplace_back(x, y); };
        owner.OnMouseUp = [this](Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
            log_.ups.emplace_back(x, y);
        };
        tab_->show();
    }

    TTaxTabControlTopPanel& Strip() { return tab_->TopPanel(); }
    QImage Shot() { return Strip().grab().toImage(); }
    void SetTabCount(int count, bool closeButtons) {
        std::vector<std::string> captions;
        for (int i = 0; i < count; ++i) {
            captions.push_back("T" + std::to_string(i));
            Strip().SetCloseVisible(i, closeButtons);
        }
        Strip().SetTabs(captions);
    }

    TTempFolder folder_;
    std::unique_ptr<TTaxTab> tab_;
    TOwnerLog log_;
};

TEST_F(TabStripMouse, SettingTheCurrentOrAnInvalidIndexSendsNothing) {
    Strip().SetTabIndex(0);
    Strip().SetTabIndex(3);
    Strip().SetTabIndex(-2);
    EXPECT_EQ(Strip().TabIndex(), 0);
    // A click on the tab that is already active selects nothing either.
    MouseClick(Strip(), {25, 2});
    EXPECT_EQ(Strip().TabIndex(), 0);
    EXPECT_TRUE(log_.events.empty());
    EXPECT_EQ(log_.clicks, 1);
}

TEST_F(TabStripMouse, ClickOnATabSelectsItAndTellsTheOwner) {
    MouseClick(Strip(), {75, 2}); // tab 1 (row 55)
    EXPECT_EQ(Strip().TabIndex(), 1);
    EXPECT_EQ(log_.events, (std::vector<std::string>{"changing", "tab_active", "change"}));
    EXPECT_EQ(log_.activated, std::vector<int>{1});
    EXPECT_EQ(log_.clicks, 1);
    EXPECT_EQ(log_.downs, std::vector<QPoint>{QPoint(75, 2)});
    EXPECT_EQ(log_.ups, std::vector<QPoint>{QPoint(75, 2)});
    EXPECT_EQ(Strip().PressState(), 0);
}

TEST_F(TabStripMouse, VetoedChangeKeepsIndexScrollAndPicture) {
    SetTabCount(20, false);
    const QImage before = Shot();
    log_.allowChange = false;
    Strip().SetTabIndex(10);
    MouseClick(Strip(), {75, 2});
    EXPECT_EQ(log_.Count("changing"), 2);
    EXPECT_EQ(Strip().TabIndex(), 0);
    EXPECT_EQ(Strip().ScrollOffset(), 0);
    EXPECT_TRUE(log_.activated.empty());
    EXPECT_EQ(log_.Count("change"), 0);
    // Without the hover look the click left, the picture is the one from before.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&Strip(), &leave);
    EXPECT_EQ(Shot(), before);
}

TEST_F(TabStripMouse, HoverCodesAndToolTipsFollowTheMouse) {
    MouseMove(Strip(), {10, 12});
    EXPECT_EQ(Strip().HoverCode(), 0);
    EXPECT_EQ(Strip().PressState(), 1);
    EXPECT_EQ(Strip().toolTip(), QStringLiteral("标签列表"));

    MouseMove(Strip(), {75, 2});
    EXPECT_EQ(Strip().HoverCode(), 2);
    EXPECT_EQ(Strip().PressState(), 0);
    EXPECT_EQ(Strip().toolTip(), QStringLiteral("Beta"));

    // The close button's place counts even where the tab shows none.
    MouseMove(Strip(), {75, 12});
    EXPECT_EQ(Strip().HoverCode(), 1002);
    EXPECT_EQ(Strip().PressState(), 1);
    EXPECT_EQ(Strip().toolTip(), QStringLiteral("Beta"));

    MouseMove(Strip(), {250, 12}); // past the row
    EXPECT_EQ(Strip().HoverCode(), -1000);
    EXPECT_EQ(Strip().PressState(), 0);
    EXPECT_TRUE(Strip().toolTip().isEmpty());

    MouseMove(Strip(), {105, 2});
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&Strip(), &leave);
    EXPECT_EQ(Strip().HoverCode(), -1000);
}

TEST_F(TabStripMouse, CloseButtonPressSelectsNothingAndItsReleaseAsksToClose) {
    Strip().SetCloseVisible(1, true);
    MouseMove(Strip(), {75, 12});
    MousePress(Strip(), {75, 12});
    EXPECT_EQ(Strip().TabIndex(), 0);
    EXPECT_EQ(log_.Count("changing"), 0);
    EXPECT_TRUE(log_.closeRequests.empty());
    MouseRelease(Strip(), {75, 12});
    EXPECT_EQ(log_.closeRequests, std::vector<int>{1});

    // Tab 2 has no close button: its place still swallows the press, but nothing is closed.
    MouseClick(Strip(), {105, 12});
    EXPECT_EQ(Strip().TabIndex(), 0);
    EXPECT_EQ(log_.closeRequests, std::vector<int>{1});
}

TEST_F(TabStripMouse, ReleaseOverACloseButtonThatScrolledUnderTheMouseClosesNothing) {
    SetTabCount(20, true);
    // Tab 8's body at row 245; selecting it scrolls the row by 42, which brings tab 9's close
    // button (row 242..258) under the mouse.
    MouseMove(Strip(), {265, 12});
    ASSERT_EQ(Strip().HoverCode(), 9);
    MousePress(Strip(), {265, 12});
    ASSERT_EQ(Strip().TabIndex(), 8);
    ASSERT_EQ(Strip().ScrollOffset(), 42);
    MouseRelease(Strip(), {265, 12});
    EXPECT_TRUE(log_.closeRequests.empty());

    // A click that starts on that close button does close tab 9 (row 252: right of the active
    // tab's reach, which ends at 248).
    MouseClick(Strip(), {272, 12});
    EXPECT_EQ(Strip().HoverCode(), 1010);
    EXPECT_EQ(log_.closeRequests, std::vector<int>{9});
}

TEST_F(TabStripMouse, RightButtonNeitherSelectsNorOpensTheList) {
    MouseMove(Strip(), {75, 2});
    MousePress(Strip(), {75, 2}, Qt::RightButton);
    MouseRelease(Strip(), {75, 2}, Qt::RightButton);
    MouseMove(Strip(), {10, 12});
    MousePress(Strip(), {10, 12}, Qt::RightButton);
    EXPECT_EQ(Strip().PressState(), 1);
    MouseRelease(Strip(), {10, 12}, Qt::RightButton);
    EXPECT_EQ(Strip().TabIndex(), 0);
    EXPECT_TRUE(log_.events.empty());
    EXPECT_EQ(Strip().ListMenu(), nullptr);
    EXPECT_TRUE(log_.downs.empty());
    EXPECT_EQ(log_.clicks, 0);
}

TEST_F(TabStripMouse, ListMenuOpensOnlyWithMoreThanOneVisibleTab) {
    Strip().SetTabVisible(1, false);
    Strip().SetTabVisible(2, false);
    MouseClick(Strip(), {10, 12});
    ASSERT_NE(Strip().ListMenu(), nullptr);
    EXPECT_EQ(Strip().ListMenu()->actions().size(), 1);
    EXPECT_FALSE(Strip().ListMenu()->isVisible());

    Strip().SetTabVisible(2, true);
    log_ = TOwnerLog{};
    MouseMove(Strip(), {10, 12});
    MousePress(Strip(), {10, 12});
    QMenu* menu = Strip().ListMenu();
    ASSERT_TRUE(menu->isVisible());
    // One entry per visible tab in list order, the active one checked.
    const QList<QAction*> entries = menu->actions();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0]->text(), QStringLiteral("Alpha"));
    EXPECT_EQ(entries[1]->text(), QStringLiteral("Gamma"));
    EXPECT_TRUE(entries[0]->isChecked());
    EXPECT_FALSE(entries[1]->isChecked());
    // Below the strip, at the mouse's x.
    EXPECT_EQ(menu->pos(), Strip().mapToGlobal(QPoint(10, 24)));
    // The menu takes over the mouse: the press the owner saw has ended.
    EXPECT_EQ(log_.ups.size(), 1u);

    entries[1]->trigger();
    menu->hide();
    EXPECT_EQ(Strip().TabIndex(), 2);
    EXPECT_EQ(log_.activated, std::vector<int>{2});
    EXPECT_EQ(Strip().PressState(), 0);
}

TEST_F(TabStripMouse, OwnerSeesTheLeftPressItsDragAndDoubleClicks) {
    MouseMove(Strip(), {250, 5});
    EXPECT_TRUE(log_.moves.empty()) << "plain moves stay with the strip";
    MousePress(Strip(), {250, 5});
    MouseMove(Strip(), {262, 9}, Qt::LeftButton);
    MouseRelease(Strip(), {262, 9});
    EXPECT_EQ(log_.downs, std::vector<QPoint>{QPoint(250, 5)});
    EXPECT_EQ(log_.moves, std::vector<QPoint>{QPoint(262, 9)});
    EXPECT_EQ(log_.ups, std::vector<QPoint>{QPoint(262, 9)});
    EXPECT_EQ(log_.clicks, 1);

    // A double-click: press, release, double-click, release.
    MousePress(Strip(), {250, 5});
    MouseRelease(Strip(), {250, 5});
    SendMouse(Strip(), QEvent::MouseButtonDblClick, {250, 5}, Qt::LeftButton, Qt::LeftButton);
    MouseRelease(Strip(), {250, 5});
    EXPECT_EQ(log_.doubleClicks, 1);
    EXPECT_EQ(log_.clicks, 2);
    EXPECT_EQ(log_.downs.size(), 3u);
}

TEST_F(TabStripMouse, SeventyTabsWithCloseButtonsWork) {
    SetTabCount(70, true);
    Strip().SetTabIndex(69);
    EXPECT_EQ(Strip().TabIndex(), 69);
    EXPECT_EQ(Strip().ScrollOffset(), 70 * 30 + 20 - 278);
    EXPECT_TRUE(Strip().TabVisible(69));
    EXPECT_TRUE(Strip().CloseVisible(69));
    // Tab 69's close button ends at row 2100 - 1842 = 258, on the strip at 278.
    MouseMove(Strip(), {270, 12});
    EXPECT_EQ(Strip().HoverCode(), 1070);
    EXPECT_EQ(Strip().toolTip(), QStringLiteral("T69"));
    MousePress(Strip(), {270, 12});
    MouseRelease(Strip(), {270, 12});
    EXPECT_EQ(log_.closeRequests, std::vector<int>{69});

    Strip().SetTabVisible(66, false);
    EXPECT_FALSE(Strip().TabVisible(66));
    EXPECT_EQ(Strip().Geometry().VisibleCount(), 69);
}

} // namespace
} // namespace qm::test
