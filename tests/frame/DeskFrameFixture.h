#pragma once

#include "common/FormClose.h"
#include "common/Paths.h"
#include "common/Shell.h"
#include "corvane/HandleTable.h"
#include "corvane/Khan.h"
#include "desk/tabs/TaxTabControlTopPanel.h"
#include "host/FrmDesk.h"
#include "tests/support/MouseEvents.h"
#include "tests/support/TabStripPoints.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QThread>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

// The real desk window, built from the installation next to the test program and shown on the
// offscreen platform, driven with real mouse events.
namespace qm::test {

inline void RunDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline QRect WorkArea() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// A plug-in's window as it is docked into a page: in the handle table for its whole life, and
// recording the close events it gets. By default it is a form that leaves closing to the desk.
class TDockedWindow : public QWidget {
public:
    explicit TDockedWindow(std::uint32_t kinds = corvane::kHandleControl | corvane::kHandleForm)
        : handle_(corvane::Handles().Register(static_cast<const QWidget*>(this), kinds)) {}
    ~TDockedWindow() override { corvane::Handles().Unregister(static_cast<const QWidget*>(this)); }
    TDockedWindow(const TDockedWindow&) = delete;
    TDockedWindow& operator=(const TDockedWindow&) = delete;

    std::int32_t Handle() const noexcept { return handle_; }
    int CloseEvents() const noexcept { return closeEvents_; }
    // Whether the close event is refused (a form with unsaved work, say).
    bool refuseClose = false;

protected:
    void closeEvent(QCloseEvent* event) override {
        ++closeEvents_;
        if (refuseClose)
            event->ignore();
        else
            QWidget::closeEvent(event);
    }

private:
    std::int32_t handle_;
    int closeEvents_ = 0;
};

class DeskFrame : public ::testing::Test {
protected:
    void SetUp() override {
        // A desk that cannot build its frame shows a modal message, which nobody would close here.
        for (const std::string& file :
             {ConfigPath() + "pngs.sys", ConfigPath() + "SysConfig.Xml", PicturesPath() + "PgSkin.bmp"})
            ASSERT_TRUE(FileExists(file)) << file << " is missing from the test's installation";
        ASSERT_FALSE(FileExists(ConfigPath() + "boot.xml")) << "the frame tests run no scripts";
        desk_ = std::make_unique<TFrmDesk>();
        desk_->show();
        ASSERT_TRUE(WaitUntil([this] { return desk_->StartUpDone(); }));
    }

    void TearDown() override {
        // As the program does: plug-ins go before the desk that shows their windows.
        corvane::Khan_Free();
        desk_.reset();
        RunDeferredDeletes();
    }

    TFrmDesk& Desk() const { return *desk_; }
    // The window system may apply a new geometry after the call that asked for it returns, and
    // reports the state it reached later still: both are waited for, as a user's next click would.
    bool WaitForGeometry(const QRect& expected) const {
        QCoreApplication::processEvents();
        const bool reached = WaitUntil([&] { return Desk().geometry() == expected; });
        EXPECT_EQ(Desk().geometry(), expected);
        return reached;
    }
    // The restored window, as the title-bar button makes it.
    void Restore() const {
        Desk().ChangeWindowState(TFrmDesk::wsNormal);
        WaitForGeometry(QRect(Desk().RestorePosition(), Desk().RestoredSize()));
    }
    TUIContainer& Container() const { return Desk().DeskContainer(); }
    TTaxPageControl& Pages() const { return Desk().PageControl(); }
    TTaxTabControlTopPanel& Strip() const { return Pages().TopPanel(); }

    // A point of the title rectangle clear of the title-bar buttons and of the page control.
    QPoint TitlePoint() const {
        const TRect& title = Container().TitleArea();
        return {title.left + 40, title.top + 2};
    }
    // A point of the container outside its title rectangle: the status bar.
    QPoint StatusPoint() const {
        return {Container().StatusArea().left + 40, Container().StatusArea().top + 1};
    }

    // The tab strip's free area and the middle of a tab (by visible position), in strip coordinates.
    QPoint FreeStripPoint() const { return Strip().mapFrom(&Pages(), Pages().FreeStripRect().center()); }
    QPoint TabPoint(int visiblePosition) const { return TabMiddle(StripLayout(), visiblePosition); }
    QPoint CloseButtonPoint(int visiblePosition) const {
        return CloseButtonMiddle(StripLayout(), visiblePosition);
    }
    // The strip's settings, from which the points above are worked out.
    TStripLayout StripLayout() const {
        return {Strip().width(),       Strip().height(),       Strip().ListButtonWidth(),
                Strip().RightMargin(), Strip().MaxTabLength(), Strip().ScrollOffset()};
    }

    // Where the user's cursor is, which the strip's click records (strip coordinates).
    void PutCursorOnStrip(QPoint at) {
        QCursor::setPos(Strip().mapToGlobal(at));
        QCoreApplication::processEvents();
    }

    // A page made the way page requests make them, with a window docked and recorded in its tag.
    TDockedWindow& DockIntoNewPage(const std::string& caption,
                                   std::uint32_t kinds = corvane::kHandleControl | corvane::kHandleForm) {
        TTaxTabSheet& page = Pages().NewPage(false);
        page.SetCaption(caption);
        auto window = std::make_unique<TDockedWindow>(kinds);
        EmbedForm(window.get(), &page);
        page.SetTag(window->Handle());
        return *window.release(); // owned by the page from here
    }

    static TTaxTabSheet& PageOf(const QWidget& docked) {
        return *static_cast<TTaxTabSheet*>(docked.parentWidget());
    }

private:
    std::unique_ptr<TFrmDesk> desk_;
};

} // namespace qm::test
