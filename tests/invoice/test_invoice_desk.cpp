// The invoice page as the user meets it: the real desk window with the sample installation around
// the test program, its boot scripts run, and a mouse click on the bench's invoice icon, whose
// action script asks the invoice plug-in for its window and docks it in a desk page.
#include "InvoiceFixture.h"
#include "common/Paths.h"
#include "corvane/HandleTable.h"
#include "corvane/Khan.h"
#include "desk/tabs/TaxPageControl.h"
#include "desk/tabs/TaxTabSheet.h"
#include "host/FrmDesk.h"
#include "tests/support/ScreenPixel.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QUrl>
#include <memory>

namespace {

class InvoiceDesk : public ::testing::Test {
protected:
    void SetUp() override {
        desk_ = std::make_unique<qm::TFrmDesk>();
        desk_->show();
        desk_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(desk_.get(), 10000));
        ASSERT_TRUE(TInvoiceTest::WaitFor([&] { return desk_->StartUpDone(); })) << "the boot scripts ran";
        invoiceIcon_ = FindInvoiceIcon();
        ASSERT_NE(invoiceIcon_, nullptr) << "the sample bench has the invoice icon";
    }

    void TearDown() override {
        // As the program does: plug-ins go before the desk that shows their windows.
        corvane::Khan_Free();
        desk_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    qm::TTaxPageControl& Pages() const { return desk_->PageControl(); }

    // The widget of container that runs the action script when clicked.
    static qm::TUIAction* FindAction(qm::TUIContainer& container, const std::string& script) {
        for (const auto& widget : container.Widgets()) {
            const corvane::TBSONDocument& params = widget->Params;
            if (params.HasItem("luaf") && params.GetValue("luaf").AsString().ends_with("/actions/" + script))
                return widget.get();
        }
        return nullptr;
    }
    qm::TUIAction* FindInvoiceIcon() const { return FindAction(desk_->BenchContainer(), "invoice.lua"); }

    // Brings the bench to the front and clicks the widget with the mouse, in its middle.
    void ClickAction(qm::TUIContainer& container, qm::TUIAction& widget) {
        Pages().SetActivePage(&desk_->BenchPage());
        ASSERT_TRUE(container.isVisible());
        const QPoint middle = qm::ToQRect(widget.Bounds).center();
        QTest::mouseMove(&container, middle);
        QTest::mouseClick(&container, Qt::LeftButton, {}, middle);
    }
    void ClickInvoiceIcon() { ClickAction(desk_->BenchContainer(), *invoiceIcon_); }

    // The page holding the invoice window, with the window and its browser, after one click.
    struct TInvoicePage {
        qm::TTaxTabSheet* page = nullptr;
        QWidget* window = nullptr;
        QWebEngineView* browser = nullptr;
    };
    TInvoicePage OpenInvoicePage() {
        const int pagesBefore = Pages().PageCount();
        ClickInvoiceIcon();
        TInvoicePage opened;
        if (Pages().PageCount() != pagesBefore + 1) {
            ADD_FAILURE() << "the click opened " << Pages().PageCount() - pagesBefore << " pages";
            return opened;
        }
        opened.page = Pages().ActivePage();
        if (opened.page == nullptr || opened.page->Tag() == 0) {
            ADD_FAILURE() << "the new page is not active or holds nothing";
            return opened;
        }
        opened.window = TInvoiceTest::WindowOf(opened.page->Tag());
        opened.browser = TInvoiceTest::BrowserOf(opened.window);
        return opened;
    }

    // Waits until file (the search page unless named) has loaded in browser; whether it loaded
    // without error.
    static bool Loaded(QWebEngineView& browser, const std::string& file = TInvoiceTest::PageFile()) {
        // The load may have finished before anyone listened; then the page itself tells. Until the
        // navigation commits, the browser shows an empty document that is "complete" as well.
        QSignalSpy loads(&browser, &QWebEngineView::loadFinished);
        const QString wanted =
            QUrl::fromLocalFile(QString::fromStdString(file)).toString() + QStringLiteral(" complete");
        const bool ready = TInvoiceTest::WaitFor([&] {
            return !loads.isEmpty() ||
                   TInvoiceTest::RunScript(browser,
                                           QStringLiteral("location.href + ' ' + document.readyState"))
                           .toString() == wanted;
        });
        return ready && (loads.isEmpty() || loads.first().first().toBool());
    }

    std::unique_ptr<qm::TFrmDesk> desk_;
    qm::TUIAction* invoiceIcon_ = nullptr;
};

TEST_F(InvoiceDesk, IconOpensOnePageHoldingTheInvoiceWindowAndASecondClickFocusesIt) {
    const std::int32_t eventsBefore = TInvoiceTest::UsageEventCount();
    const TInvoicePage opened = OpenInvoicePage();
    ASSERT_NE(opened.browser, nullptr);

    EXPECT_EQ(opened.page->Caption(), "发票查询");
    EXPECT_TRUE(opened.page->TabVisible());
    EXPECT_TRUE(opened.page->BtnCloseVisible());
    EXPECT_EQ(opened.page->PageIndex(), desk_->BenchPage().PageIndex() + 1) << "right after the bench";
    EXPECT_EQ(opened.window->objectName(), QStringLiteral("frmInvoice"));
    EXPECT_EQ(opened.window->parentWidget(), opened.page);
    EXPECT_TRUE(opened.window->isVisible());
    EXPECT_FALSE(opened.window->isWindow()) << "docked, not a window of its own";
    EXPECT_EQ(opened.window->geometry(), opened.page->rect()) << "the window fills its page";
    EXPECT_TRUE(opened.page->isAncestorOf(opened.browser));
    EXPECT_TRUE(opened.browser->isVisible());
    ASSERT_EQ(TInvoiceTest::UsageEventCount(), eventsBefore + 1) << "the window navigated once";
    EXPECT_TRUE(TInvoiceTest::LastUsageEvent()->GetValue("FFunctionKey").AsString().ends_with("S104S001"));

    const int pagesAfterFirst = Pages().PageCount();
    ClickInvoiceIcon();
    EXPECT_EQ(Pages().PageCount(), pagesAfterFirst) << "the second click opened no page";
    EXPECT_EQ(Pages().ActivePage(), opened.page) << "the second click brought the same page back";
    EXPECT_EQ(opened.page->Tag(), corvane::Handles().HandleOf(opened.window));
    EXPECT_TRUE(opened.window->isVisible());
    EXPECT_EQ(TInvoiceTest::UsageEventCount(), eventsBefore + 1) << "the same window, not loaded again";
}

TEST_F(InvoiceDesk, DockedPageShowsTheInstalledSearchPage) {
    const TInvoicePage opened = OpenInvoicePage();
    ASSERT_NE(opened.browser, nullptr);
    ASSERT_TRUE(Loaded(*opened.browser));

    EXPECT_EQ(opened.browser->url(), QUrl::fromLocalFile(QString::fromStdString(TInvoiceTest::PageFile())));
    const QString title = TInvoiceTest::PageTitleInFile();
    ASSERT_FALSE(title.isEmpty());
    EXPECT_EQ(TInvoiceTest::RunScript(*opened.browser, QStringLiteral("document.title")).toString(), title);
    // The page's own script and style sheet came from beside it: the script filled the result
    // table, and the banner's text is light on its dark band instead of the browser's black.
    EXPECT_GT(TInvoiceTest::RunScript(*opened.browser,
                                      QStringLiteral("document.querySelectorAll('#results tbody tr').length"))
                  .toInt(),
              0);
    EXPECT_NE(
        TInvoiceTest::RunScript(*opened.browser,
                                QStringLiteral("getComputedStyle(document.querySelector('.banner')).color"))
            .toString(),
        QStringLiteral("rgb(0, 0, 0)"));
    EXPECT_TRUE(TInvoiceTest::WaitFor([&] { return opened.browser->title() == title; }))
        << "the view reports the title too: " << opened.browser->title().toStdString();
}

TEST_F(InvoiceDesk, ScriptErrorsAlertsRightClicksAndCtrlNInTheDockedPageShowNothing) {
    const TInvoicePage opened = OpenInvoicePage();
    ASSERT_NE(opened.browser, nullptr);
    ASSERT_TRUE(Loaded(*opened.browser));
    ASSERT_TRUE(TInvoiceTest::WaitFor([&] {
        return opened.browser->focusProxy() != nullptr && opened.browser->focusProxy()->isVisible();
    })) << "the browser's input widget came with the first paint";
    QWidget* input = opened.browser->focusProxy();
    const int pages = Pages().PageCount();
    const QSet<QWidget*> before = TInvoiceTest::VisibleTopLevels();
    ASSERT_EQ(before, QSet<QWidget*>{desk_.get()});

    TInvoiceTest::RunScript(
        *opened.browser, QStringLiteral("window.errors = 0; window.menus = 0; window.keys = [];"
                                        "window.addEventListener('error', function () { window.errors++; });"
                                        "document.addEventListener('contextmenu', function () {"
                                        "  window.menus++; });"
                                        "document.addEventListener('keydown', function (e) {"
                                        "  if (e.key !== 'Control')"
                                        "    window.keys.push((e.ctrlKey ? 'Ctrl+' : '') + e.key); });"));

    // An alert returns at once instead of waiting for a user.
    EXPECT_EQ(TInvoiceTest::RunScript(*opened.browser, QStringLiteral("alert('警告一下'); 'after the alert'"))
                  .toString(),
              QStringLiteral("after the alert"));
    // An uncaught error in a script of the page.
    TInvoiceTest::RunScript(*opened.browser,
                            QStringLiteral("setTimeout(function () { notDefinedAnywhere(); }, 0); 1"));
    EXPECT_TRUE(TInvoiceTest::WaitFor([&] {
        return TInvoiceTest::RunScript(*opened.browser, QStringLiteral("window.errors")).toInt() == 1;
    })) << "the error happened in the page";

    QTest::mouseClick(input, Qt::RightButton, {}, input->rect().center());
    EXPECT_TRUE(TInvoiceTest::WaitFor([&] {
        return TInvoiceTest::RunScript(*opened.browser, QStringLiteral("window.menus")).toInt() == 1;
    })) << "the right click reached the page";

    // Taking the browser into the page leaves the desk the active window.
    ASSERT_TRUE(QTest::qWaitForWindowActive(desk_.get(), 10000));
    // The user clicks into the invoice number field and types.
    const QVariantList field =
        TInvoiceTest::RunScript(
            *opened.browser,
            QStringLiteral("var r = document.getElementById('fpNumber').getBoundingClientRect();"
                           "[r.left + r.width / 2, r.top + r.height / 2]"))
            .toList();
    ASSERT_EQ(field.size(), 2);
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(field[0].toInt(), field[1].toInt()));
    ASSERT_EQ(QApplication::focusWidget(), input) << "the click gave the page the keyboard";
    ASSERT_TRUE(TInvoiceTest::WaitFor([&] {
        return TInvoiceTest::RunScript(*opened.browser, QStringLiteral("document.activeElement.id"))
                   .toString() == QStringLiteral("fpNumber");
    }));
    QTest::keyClick(input, Qt::Key_1);
    QTest::keyClick(input, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(input, Qt::Key_2);
    EXPECT_TRUE(TInvoiceTest::WaitFor([&] {
        return TInvoiceTest::RunScript(*opened.browser, QStringLiteral("window.keys.join(' ')"))
            .toString()
            .endsWith('2');
    }));
    EXPECT_EQ(TInvoiceTest::RunScript(*opened.browser, QStringLiteral("window.keys.join(' ')")).toString(),
              QStringLiteral("1 2"))
        << "Ctrl+N is taken before it reaches the page";

    TInvoiceTest::Settle(*opened.browser);
    EXPECT_EQ(TInvoiceTest::VisibleTopLevels(), before) << "no dialog, menu or browser window appeared";
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QMenu*>(widget) != nullptr && widget->isVisible()) << "a menu is shown";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(Pages().PageCount(), pages) << "no page was opened either";
    EXPECT_EQ(Pages().ActivePage(), opened.page);
    EXPECT_EQ(opened.browser->url(), QUrl::fromLocalFile(QString::fromStdString(TInvoiceTest::PageFile())));
}

