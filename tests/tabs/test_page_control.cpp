// The page control with real pages, a real skin file and real mouse events on its strip.

#include "SkinFixture.h"
#include "common/ControlAlign.h"
#include "corvane/Errors.h"
#include "corvane/HandleTable.h"
#include "desk/tabs/TaxPageControl.h"
#include "desk/tabs/TaxTabControlTopPanel.h"
#include "desk/tabs/TaxTabSheet.h"
#include "tests/support/AccessibleActions.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace qm::test {
namespace {

// A page control 400 x 200 on an owner window; strip 400 wide, tabs 50 long (step 30).
class PageControl : public ::testing::Test {
protected:
    void SetUp() override {
        owner_ = std::make_unique<QWidget>();
        owner_->resize(500, 300);
        pc_ = std::make_unique<TTaxPageControl>(owner_.get());
        pc_->resize(400, 200);
        pc_->SetSkinFile(WriteSkinFile(folder_));
        owner_->show();
    }

    TTaxTabControlTopPanel& Strip() { return pc_->TopPanel(); }

    TTaxTabSheet& Page(const std::string& caption) {
        TTaxTabSheet& page = pc_->NewPage(false);
        page.SetCaption(caption);
        return page;
    }

    std::vector<std::string> Captions() { return Strip().Tabs(); }

    // Only the active page is shown and enabled.
    void ExpectOnlyActiveShown() {
        for (const TTaxTabSheet* page : pc_->Pages()) {
            const bool active = page == pc_->ActivePage();
            EXPECT_EQ(!page->isHidden(), active) << page->Caption();
            EXPECT_EQ(page->isEnabled(), active) << page->Caption();
        }
    }

    // A click on the close button of the tab that ends at row x tabRight.
    void ClickClose(int tabRight) {
        const QPoint at(20 + tabRight - 8, 12);
        MouseClick(Strip(), at);
    }

    static void DestroyLater(QObject* object) {
        object->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TTempFolder folder_;
    std::unique_ptr<QWidget> owner_;
    std::unique_ptr<TTaxPageControl> pc_;
};

TEST_F(PageControl, NewPagesTakeTheFirstFreeNameFromPageCountOn) {
    QObject taken3(owner_.get());
    taken3.setObjectName(QStringLiteral("TaxTabSheet3"));
    QObject taken4(owner_.get());
    taken4.setObjectName(QStringLiteral("TaxTabSheet4"));

    TTaxTabSheet& first = pc_->NewPage(false);
    TTaxTabSheet& second = pc_->NewPage(false);
    EXPECT_EQ(first.objectName(), QStringLiteral("TaxTabSheet1"));
    EXPECT_EQ(second.Caption(), "TaxTabSheet2");
    TTaxTabSheet& third = pc_->NewPage(false);
    EXPECT_EQ(third.objectName(), QStringLiteral("TaxTabSheet5"));
    EXPECT_EQ(third.Caption(), "TaxTabSheet5");
    EXPECT_EQ(Captions(), (std::vector<std::string>{"TaxTabSheet1", "TaxTabSheet2", "TaxTabSheet5"}));

    // A closed page keeps its name: with 2 pages left, 3, 4 and 5 are taken.
    ASSERT_TRUE(pc_->RemovePage(second));
    EXPECT_EQ(pc_->NewPage(false).objectName(), QStringLiteral("TaxTabSheet6"));
}

TEST_F(PageControl, NewPageAfterTheActiveOneIsInsertedThereAndActivated) {
    TTaxTabSheet& a = Page("A");
    TTaxTabSheet& b = Page("B");
    Page("C");
    pc_->SetActivePage(&b);
    ASSERT_EQ(Strip().TabIndex(), 1);

    TTaxTabSheet& inserted = pc_->NewPage(true);
    inserted.SetCaption("N");
    EXPECT_EQ(inserted.PageIndex(), 2);
    EXPECT_EQ(pc_->ActivePage(), &inserted);
    EXPECT_EQ(Strip().TabIndex(), 2);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"A", "B", "N", "C"}));
    ExpectOnlyActiveShown();
    EXPECT_EQ(pc_->GetPage(3)->PageIndex(), 3);

    // Without an active page "after the active one" means at the end.
    pc_->SetActivePage(nullptr);
    EXPECT_TRUE(a.isHidden());
    TTaxTabSheet& last = pc_->NewPage(true);
    EXPECT_EQ(last.PageIndex(), 4);
    EXPECT_EQ(pc_->ActivePage(), &last);
}

