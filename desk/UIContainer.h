#pragma once

#include "desk/DockAnchors.h"
#include "desk/PixelStore.h"
#include "desk/UIAction.h"
#include "pictures/PngPack.h"
#include "pictures/Rect.h"

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QKeyEvent;
class QMouseEvent;

namespace qm {

// The owner's mouse handlers; they run only for events that hit no widget (the button is
// Qt::NoButton for a move). Coordinates are the container's.
using TUIMouseButtonHandler =
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y)>;
using TUIMouseMoveHandler = std::function<void(Qt::KeyboardModifiers modifiers, int x, int y)>;
using TUIDblClickHandler = std::function<void(int x, int y)>;

// The background a container draws when it names no picture of its own.
inline constexpr char kDeskBackground[] = "bg.png";

// A painted panel: border, stretched background picture, title bar and status bar are composed into
// an off-screen canvas bitmap, the widgets paint themselves into it, and the panel shows the
// canvas. The container tracks the widget under the mouse (hover look, hand cursor) and runs a
// widget's click (its own handler, else the container's widget click) on any mouse-button press.
// From the keyboard, Tab and the arrow keys move a focus through its buttons and links, and Return
// or Space clicks the focused one; assistive technology sees every widget (DeskAccessible).
class TUIContainer : public QWidget {
    Q_OBJECT

public:
    // Images are taken by name from pngs, which must outlive the container.
    explicit TUIContainer(QWidget* parent = nullptr, TPngPack& pngs = PngPack());
    ~TUIContainer() override;

    // Widgets in creation order; hit testing and painting follow it.
    const std::vector<std::unique_ptr<TUIAction>>& Widgets() const noexcept { return widgets_; }

    // Creates a widget of class T on this container and appends it; the caller sets it up.
    template <class T> T& CreateWidget() {
        auto widget = std::make_unique<T>(*this);
        T& created = *widget;
        widgets_.push_back(std::move(widget));
        WidgetAdded(created);
        return created;
    }

    // Runs widget's click as a press on it does: its own handler, else the container's widget click.
    void ClickWidget(TUIAction& widget);
    // Whether widget is one of this container's widgets.
    bool Holds(const TUIAction* widget) const noexcept;

    // The widgets that take the keyboard focus (buttons and links), in reading order.
    std::vector<TUIAction*> FocusableWidgets() const;
    // The widget the keyboard focus is on inside this container; null for none.
    TUIAction* FocusWidget() const noexcept { return focusWidget_; }
    // Whether widget shows the focus: it has it, the container has Qt's focus, and the focus was
    // moved there from the keyboard (a mouse user sees no frame).
    bool ShowsFocusOn(const TUIAction& widget) const;
    // Puts the keyboard focus on widget (one of FocusableWidgets), gives the container Qt's focus
    // and shows it.
    void SetFocusWidget(TUIAction& widget);

    // Takes the given widgets off this container; the others keep their order. The caller repaints
    // (Rebuild). Never call it from a widget's click: the widget may be among them.
    void RemoveWidgets(const std::vector<const TUIAction*>& gone);

    // Puts control on this container at left/top (wrapped like widget positions) with the given size,
    // anchored by anchors; a top-level form loses its frame. The caller makes sure the control is
    // neither this container nor one of its ancestors.
    QWidget& DockControl(QWidget& control, int left, int top, int width, int height, TAnchors anchors);

    // What a press on a widget without a click handler of its own does (the desk's default click).
    void SetWidgetClick(TUIClickHandler click) { widgetClick_ = std::move(click); }

    // Takes file as the background picture when it exists and differs from the current name.
    void SetBackgroundFile(const std::string& file);
    const std::string& BackgroundFile() const noexcept { return backgroundFile_; }

    // Recomputes the areas and composes both bitmaps; ignored while the container has no size. A
    // hidden container only computes its areas and composes when it is shown.
    void Rebuild();
    void CalcAreas();
    // Makes both bitmaps the container's size in device pixels (CanvasRatio() to the container's
    // pixel); their contents are undefined until composed.
    void PrepareBitmaps();
    // Device pixels of the canvas to one pixel of the container: the screen's ratio (1.25, 1.5, ...),
    // at least 1.
    double CanvasRatio() const;
    void Compose();
    void PaintWidgets();