// The guide behind 使用帮助 on the bench and 帮助 in the status bar: one page, the installed guide
// in it, its search finding Chinese words in the other pages, and no way out to the network.
TEST_F(InvoiceDesk, HelpIconAndStatusBarLinkOpenOneGuidePageWhoseSearchFindsChineseWords) {
    qm::TUIAction* helpIcon = FindAction(desk_->BenchContainer(), "help.lua");
    qm::TUIAction* helpLink = FindAction(desk_->DeskContainer(), "help.lua");
    ASSERT_NE(helpIcon, nullptr);
    ASSERT_NE(helpLink, nullptr);
    const int pagesBefore = Pages().PageCount();
    ClickAction(desk_->BenchContainer(), *helpIcon);
    ASSERT_EQ(Pages().PageCount(), pagesBefore + 1);
    qm::TTaxTabSheet* page = Pages().ActivePage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Caption(), "使用帮助");
    EXPECT_TRUE(page->BtnCloseVisible());
    QWidget* window = TInvoiceTest::WindowOf(page->Tag());
    EXPECT_EQ(window->objectName(), QStringLiteral("frmHelp"));
    EXPECT_EQ(window->parentWidget(), page);
    auto* browser = window->findChild<QWebEngineView*>(QStringLiteral("wbHelp"));
    ASSERT_NE(browser, nullptr);
    const std::string index = qm::AppPath() + "Help/index.html";
    ASSERT_TRUE(Loaded(*browser, index));
    EXPECT_EQ(browser->url(), QUrl::fromLocalFile(QString::fromStdString(index)));
    EXPECT_EQ(TInvoiceTest::RunScript(*browser, QStringLiteral("document.title")).toString(),
              QStringLiteral("使用帮助"));
    // The guide reaches the screen: its dark blue header band at the top left of the page.
    const auto header = [&] { return qm::test::ScreenPixel(*browser, QPoint(4, 4)); };
    EXPECT_TRUE(TInvoiceTest::WaitFor([&] {
        return qm::test::NearColour(header(), QColor(0x2e, 0x4a, 0x68));
    })) << header().name().toStdString();

    // A search typed into the page's box: the results page lists the pages holding the word.
    TInvoiceTest::RunScript(*browser, QStringLiteral("var box = document.querySelector('input[name=q]');"
                                                     "box.value = '备份'; box.form.submit(); 1"));
    const auto results = [&] {
        return TInvoiceTest::RunScript(
                   *browser,
                   QStringLiteral("Array.prototype.map.call(document.querySelectorAll("
                                  "'#results li a'), function (a) { return a.getAttribute('href'); })"
                                  ".join(' ')"))
            .toString();
    };
    EXPECT_TRUE(TInvoiceTest::WaitFor([&] { return results().contains(QStringLiteral("data.html")); }))
        << results().toStdString();
    EXPECT_TRUE(browser->url().fileName() == QStringLiteral("search.html"))
        << browser->url().toString().toStdString();
    EXPECT_FALSE(results().contains(QStringLiteral("icons.html"))) << "a page without the word was listed";
    EXPECT_EQ(TInvoiceTest::RunScript(*browser, QStringLiteral("document.querySelectorAll('#results mark')"
                                                               ".length > 0"))
                  .toBool(),
              true)
        << "the word is marked in the results";

    // The guide stays local: an address on the network is not followed.
    TInvoiceTest::RunScript(*browser, QStringLiteral("location.href = 'http://127.0.0.1:9/'; 1"));
    TInvoiceTest::Settle(*browser);
    EXPECT_TRUE(browser->url().isLocalFile()) << browser->url().toString().toStdString();

    // The status bar's 帮助 brings the same page back, as the user left it.
    ClickAction(desk_->DeskContainer(), *helpLink);
    EXPECT_EQ(Pages().PageCount(), pagesBefore + 1) << "the second click opened no page";
    EXPECT_EQ(Pages().ActivePage(), page);
    EXPECT_EQ(browser->url().fileName(), QStringLiteral("search.html"));
}