TEST_F(PageControl, ClosingPicksTheFollowingOrTheNewLastPage) {
    TTaxTabSheet& a = Page("A");
    TTaxTabSheet& b = Page("B");
    TTaxTabSheet& c = Page("C");
    TTaxTabSheet& d = Page("D");
    std::vector<std::string> asked;
    pc_->OnClosePage = [&](TTaxPageControl&, TTaxTabSheet& page, bool& allow) {
        asked.push_back(page.Caption());
        EXPECT_TRUE(allow);
    };
    ASSERT_EQ(pc_->ActivePage(), &d);

    // The active last page, from its close button (tab 3 ends at row 120).
    ClickClose(120);
    EXPECT_EQ(asked, std::vector<std::string>{"D"});
    EXPECT_EQ(pc_->ActivePage(), &c);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(d.PageControl(), nullptr);
    EXPECT_EQ(d.PageIndex(), -1);
    EXPECT_TRUE(d.isHidden());
    EXPECT_EQ(d.parentWidget(), pc_.get()) << "a closed page stays alive as a hidden child";

    // The active middle page: the one that followed it takes over.
    pc_->SetActivePage(&b);
    ASSERT_TRUE(pc_->RemovePage(b));
    EXPECT_EQ(pc_->ActivePage(), &c);
    EXPECT_EQ(Strip().TabIndex(), 1);

    // An inactive page: the active one stays.
    ASSERT_TRUE(pc_->RemovePage(a));
    EXPECT_EQ(pc_->ActivePage(), &c);
    EXPECT_EQ(c.PageIndex(), 0);
    EXPECT_EQ(Strip().TabIndex(), 0);
    EXPECT_EQ(Captions(), std::vector<std::string>{"C"});
    ExpectOnlyActiveShown();
    EXPECT_TRUE(a.isHidden() && b.isHidden() && d.isHidden());
    EXPECT_EQ(asked, (std::vector<std::string>{"D", "B", "A"}));

    // The only page: none is left active.
    ASSERT_TRUE(pc_->RemovePage(c));
    EXPECT_EQ(pc_->ActivePage(), nullptr);
    EXPECT_TRUE(c.isHidden());
}

TEST_F(PageControl, RefusedCloseKeepsTabAndPage) {
    Page("A");
    TTaxTabSheet& b = Page("B");
    pc_->OnClosePage = [](TTaxPageControl&, TTaxTabSheet&, bool& allow) { allow = false; };
    ClickClose(60); // tab 1, the active one
    EXPECT_FALSE(pc_->RemovePage(b));
    EXPECT_EQ(pc_->PageCount(), 2);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(pc_->ActivePage(), &b);
    EXPECT_EQ(b.PageIndex(), 1);
    EXPECT_FALSE(b.isHidden());
}

TEST_F(PageControl, HidingTheOnlyVisibleTabCollapsesTheStripAndShowingBringsItBack) {
    pc_->SetBorderColor(QColor(Qt::red));
    TTaxTabSheet& only = Page("Only");
    EXPECT_EQ(only.geometry(), QRect(1, 24, 398, 175));
    EXPECT_EQ(pc_->grab().toImage().pixelColor(200, 0), pc_->TopPanel().grab().toImage().pixelColor(200, 0));

    only.SetTabVisible(false);
    EXPECT_FALSE(only.TabVisible());
    EXPECT_EQ(pc_->ActivePage(), nullptr);
    EXPECT_TRUE(only.isHidden());
    EXPECT_EQ(Strip().height(), 0);
    EXPECT_TRUE(pc_->FreeStripRect().isEmpty());
    // Without the strip the frame closes at the top.
    const QImage framed = pc_->grab().toImage();
    EXPECT_EQ(framed.pixelColor(200, 0), QColor(Qt::red));
    EXPECT_EQ(framed.pixelColor(0, 100), QColor(Qt::red));

    only.SetTabVisible(true);
    EXPECT_EQ(Strip().height(), 24);
    EXPECT_EQ(pc_->ActivePage(), &only);
    EXPECT_FALSE(only.isHidden());
    EXPECT_EQ(only.geometry(), QRect(1, 24, 398, 175));
}

