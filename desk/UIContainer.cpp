#include "desk/UIContainer.h"

#include "common/Paths.h"
#include "corvane/HandleTable.h"
#include "corvane/TextCase.h"
#include "desk/CanvasDrawing.h"
#include "desk/DeskAccessible.h"
#include "desk/DeskPosition.h"
#include "pictures/PngPackRatio.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

namespace qm {

namespace {

constexpr const char* kBorderImage = "border_dot.png";
constexpr const char* kTitleImage = "top_c.png";
constexpr const char* kStatusImage = "bottom_c.png";

} // namespace

TUIContainer::TUIContainer(QWidget* parent, TPngPack& pngs) : QWidget(parent), pngs_(pngs) {
    InstallDeskAccessibility();
    setMouseTracking(true);
}

TUIContainer::~TUIContainer() {
    corvane::THandleTable& handles = corvane::Handles();
    handles.Unregister(static_cast<QWidget*>(this));
    handles.Unregister(&canvasBitmap_);
    handles.Unregister(&backgroundBitmap_);
    hoverWidget_ = nullptr;
    focusWidget_ = nullptr;
    widgets_.clear();
    // Docked controls belong to whoever created them; showing them here did not make them ours.
    for (QWidget* control : dockAnchors_.Controls(*this)) {
        control->hide();
        control->setParent(nullptr);
    }
}

void TUIContainer::RemoveWidgets(const std::vector<const TUIAction*>& gone) {
    const auto isGone = [&](const TUIAction* widget) {
        return std::find(gone.begin(), gone.end(), widget) != gone.end();
    };
    if (isGone(hoverWidget_)) {
        hoverWidget_ = nullptr;
        setCursor(Qt::ArrowCursor);
    }
    std::erase_if(widgets_, [&](const std::unique_ptr<TUIAction>& widget) { return isGone(widget.get()); });
}

QWidget& TUIContainer::DockControl(QWidget& control, int left, int top, int width, int height,
                                   TAnchors anchors) {
    if (control.isWindow())
        control.setParent(this, (control.windowFlags() & ~Qt::WindowType_Mask) | Qt::FramelessWindowHint);
    else
        control.setParent(this);
    control.setGeometry(WrapPosition(left, this->width()), WrapPosition(top, this->height()), width, height);
    dockAnchors_.Set(control, anchors, size());
    control.show();
    return control;
}

void TUIContainer::SetBackgroundFile(const std::string& file) {
    if (!FileExists(file) || file == backgroundFile_)
        return;
    backgroundFile_ = file;
    Rebuild();
}

void TUIContainer::Rebuild() {
    if (width() == 0 || height() == 0)
        return;
    CalcAreas();
    // A hidden container is composed when it is shown: until then its size may change again, and
    // every whole-window bitmap made in between would be thrown away.
    if (!isVisible()) {
        composePending_ = true;
        return;
    }
    composePending_ = false;
    PrepareBitmaps();
    update();
    Compose();
}

void TUIContainer::CalcAreas() {
    const int w = width();
    const int h = height();
    clientArea_ = TRect{0, 0, w, h};
    const int b = showBorder_ ? pngs_.TakePNG(kBorderImage)->width() : 0;
    borderWidth_ = b;
    titleArea_ =
        showTitleBar_ ? TRect{b, b, w - b, b + pngs_.TakePNG(kTitleImage)->height()} : TRect{b, b, b, b};
    statusArea_ = showStatusBar_ ? TRect{b, h - b - pngs_.TakePNG(kStatusImage)->height(), w - b, h - b}
                                 : TRect{w - b, h - b, w - b, h - b};
    contentArea_ = TRect{b, b + TitleHeight(), w - b, h - b - StatusHeight()};
    backgroundArea_ = TRect{b, b, w - b, h - b};
}

double TUIContainer::CanvasRatio() const {
    // The screen's own ratio, fractional ones included: text is drawn at the device's resolution
    // and pictures are scaled smoothly, instead of a whole-pixel canvas stretched by the window system.
    return std::max(1.0, devicePixelRatioF());
}

void TUIContainer::PrepareBitmaps() {
    const double ratio = CanvasRatio();
    const QSize size = DeviceSize(QSize(width(), height()), ratio);
    // The canvas needs no clearing: composing starts by copying the background over all of it.
    if (canvasBitmap_.size() != size || canvasBitmap_.devicePixelRatio() != ratio) {
        // The ratio is set while each new bitmap is its memory's only holder, so nothing is copied.
        QImage canvas = canvasPixels_.Image(size, QImage::Format_ARGB32_Premultiplied);
        canvas.setDevicePixelRatio(ratio);
        canvasBitmap_ = std::move(canvas);
        QImage background = backgroundPixels_.Image(size, QImage::Format_ARGB32_Premultiplied);
        background.setDevicePixelRatio(ratio);
        backgroundBitmap_ = std::move(background);
    }
}

namespace {

void ClearOutside(QPainter& painter, const QRect& all, const QRect& kept) {
    const QRegion outside = QRegion(all).subtracted(QRegion(kept));
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& strip : outside)
        painter.fillRect(strip, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

} // namespace

void TUIContainer::Compose() {
    if (canvasBitmap_.width() == 0 || canvasBitmap_.height() == 0)
        return;
    const double ratio = canvasBitmap_.devicePixelRatio();
    const auto pixels = [&](const char* name) -> const QImage& {
        return PixelsForRatio(pngs_, name, *pngs_.TakePNG(name), ratio);
    };
    {
        // The background, title and status bars are drawn once, into the background bitmap.
        QPainter background(&backgroundBitmap_);
        SmoothWhereScaled(background);
        const bool ownPicture = FileExists(backgroundFile_) && corvane::EndsWithText(backgroundFile_, ".png");
        const std::string pictureName = ownPicture ? backgroundFile_ : std::string(kDeskBackground);
        const QImage& picture = PixelsForRatio(pngs_, pictureName, *pngs_.TakePNG(pictureName, true), ratio);
        // The picture replaces what lies under it, which is what drawing it over a cleared bitmap
        // gives; only the border strips around it are cleared.
        ClearOutside(background, LogicalRect(backgroundBitmap_), ToQRect(backgroundArea_));
        background.setCompositionMode(QPainter::CompositionMode_Source);
        background.drawImage(ToQRect(backgroundArea_), picture);
        background.setCompositionMode(QPainter::CompositionMode_SourceOver);
        if (!PointsEqual(titleArea_))
            background.drawImage(ToQRect(titleArea_), pixels(kTitleImage));
        if (!PointsEqual(statusArea_))
            background.drawImage(ToQRect(statusArea_), pixels(kStatusImage));
    }
    // The canvas starts as a copy of it; the border strips, transparent there, lie outside the
    // background area, so drawing the border now gives the same pixels as drawing it first.
    std::memcpy(canvasBitmap_.bits(), backgroundBitmap_.constBits(),
                static_cast<std::size_t>(backgroundBitmap_.sizeInBytes()));
    if (showBorder_) {
        QPainter canvas(&canvasBitmap_);
        SmoothWhereScaled(canvas);
        const int w = LogicalRect(canvasBitmap_).width();
        const int h = LogicalRect(canvasBitmap_).height();
        const int b = borderWidth_;
        const QImage& border = pixels(kBorderImage);
        canvas.drawImage(QRect(0, 0, w, b), border);
        canvas.drawImage(QRect(0, 0, b, h), border);
        canvas.drawImage(QRect(w - b, 0, b, h), border);
        canvas.drawImage(QRect(0, h - b, w, b), border);
    }
    PaintWidgets();
}

void TUIContainer::PaintWidgets() {
    // One broken widget (a blank image name, say) must not leave the others unpainted: paint them
    // all, then report the first failure.
    std::exception_ptr firstFailure;
    for (const std::unique_ptr<TUIAction>& widget : widgets_) {
        try {
            widget->CalcBounds();
            if (widget->Visible)
                widget->Paint();
        } catch (...) {
            if (!firstFailure)
                firstFailure = std::current_exception();
        }
    }
    if (firstFailure)
        std::rethrow_exception(firstFailure);
}

bool TUIContainer::HitTest(int x, int y, int kind) {
    for (const std::unique_ptr<TUIAction>& owned : widgets_) {
        TUIAction* widget = owned.get();
        const TRect& b = widget->Bounds;
        if (!widget->Visible || x < b.left || x >= b.right || y < b.top || y >= b.bottom)
            continue;
        if (kind == kHitMove) {
            setCursor(Qt::PointingHandCursor);
            SetHover(widget);
        } else if (kind == kHitPress) {
            ClickWidget(*widget);
        }
        return true;
    }
    SetHover(nullptr);
    setCursor(Qt::ArrowCursor);
    return false;
}

void TUIContainer::ClickWidget(TUIAction& widget) {
    // A copy: the handler may replace the widget's handler, or add widgets to this list.
    const TUIClickHandler click = widget.OnClick ? widget.OnClick : widgetClick_;
    if (click)
        click(widget);
}

bool TUIContainer::Holds(const TUIAction* widget) const noexcept {
    return std::any_of(widgets_.begin(), widgets_.end(),
                       [widget](const std::unique_ptr<TUIAction>& owned) { return owned.get() == widget; });
}

void TUIContainer::SetHover(TUIAction* widget) {
    if (widget == hoverWidget_)
        return;
    if (hoverWidget_ != nullptr)
        hoverWidget_->SetState(0);
    hoverWidget_ = widget;
    if (widget != nullptr)
        widget->SetState(1);
}

void TUIContainer::paintEvent(QPaintEvent* event) {
    // Moved to a screen of another pixel ratio: the canvas is made again for it.
    if (!canvasBitmap_.isNull() && canvasBitmap_.devicePixelRatio() != CanvasRatio())
        Rebuild();
    if (canvasBitmap_.isNull())
        return;
    QPainter painter(this);
    DrawSameArea(painter, canvasBitmap_, event->rect());
}

void TUIContainer::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (composePending_)
        Rebuild();
}

void TUIContainer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    dockAnchors_.Apply(*this);
    Rebuild();
}