// The desk from the keyboard alone, keys sent to whatever has the focus as a keyboard sends them:
// Tab onto the bench, Return on 发票查询 opens the invoice page as a click does (the same script,
// the same usage event), Ctrl+Tab back, the arrow keys to 计算器 and Space open its page, Ctrl+W
// closes a page but never the bench, Ctrl+PgUp/PgDn go round the tabs, F1 opens the guide.
TEST_F(InvoiceDesk, KeysAloneOpenSwitchAndClosePages) {
    const auto press = [this](Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        // A browser page taken into the desk takes the window's activation away for a moment.
        ASSERT_TRUE(QTest::qWaitForWindowActive(desk_.get(), 10000));
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr) << "nothing has the keyboard";
        QTest::keyClick(focused, key, modifiers);
    };
    const auto shown = [this] {
        return Pages().ActivePage() != nullptr ? Pages().ActivePage()->Caption() : "";
    };
    qm::TUIContainer& bench = desk_->BenchContainer();
    const auto benchFocus = [&bench] {
        return bench.hasFocus() && bench.FocusWidget() != nullptr ? bench.FocusWidget()->Name() : "";
    };

    press(Qt::Key_Tab);
    EXPECT_EQ(benchFocus(), "发票查询") << "the first Tab lands on the bench's first icon";
    const std::int32_t eventsBefore = TInvoiceTest::UsageEventCount();
    const int pagesBefore = Pages().PageCount();
    press(Qt::Key_Return);
    ASSERT_EQ(Pages().PageCount(), pagesBefore + 1);
    EXPECT_EQ(shown(), "发票查询");
    ASSERT_EQ(TInvoiceTest::UsageEventCount(), eventsBefore + 1) << "counted as the click is";
    EXPECT_TRUE(TInvoiceTest::LastUsageEvent()->GetValue("FFunctionKey").AsString().ends_with("S104S001"));

    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(shown(), "工作台");
    EXPECT_TRUE(bench.hasFocus()) << "the page shown has the keyboard";
    for (int i = 0; i < 13 && benchFocus() != "计算器"; ++i)
        press(Qt::Key_Right);
    ASSERT_EQ(benchFocus(), "计算器");
    press(Qt::Key_Space);
    ASSERT_EQ(Pages().PageCount(), pagesBefore + 2);
    EXPECT_EQ(shown(), "税额计算器");

    // Round the tabs: 工作台, 税额计算器 (after the active one), 发票查询.
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* shown;
    } switches[] = {
        {Qt::Key_PageDown, Qt::ControlModifier, "发票查询"},
        {Qt::Key_PageDown, Qt::ControlModifier, "工作台"},
        {Qt::Key_PageUp, Qt::ControlModifier, "发票查询"},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, "税额计算器"},
    };
    for (const auto& s : switches) {
        press(s.key, s.modifiers);
        EXPECT_EQ(shown(), s.shown) << "after key " << s.key;
    }

    press(Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(Pages().PageCount(), pagesBefore + 1) << "Ctrl+W closed 税额计算器";
    press(Qt::Key_F4, Qt::ControlModifier);
    EXPECT_EQ(Pages().PageCount(), pagesBefore) << "Ctrl+F4 closed 发票查询";
    EXPECT_EQ(shown(), "工作台");
    press(Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(Pages().PageCount(), pagesBefore) << "the bench stays";
    EXPECT_EQ(shown(), "工作台");

    press(Qt::Key_F1);
    EXPECT_EQ(Pages().PageCount(), pagesBefore + 1);
    EXPECT_EQ(shown(), "使用帮助");
}

} // namespace