TEST_F(PageControl, HidingTheActiveTabActivatesTheNearestPageWithATab) {
    TTaxTabSheet& a = Page("A");
    TTaxTabSheet& b = Page("B");
    TTaxTabSheet& c = Page("C");
    TTaxTabSheet& d = Page("D");
    c.SetTabVisible(false); // inactive: only the tab goes
    EXPECT_EQ(pc_->ActivePage(), &d);
    EXPECT_FALSE(Strip().TabVisible(2));

    pc_->SetActivePage(&b);
    b.SetTabVisible(false); // after it first, skipping the hidden C
    EXPECT_EQ(pc_->ActivePage(), &d);
    d.SetTabVisible(false); // nothing after it: the nearest before it with a tab
    EXPECT_EQ(pc_->ActivePage(), &a);
    EXPECT_EQ(Strip().height(), 24);
    ExpectOnlyActiveShown();
}

TEST_F(PageControl, PageIndexOutsideTheListKeepsThePage) {
    TTaxTabSheet& a = Page("A");
    Page("B");
    TTaxTabSheet& c = Page("C");
    a.SetBtnCloseVisible(false);
    EXPECT_FALSE(Strip().CloseVisible(0));

    a.SetPageIndex(3);
    a.SetPageIndex(-1);
    EXPECT_EQ(a.PageIndex(), 0);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"A", "B", "C"}));

    // A move takes the caption and the close flag along; the active tab stays on the active page.
    a.SetPageIndex(2);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"B", "C", "A"}));
    EXPECT_EQ(pc_->GetPage(2), &a);
    EXPECT_FALSE(Strip().CloseVisible(2));
    EXPECT_TRUE(Strip().CloseVisible(0));
    EXPECT_EQ(pc_->ActivePage(), &c);
    EXPECT_EQ(Strip().TabIndex(), c.PageIndex());
}

TEST_F(PageControl, SkinGivesColoursAndAMissingSkinPaintsWhite) {
    TTaxTabSheet& page = Page("P");
    EXPECT_EQ(pc_->Color().rgb(), PieceColour("background"));
    EXPECT_EQ(pc_->SkinFrameColor().rgb(), PieceColour("frame"));
    EXPECT_EQ(PieceAt(page.grab().toImage(), 100, 100), "page");

    pc_->SetSkinFile(folder_.File("missing.bmp"));
    EXPECT_EQ(pc_->SkinFile(), folder_.File("missing.bmp"));
    EXPECT_EQ(pc_->Color(), QColor(Qt::white));
    const QImage shot = page.grab().toImage();
    EXPECT_EQ(PieceAt(shot, 0, 0), "white");
    EXPECT_EQ(PieceAt(shot, 200, 100), "white");
    // The page control's own fill shows where no page covers it.
    page.SetTabVisible(false);
    EXPECT_EQ(PieceAt(pc_->grab().toImage(), 200, 100), "white");
}

TEST_F(PageControl, StalePagesNeverTouchAnotherPagesTab) {
    TTaxTabSheet& a = Page("A");
    TTaxTabSheet& b = Page("B");
    TTaxTabSheet& c = Page("C");
    ASSERT_TRUE(pc_->RemovePage(b));
    const std::vector<std::string> tabs = Captions();
    ASSERT_EQ(tabs, (std::vector<std::string>{"A", "C"}));

    // The closed page still thinks of nothing: none of its setters reach the strip.
    EXPECT_FALSE(pc_->RemovePage(b));
    b.SetPageIndex(0);
    b.SetCaption("X");
    b.SetTabVisible(false);
    b.SetBtnCloseVisible(false);
    pc_->SetActivePage(&b);
    EXPECT_EQ(Captions(), tabs);
    EXPECT_TRUE(Strip().TabVisible(0) && Strip().TabVisible(1));
    EXPECT_TRUE(Strip().CloseVisible(0) && Strip().CloseVisible(1));
    EXPECT_EQ(pc_->ActivePage(), &c);

    // Destroying pages: each takes only its own tab, found by identity.
    const std::int32_t handleB = b.Handle();
    const std::int32_t handleA = a.Handle();
    ASSERT_EQ(corvane::Handles().Resolve(handleA, corvane::kHandlePage | corvane::kHandleControl, "page_inst",
                                         "test"),
              static_cast<void*>(static_cast<QWidget*>(&a)));
    DestroyLater(&b);
    EXPECT_EQ(Captions(), tabs);
    EXPECT_FALSE(corvane::Handles().IsLive(handleB));
    DestroyLater(&a);
    EXPECT_EQ(Captions(), std::vector<std::string>{"C"});
    EXPECT_EQ(c.PageIndex(), 0);
    EXPECT_EQ(pc_->ActivePage(), &c);
    EXPECT_THROW(corvane::Handles().Resolve(handleA, corvane::kHandlePage, "page_inst", "test"),
                 corvane::EPlugin);
}