void TUIContainer::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (!HitTest(at.x(), at.y(), kHitMove) && OnMouseMove)
        OnMouseMove(event->modifiers(), at.x(), at.y());
}

void TUIContainer::mousePressEvent(QMouseEvent* event) {
    PressAt(*event);
}

void TUIContainer::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (OnMouseUp)
        OnMouseUp(event->button(), event->modifiers(), at.x(), at.y());
}

void TUIContainer::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press as well, after the owner has seen the double click.
    const QPoint at = event->position().toPoint();
    if (OnDblClick)
        OnDblClick(at.x(), at.y());
    PressAt(*event);
}

void TUIContainer::leaveEvent(QEvent* event) {
    // The mouse has left every widget.
    QWidget::leaveEvent(event);
    EndHover();
}

void TUIContainer::childEvent(QChildEvent* event) {
    QWidget::childEvent(event);
    if (!event->child()->isWidgetType())
        return;
    if (event->added())
        event->child()->installEventFilter(this);
    else if (event->removed())
        event->child()->removeEventFilter(this);
}

bool TUIContainer::eventFilter(QObject* watched, QEvent* event) {
    // Moving straight from a widget onto a child control enters the child, however deep the
    // control under the pointer sits: the child's enter is the container's leave.
    if (event->type() == QEvent::Enter && watched->parent() == this)
        EndHover();
    return QWidget::eventFilter(watched, event);
}

void TUIContainer::EndHover() {
    SetHover(nullptr);
    setCursor(Qt::ArrowCursor);
}

void TUIContainer::PressAt(QMouseEvent& event) {
    const QPoint at = event.position().toPoint();
    if (!HitTest(at.x(), at.y(), kHitPress) && OnMouseDown)
        OnMouseDown(event.button(), event.modifiers(), at.x(), at.y());
}

} // namespace qm
