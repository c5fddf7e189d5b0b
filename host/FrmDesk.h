#pragma once

#include "desk/DockAnchors.h"
#include "desk/FrmBench.h"
#include "desk/UIWizard.h"
#include "desk/UIcon.h"
#include "desk/tabs/TaxPageControl.h"
#include "desk/tabs/TaxTabSheet.h"
#include "host/BenchLayout.h"
#include "host/DeskObjects.h"
#include "host/StartupChain.h"
#include "host/UIPlugin.h"

#include <QPoint>
#include <QSize>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

namespace qm {

// The one main window: borderless, it draws its own title bar and buttons as desk widgets. Moving,
// resizing, maximizing and minimizing go through the window system, so that its state and the
// desk's agree; the window starts maximized in the screen's work area. It owns the host plugin
// object (in the bus's host slot while the window lives) and starts the start-up chain once its
// frame is built.
class TFrmDesk : public QWidget, public IDeskObjects {
public:
    enum TWindowState : std::uint8_t { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

    explicit TFrmDesk(QWidget* parent = nullptr);
    ~TFrmDesk() override;

    TUIContainer& DeskContainer() const override { return *deskWidgets_->Container(); }
    TUIContainer& BenchContainer() const override { return benchForm_->BenchContainer(); }
    TTaxPageControl& PageControl() const override { return *pageControl_; }
    // The fixed first page holding the bench form; neither its tab nor a close button shows.
    TTaxTabSheet& BenchPage() const { return *benchPage_; }
    TFrmBench& BenchForm() const { return *benchForm_; }
    TUIPlugin& HostPlugin() const { return *hostPlugin_; }
    TBenchLayout& BenchLayout() const { return *benchLayout_; }

    std::uint8_t WindowState() const noexcept { return windowState_; }
    QPoint RestorePosition() const noexcept { return restorePosition_; }
    TUIcon& MaximizeButton() const { return *maximizeButton_; }

    // Window state change to 0 normal, 1 minimized, 2 maximized; the maximize button shows the
    // picture of the new state (restore while maximized, maximize while normal).
    void ChangeWindowState(std::uint8_t state);
    // The maximize/restore button's click: change to its tag, which toggles the tag and images.
    void MaximizeButtonClick();
    // A double-click on the title or the tab strip's free area: back to normal or maximized.
    void ToggleMaximized();
    bool Dragging() const noexcept { return dragging_; }
    // The restored window's size: 800 x 600, or less where the screen's work area is smaller.
    QSize RestoredSize() const;
    // Brings the desk to the front, un-minimized, as a second start of the program asks.
    void BringToFront();

    // Whether the start-up chain has finished (the upgrade script ran or there was no boot.xml).
    bool StartUpDone() const noexcept { return startupChain_.Done(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The desk is the main window: closing it ends the program, whatever other windows are open.
    void closeEvent(QCloseEvent* event) override;
    // A maximize or restore the window system made (a keyboard shortcut, the task bar) becomes the
    // desk's state too.
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void FormCreate();
    void FormDestroy();

private:
    void BuildFrame();
    void BuildTitleBar();
    void BuildPageControl();
    void BuildBench();
    // The page control asks before a page the user closes goes; the page always may.
    void ClosePage(TTaxTabSheet& page, bool& allow);
    TUIcon& AddTitleButton(int left, int top, const char* normal, const char* hover, std::int32_t tag);

    void Minimize();

    void StartDrag(Qt::MouseButton button, QPoint point, bool inDragArea);
    void Drag(QPoint point);
    // The window edges under point (container coordinates) that a press there resizes; none
    // outside state 0 or over a widget.
    Qt::Edges ResizeEdgesAt(QPoint point) const;
    // Handles the container's presses and moves on its edges; true when the event is used up.
    bool EdgeEvent(QEvent& event);
    // Fits the minimum size and the restore position into the work area of the desk's screen.
    void FitToWorkArea();
    // The maximize button's tag and pictures for window state s.
    void ShowMaximizeButtonFor(std::uint8_t state);

    // Fields in their creation order.
    TFrmBench* benchForm_ = nullptr; // owned as a child widget
    std::unique_ptr<QTimer> minimizeTimer_;
    TStartupChain startupChain_;
    std::unique_ptr<TUIWizard> deskWidgets_;
    std::uint8_t windowState_ = wsMaximized;
    QPoint restorePosition_;
    bool dragging_ = false;
    QPoint dragOrigin_;
    std::unique_ptr<TUIPlugin> hostPlugin_;
    TUIcon* maximizeButton_ = nullptr;
    TTaxPageControl* pageControl_ = nullptr; // owned by the desk container
    TTaxTabSheet* benchPage_ = nullptr;      // owned by the page control
    // The scripts' layout of the bench, again at every size.
    std::unique_ptr<TBenchLayout> benchLayout_;
    // Keeps the page control's distance to all four edges of the desk container.
    TDockAnchors pageControlAnchors_;
    // Whether the last click on the page control was in the tab strip's free area.
    bool tabStripClick_ = false;
};

} // namespace qm