TEST_F(PageControl, DestroyingTheActivePageShowsTheNextOne) {
    Page("A");
    TTaxTabSheet& b = Page("B");
    TTaxTabSheet& c = Page("C");
    pc_->SetActivePage(&b);
    DestroyLater(&b);
    EXPECT_EQ(pc_->ActivePage(), &c);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"A", "C"}));
    ExpectOnlyActiveShown();
}

TEST_F(PageControl, PagesAttachThroughTheirParent) {
    auto page = std::make_unique<TTaxTabSheet>();
    page->SetCaption("Docked");
    EXPECT_EQ(page->PageIndex(), -1);
    TTaxTabSheet* attached = page.get();
    page.release()->setParent(pc_.get());
    EXPECT_EQ(attached->PageControl(), pc_.get());
    EXPECT_EQ(pc_->ActivePage(), attached);

    TTaxTabSheet& child = *std::make_unique<TTaxTabSheet>(pc_.get()).release();
    EXPECT_EQ(child.PageIndex(), 1);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Docked", ""}));

    // Leaving the parent detaches without asking.
    bool asked = false;
    pc_->OnClosePage = [&](TTaxPageControl&, TTaxTabSheet&, bool&) { asked = true; };
    QWidget elsewhere;
    child.setParent(&elsewhere);
    EXPECT_FALSE(asked);
    EXPECT_EQ(child.PageControl(), nullptr);
    EXPECT_EQ(Captions(), std::vector<std::string>{"Docked"});
    EXPECT_EQ(pc_->ActivePage(), attached);
}

TEST_F(PageControl, PagesAreFoundByTagAndControl) {
    TTaxTabSheet& a = Page("A");
    TTaxTabSheet& b = Page("B");
    QLineEdit& edit = *std::make_unique<QLineEdit>(&a).release();
    const std::int32_t editHandle =
        corvane::Handles().Register(static_cast<const QWidget*>(&edit), corvane::kHandleControl);
    a.SetTag(editHandle);
    EXPECT_EQ(pc_->PageByTag(editHandle), &a);
    EXPECT_EQ(pc_->PageByTag(0), nullptr) << "untagged pages are no match for 0";

    pc_->ShowControl(&edit);
    EXPECT_EQ(pc_->ActivePage(), &a);
    pc_->SetActivePage(&b);
    pc_->FocusPage(a);
    EXPECT_EQ(pc_->ActivePage(), &a);
    EXPECT_EQ(owner_->focusWidget(), &edit);
    corvane::Handles().Unregister(static_cast<const QWidget*>(&edit));
}

TEST_F(PageControl, FreeStripRectIsRightOfTheLastTab) {
    Page("A");
    Page("B");
    Page("C");
    // Row 3 * 30 + 20 = 110 from x 20: free from 130 to the strip's right end.
    EXPECT_EQ(pc_->FreeStripRect(), QRect(130, 0, 270, 24));
    pc_->SetToolbarVisible(false);
    EXPECT_EQ(pc_->FreeStripRect(), QRect(110, 0, 290, 24));
    pc_->SetToolbarVisible(true);
    for (int i = 0; i < 17; ++i)
        Page("more");
    // 20 tabs do not fit: only the right margin is free.
    EXPECT_EQ(pc_->FreeStripRect(), QRect(398, 0, 2, 24));
}

TEST_F(PageControl, TabActiveAndChangeFollowTheTabs) {
    std::vector<int> activated;
    int changes = 0;
    pc_->OnTabActive = [&](TTaxTab& sender, int index) {
        EXPECT_EQ(&sender, pc_.get());
        activated.push_back(index);
    };
    pc_->OnChange = [&](TTaxTab&) { ++changes; };
    TTaxTabSheet& a = Page("A");
    Page("B");
    std::vector<std::string> shown;
    a.OnShow = [&](TTaxTabSheet& page) { shown.push_back("show " + page.Caption()); };
    a.OnHide = [&](TTaxTabSheet& page) { shown.push_back("hide " + page.Caption()); };
    MouseClick(Strip(), {25, 2}); // tab 0
    EXPECT_EQ(pc_->ActivePage(), &a);
    EXPECT_EQ(activated, (std::vector<int>{1, 0}));
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(shown, std::vector<std::string>{"show A"});
    MouseClick(Strip(), {75, 2}); // tab 1
    EXPECT_EQ(shown, (std::vector<std::string>{"show A", "hide A"}));
}