    // Kind 1 is a move (hover), kind 2 a press (click). True when a widget was hit.
    enum THitKind { kHitMove = 1, kHitPress = 2 };
    bool HitTest(int x, int y, int kind);
    void SetHover(TUIAction* widget);
    TUIAction* HoverWidget() const noexcept { return hoverWidget_; }

    bool ShowBorder() const noexcept { return showBorder_; }
    bool ShowTitleBar() const noexcept { return showTitleBar_; }
    bool ShowStatusBar() const noexcept { return showStatusBar_; }
    // Take effect at the next Rebuild.
    void SetShowBorder(bool show) { showBorder_ = show; }
    void SetShowTitleBar(bool show) { showTitleBar_ = show; }
    void SetShowStatusBar(bool show) { showStatusBar_ = show; }

    // Metrics in pixels, as of the last CalcAreas. A hidden widget gets its resize event only when it
    // is shown, so a container sized while hidden needs a Rebuild before these are read.
    int BorderWidth() const noexcept { return borderWidth_; }
    int ContentWidth() const noexcept { return contentArea_.right - contentArea_.left; }
    int ContentHeight() const noexcept { return contentArea_.bottom - contentArea_.top; }
    int TitleHeight() const noexcept { return titleArea_.bottom - titleArea_.top; }
    int StatusHeight() const noexcept { return statusArea_.bottom - statusArea_.top; }
    int BackgroundWidth() const noexcept { return backgroundArea_.right - backgroundArea_.left; }
    int BackgroundHeight() const noexcept { return backgroundArea_.bottom - backgroundArea_.top; }

    const TRect& TitleArea() const noexcept { return titleArea_; }
    const TRect& ContentArea() const noexcept { return contentArea_; }
    const TRect& StatusArea() const noexcept { return statusArea_; }
    const TRect& BackgroundArea() const noexcept { return backgroundArea_; }
    const TRect& ClientArea() const noexcept { return clientArea_; }

    // The complete picture, and the background with title and status bars only, in device pixels
    // with CanvasRatio() as their device pixel ratio, so painters on them use the container's pixels. Both
    // objects keep their address for the container's life (requests hand the background out by handle).
    QImage& CanvasBitmap() noexcept { return canvasBitmap_; }
    const QImage& CanvasBitmap() const noexcept { return canvasBitmap_; }
    QImage& BackgroundBitmap() noexcept { return backgroundBitmap_; }
    const QImage& BackgroundBitmap() const noexcept { return backgroundBitmap_; }

    TPngPack& Pngs() const noexcept { return pngs_; }
    TAnchors DockAnchorsOf(const QWidget& control) const { return dockAnchors_.AnchorsOf(control); }

    TUIMouseButtonHandler OnMouseDown;
    TUIMouseMoveHandler OnMouseMove;
    TUIMouseButtonHandler OnMouseUp;
    TUIDblClickHandler OnDblClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    // Child widgets (docked controls, the desk's page control) are watched for the pointer
    // entering them: Qt sends no leave to a parent whose child the pointer moved onto.
    void childEvent(QChildEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Tab and Shift+Tab go through the focusable widgets first, then on to the next control.
    bool focusNextPrevChild(bool next) override;

private:
    void WidgetAdded(TUIAction& widget);
    // Moves the focus to widget (null: none) and repaints both widgets; tells assistive technology.
    void MoveFocusTo(TUIAction* widget, bool visible);
    // Tab inside the container: true when the focus stayed inside.
    bool StepFocus(bool next);
    void PressAt(QMouseEvent& event);
    // The pointer is over no widget of this container any more.
    void EndHover();

    TPngPack& pngs_;
    std::vector<std::unique_ptr<TUIAction>> widgets_;
    std::string backgroundFile_ = "bg.png";
    int borderWidth_ = 0;
    TRect titleArea_;
    TRect contentArea_;
    TRect statusArea_;
    TRect backgroundArea_;
    TRect clientArea_;
    TPixelStore canvasPixels_;
    TPixelStore backgroundPixels_;
    QImage canvasBitmap_;     // over canvasPixels_
    QImage backgroundBitmap_; // over backgroundPixels_
    TUIAction* hoverWidget_ = nullptr;
    TUIAction* focusWidget_ = nullptr;
    bool focusVisible_ = false;
    TUIClickHandler widgetClick_;
    bool composePending_ = false;
    bool showBorder_ = true;
    bool showTitleBar_ = true;
    bool showStatusBar_ = true;
    TDockAnchors dockAnchors_;
};

} // namespace qm