TEST_F(PageControl, ClosingTheLastVisibleTabCollapsesTheStripAndKeepsTheHiddenTabPageShown) {
    // The desk's arrangement: a fixed first page without a tab, and pages the user opens and closes.
    TTaxTabSheet& fixed = Page("Fixed");
    fixed.SetTabVisible(false);
    pc_->SetActivePage(&fixed);
    ASSERT_EQ(Strip().height(), 0);

    TTaxTabSheet& opened = Page("Opened");
    EXPECT_EQ(Strip().height(), 24);
    EXPECT_EQ(pc_->ActivePage(), &opened);

    ASSERT_TRUE(pc_->RemovePage(opened));
    EXPECT_EQ(Strip().height(), 0);
    EXPECT_EQ(pc_->ActivePage(), &fixed);
    EXPECT_FALSE(fixed.isHidden());
    EXPECT_EQ(fixed.geometry(), QRect(1, 1, 398, 198));

    // Another page brings the strip back.
    Page("Again");
    EXPECT_EQ(Strip().height(), 24);
}

TEST_F(PageControl, TabListEntrySelectsThePageItNamedAfterThePagesChanged) {
    // Pages A, B, C, D with A active; the list opens, the pages change, then C's entry is chosen.
    struct TCase {
        const char* change;
        std::function<void(TTaxPageControl&, std::vector<TTaxTabSheet*>&)> apply;
        const char* selected; // the active page afterwards
    };
    const std::vector<TCase> cases = {
        {"a page added before it", [](TTaxPageControl& pc, auto&) { pc.NewPage(true).SetCaption("E"); }, "C"},
        {"a page before it closed", [](TTaxPageControl& pc, auto& p) { pc.RemovePage(*p[1]); }, "C"},
        {"it moved to the front", [](TTaxPageControl&, auto& p) { p[2]->SetPageIndex(0); }, "C"},
        {"another tab hidden", [](TTaxPageControl&, auto& p) { p[1]->SetTabVisible(false); }, "C"},
        {"its page closed", [](TTaxPageControl& pc, auto& p) { pc.RemovePage(*p[2]); }, "A"},
        {"its page destroyed", [](TTaxPageControl&, auto& p) { DestroyLater(p[2]); }, "A"},
        {"its tab hidden", [](TTaxPageControl&, auto& p) { p[2]->SetTabVisible(false); }, "A"},
    };
    for (const TCase& c : cases) {
        pc_ = std::make_unique<TTaxPageControl>(owner_.get());
        pc_->resize(400, 200);
        pc_->SetSkinFile(WriteSkinFile(folder_));
        pc_->show();
        std::vector<TTaxTabSheet*> pages = {&Page("A"), &Page("B"), &Page("C"), &Page("D")};
        pc_->SetActivePage(pages[0]);

        MouseMove(Strip(), {10, 12});
        MousePress(Strip(), {10, 12});
        QMenu* menu = Strip().ListMenu();
        ASSERT_NE(menu, nullptr) << c.change;
        ASSERT_TRUE(menu->isVisible()) << c.change;
        const QList<QAction*> entries = menu->actions();
        ASSERT_EQ(entries.size(), 4) << c.change;
        ASSERT_EQ(entries[2]->text(), QStringLiteral("C"));

        c.apply(*pc_, pages);
        entries[2]->trigger();
        menu->hide();
        ASSERT_NE(pc_->ActivePage(), nullptr) << c.change;
        EXPECT_EQ(pc_->ActivePage()->Caption(), c.selected) << c.change;
        EXPECT_EQ(Strip().TabIndex(), pc_->ActivePage()->PageIndex()) << c.change;
        ExpectOnlyActiveShown();
    }
}

TEST_F(PageControl, AssistiveTechnologySeesTheShownTabsAndNamedPagesAndCanPressAndCloseThem) {
    TTaxTabSheet& a = Page("A");
    TTaxTabSheet& hidden = Page("Hidden");
    TTaxTabSheet& c = Page("C");
    hidden.SetTabVisible(false);
    a.SetBtnCloseVisible(false);
    pc_->SetActivePage(&c);
    std::vector<std::string> asked;
    pc_->OnClosePage = [&](TTaxPageControl&, TTaxTabSheet& page, bool&) { asked.push_back(page.Caption()); };

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&Strip());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::PageTabList);
    ASSERT_EQ(list->childCount(), 2) << "the hidden tab is left out";
    QAccessibleInterface* tabA = list->child(0);
    QAccessibleInterface* tabC = list->child(1);
    const struct {
        QAccessibleInterface* tab;
        const char* name;
        bool selected;
        QStringList actions;
        QRect strip; // where the tab is on the strip
    } expected[] = {
        {tabA, "A", false, {QAccessibleActionInterface::pressAction()}, QRect(20, 0, 30, 24)},
        // The active last tab reaches 20 pixels further; its start is its neighbour's end.
        {tabC,
         "C",
         true,
         {QAccessibleActionInterface::pressAction(), QStringLiteral("close")},
         QRect(50, 0, 50, 24)},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.tab->role(), QAccessible::PageTab);
        EXPECT_EQ(e.tab->text(QAccessible::Name).toStdString(), e.name);
        EXPECT_EQ(e.tab->state().selected, e.selected);
        EXPECT_TRUE(e.tab->state().selectable);
        EXPECT_EQ(qm::test::ActionNames(e.tab), e.actions);
        EXPECT_EQ(e.tab->rect(), QRect(Strip().mapToGlobal(e.strip.topLeft()), e.strip.size()));
        EXPECT_EQ(e.tab->parent(), list);
        EXPECT_EQ(list->indexOfChild(e.tab), e.tab == tabA ? 0 : 1);
    }
    for (TTaxTabSheet* page : {&a, &c}) {
        QAccessibleInterface* pane = QAccessible::queryAccessibleInterface(page);
        EXPECT_EQ(pane->role(), QAccessible::Pane);
        EXPECT_EQ(pane->text(QAccessible::Name).toStdString(), page->Caption());
    }

    // Pressing selects the tab, once the asker has its answer; closing asks the page's owner.
    qm::test::DoAction(tabA, QAccessibleActionInterface::pressAction());
    EXPECT_EQ(pc_->ActivePage(), &c);
    QCoreApplication::processEvents();
    EXPECT_EQ(pc_->ActivePage(), &a);
    EXPECT_TRUE(list->child(0)->state().selected);
    qm::test::DoAction(tabA, QStringLiteral("close"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(asked.empty()) << "A has no close button";
    qm::test::DoAction(list->child(1), QStringLiteral("close"));
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, std::vector<std::string>{"C"});
    EXPECT_EQ(Captions(), (std::vector<std::string>{"A", "Hidden"}));
    EXPECT_EQ(list->childCount(), 1);
}

TEST_F(PageControl, SelectingTheShownPageAgainKeepsTheKeyboardFocusInIt) {
    TTaxTabSheet& a = Page("A");
    Page("B");
    auto* field = new QLineEdit(&a); // owned by the page
    pc_->SelectPage(0);
    field->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(owner_->focusWidget(), field);
    // Hidden and disabled on the way, which moves the focus to the next control.
    pc_->SelectPage(0);
    EXPECT_EQ(pc_->ActivePage(), &a);
    EXPECT_EQ(owner_->focusWidget(), field);
}

TEST_F(PageControl, LeftAndRightOnTheFocusedStripSelectTheShownTabs) {
    TTaxTabSheet& a = Page("A");
    Page("Hidden").SetTabVisible(false);
    TTaxTabSheet& c = Page("C");
    pc_->SetActivePage(&a);
    const struct {
        int key;
        const TTaxTabSheet* active;
    } presses[] = {{Qt::Key_Right, &c}, {Qt::Key_Right, &c}, {Qt::Key_Left, &a}, {Qt::Key_Left, &a}};
    for (const auto& press : presses) {
        QKeyEvent key(QEvent::KeyPress, press.key, Qt::NoModifier);
        QCoreApplication::sendEvent(&Strip(), &key);
        EXPECT_TRUE(key.isAccepted());
        EXPECT_EQ(pc_->ActivePage(), press.active) << press.key;
    }
    // The keyboard's visit shows as a frame on the active tab.
    owner_->activateWindow();
    for (int i = 0; i < 100 && !owner_->isActiveWindow(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(owner_->isActiveWindow());
    Strip().setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(Strip().hasFocus());
    const QImage framed = Strip().grab().toImage();
    Strip().clearFocus();
    EXPECT_NE(Strip().grab().toImage(), framed);
}

} // namespace
} // namespace qm::test
