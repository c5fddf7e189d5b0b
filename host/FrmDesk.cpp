#include "host/FrmDesk.h"

#include "common/Configs.h"
#include "common/DialogOwner.h"
#include "common/Paths.h"
#include "common/Shell.h"
#include "common/Trace.h"
#include "corvane/Khan.h"
#include "corvane/Skin.h"
#include "desk/DeskAccessible.h"
#include "desk/tabs/TaxTabControlTopPanel.h"
#include "host/DeskKeys.h"
#include "host/DockedControlClose.h"
#include "host/ErrorHandler.h"
#include "host/WidgetClick.h"
#include "pictures/PngPack.h"

#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace qm {

namespace {

int ImageWidth(const char* name) {
    const TPngPicture* image = PngPack().TakePNG(name);
    return image != nullptr ? image->width() : 0;
}

// The part of the window's screen that panels and docks leave free, in device-independent pixels.
QRect WorkArea(const QWidget& window) {
    const QScreen* screen = window.screen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

// How far in from the window's edges a press resizes the window.
constexpr int kResizeMargin = 3;

Qt::CursorShape ResizeCursor(Qt::Edges edges) {
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical)
        return edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge)
                   ? Qt::SizeFDiagCursor
                   : Qt::SizeBDiagCursor;
    return horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor;
}

// The maximize button is named after what a click on it does now.
void NameMaximizeButton(TUIcon& button) {
    button.AccessibleName = button.Tag == TFrmDesk::wsNormal ? "还原" : "最大化";
    AnnounceWidget(*button.Container, button, QAccessible::NameChanged);
}

bool InRect(const TRect& rect, QPoint point) {
    return point.x() >= rect.left && point.x() < rect.right && point.y() >= rect.top &&
           point.y() < rect.bottom;
}

} // namespace

TFrmDesk::TFrmDesk(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    // Plug-ins find the desk by this name, to make their dialogs its windows.
    setObjectName(QString::fromLatin1(kDeskWindowName));
    setWindowTitle(QStringLiteral("桌面"));
    setProperty(kAccessibleRoleProperty, QAccessible::Window);
    QFont deskFont(QStringLiteral("宋体"));
    deskFont.setPixelSize(12);
    setFont(deskFont);
    try {
        FormCreate();
    } catch (const std::exception& error) {
        // The error handler is in place before the frame is built (a missing image store, say):
        // the error is logged and shown, and the desk stays with what it has.
        HandleDeskException(error);
    }
}

TFrmDesk::~TFrmDesk() {
    FormDestroy();
}

void TFrmDesk::FormCreate() {
    const QString caption = QString::fromStdString(SysConfig().ReadString(ConfigKey::AppTitle));
    setWindowTitle(caption);
    QGuiApplication::setApplicationDisplayName(caption);
    FitToWorkArea();
    // Maximized: the window manager fits it into the work area and knows its state. The geometry
    // is the work area's for a display without a window manager.
    setGeometry(WorkArea(*this));
    setWindowState(Qt::WindowMaximized);
    if (QScreen* screen = this->screen())
        QObject::connect(screen, &QScreen::availableGeometryChanged, this,
                         [this] { setMinimumSize(RestoredSize()); });

    hostPlugin_ = std::make_unique<TUIPlugin>(this);
    corvane::Khan().SetHostPlugin(hostPlugin_.get());
    corvane::Skin().SetSkinFile(ConfigPath() + "Skin.Sys");

    BuildFrame();

    minimizeTimer_ = std::make_unique<QTimer>();
    minimizeTimer_->setInterval(150);
    QObject::connect(minimizeTimer_.get(), &QTimer::timeout, this, [this] { Minimize(); });
    startupChain_.Start();
}

void TFrmDesk::FormDestroy() {
    minimizeTimer_.reset();
    corvane::Khan().SetHostPlugin(nullptr);
    hostPlugin_.reset();
    // The desk container is a child of this window; the wizard lets it go with the window.
    deskWidgets_.reset();
}

void TFrmDesk::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    // Not quit(): that asks every window again, and one that refuses would keep the process, and
    // with it the instance lock, alive.
    if (event->isAccepted())
        QCoreApplication::exit(0);
}

void TFrmDesk::BuildFrame() {
    BuildTitleBar();
    BuildPageControl();
}

TUIcon& TFrmDesk::AddTitleButton(int left, int top, const char* normal, const char* hover, std::int32_t tag) {
    TUIcon& button = DeskContainer().CreateWidget<TUIcon>();
    button.Left = left;
    button.Top = top;
    button.Icon.NorPngFile = normal;
    button.Icon.MovPngFile = hover;
    button.Tag = tag;
    return button;
}

void TFrmDesk::BuildTitleBar() {
    deskWidgets_ = std::make_unique<TUIWizard>();
    TUIContainer& desk = DeskContainer();
    desk.SetWidgetClick(DefClick);
    auto* layout = new QVBoxLayout(this); // owned by this window
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(&desk);
    desk.resize(size());
    desk.OnMouseDown = [this](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
        StartDrag(button, QPoint(x, y), InRect(DeskContainer().TitleArea(), QPoint(x, y)));
    };
    desk.OnMouseMove = [this](Qt::KeyboardModifiers, int x, int y) { Drag(QPoint(x, y)); };
    desk.OnMouseUp = [this](Qt::MouseButton, Qt::KeyboardModifiers, int, int) { dragging_ = false; };
    // Presses and moves on the window's edges, and double-clicks, on the container are taken in eventFilter,
    // before the container sees them.

    const int b = desk.ShowBorder() ? ImageWidth("border_dot.png") : 0;
    const int closeWidth = ImageWidth("close_01.png");
    const int maximizeWidth = ImageWidth("nor_01.png");
    const int minimizeWidth = ImageWidth("min_01.png");
    TUIcon& closeButton = AddTitleButton(-b - closeWidth, b + 1, "close_01.png", "close_02.png", 0);
    closeButton.OnClick = [this](TUIAction&) { close(); };
    closeButton.AccessibleName = "关闭";
    maximizeButton_ =
        &AddTitleButton(-b - closeWidth - maximizeWidth, b + 1, "nor_01.png", "nor_02.png", wsMaximized);
    // The desk starts maximized: the button shows the restore picture from the first paint.
    ShowMaximizeButtonFor(windowState_);
    maximizeButton_->OnClick = [this](TUIAction&) { MaximizeButtonClick(); };
    TUIcon& minimizeButton = AddTitleButton(-b - closeWidth - maximizeWidth - minimizeWidth, b + 1,
                                            "min_01.png", "min_02.png", wsMinimized);
    minimizeButton.OnClick = [this](TUIAction&) { ChangeWindowState(wsMinimized); };
    minimizeButton.AccessibleName = "最小化";
    desk.Rebuild();
}

void TFrmDesk::BuildPageControl() {
    TUIContainer& desk = DeskContainer();
    pageControl_ = new TTaxPageControl(&desk); // owned by the desk container
    pageControl_->SetRightMargin(2);
    pageControl_->SetMaxTabLength(128);
    pageControl_->setGeometry(3, 18, desk.width() - 6, desk.BackgroundHeight() - desk.StatusHeight() - 20);
    pageControlAnchors_.Set(*pageControl_, TAnchors{true, true, true, true}, desk.size());
    desk.installEventFilter(this);
    pageControl_->SetSkinFile(PicturesPath() + "PgSkin.bmp");
    pageControl_->setObjectName(QStringLiteral("FPageCtrl"));
    pageControl_->SetBorderColor(pageControl_->SkinFrameColor());

    pageControl_->OnClosePage = [this](TTaxPageControl&, TTaxTabSheet& page, bool& allow) {
        ClosePage(page, allow);
    };
    pageControl_->OnMouseDown = [this](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
        StartDrag(button, QPoint(x, y), pageControl_->FreeStripRect().contains(x, y));
    };
    pageControl_->OnMouseMove = [this](Qt::KeyboardModifiers, int x, int y) { Drag(QPoint(x, y)); };
    pageControl_->OnMouseUp = [this](Qt::MouseButton, Qt::KeyboardModifiers, int, int) { dragging_ = false; };
    pageControl_->OnClick = [this](TTaxTab&) {
        tabStripClick_ = pageControl_->FreeStripRect().contains(pageControl_->mapFromGlobal(QCursor::pos()));
    };
    pageControl_->OnDblClick = [this](TTaxTab&) {
        if (tabStripClick_)
            ToggleMaximized();
    };
    pageControl_->TopPanel().installEventFilter(this);
    pageControl_->show();
    BuildBench();
}

void TFrmDesk::BuildBench() {
    benchPage_ = new TTaxTabSheet(pageControl_); // owned by, and attached to, the page control
    benchPage_->SetCaption(SysConfig().ReadString(ConfigKey::BenchTitle));
    benchPage_->setObjectName(QStringLiteral("tbBench"));
    pageControl_->SelectPage(0);

    benchForm_ = new TFrmBench(benchPage_); // owned by the bench page
    benchForm_->BenchContainer().SetWidgetClick(DefClick);
    EmbedForm(benchForm_, benchPage_);
    benchPage_->SetBtnCloseVisible(false);
    benchPage_->SetTabVisible(false);
    // Hiding the only tab leaves no page active; the bench is still what the desk shows.
    pageControl_->SetActivePage(benchPage_);
    // Tab goes through the bench's icons, then the desk's buttons and links, then the tab strip;
    // the keyboard starts on the bench.
    setTabOrder(&benchForm_->BenchContainer(), &DeskContainer());
    setTabOrder(&DeskContainer(), &pageControl_->TopPanel());
    benchForm_->BenchContainer().setFocus(Qt::OtherFocusReason);
    InstallDeskKeys(*this, *pageControl_);
    benchLayout_ = std::make_unique<TBenchLayout>(benchForm_->BenchContainer());
    startupChain_.OnBootScriptsRun = [this] { benchLayout_->Start(); };
}

void TFrmDesk::ClosePage(TTaxTabSheet& page, bool& allow) {
    CloseDockedControl(page);
    allow = true;
}

bool TFrmDesk::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && deskWidgets_ && watched == deskWidgets_->Container())
        pageControlAnchors_.Apply(*deskWidgets_->Container());
    if (deskWidgets_ && watched == deskWidgets_->Container() && EdgeEvent(*event))
        return true;
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // A left double-click on the title or the tab strip is the toggle and nothing more: its
        // second press must neither start dragging the window it has just restored nor click a
        // title-bar button or a tab's close button.
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (deskWidgets_ && watched == deskWidgets_->Container()) {
            if (InRect(DeskContainer().TitleArea(), at))
                ToggleMaximized();
            return true;
        }
        if (pageControl_ != nullptr && watched == &pageControl_->TopPanel()) {
            if (tabStripClick_)
                ToggleMaximized();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFrmDesk::ChangeWindowState(std::uint8_t state) {
    windowState_ = state;
    switch (state) {
    case wsNormal:
        if (windowState() != Qt::WindowNoState)
            showNormal();
        setGeometry(QRect(restorePosition_, RestoredSize()));
        ShowMaximizeButtonFor(state);
        break;
    case wsMinimized:
        if (minimizeTimer_)
            minimizeTimer_->start();
        break;
    case wsMaximized:
        // The window manager fits it into the work area and knows it is maximized; without one
        // the geometry does it.
        setGeometry(WorkArea(*this));
        showMaximized();
        ShowMaximizeButtonFor(state);
        break;
    default:
        break;
    }
}

void TFrmDesk::MaximizeButtonClick() {
    if (maximizeButton_ == nullptr)
        return;
    // The state changes to the button's tag; the button then offers the other one.
    ChangeWindowState(static_cast<std::uint8_t>(maximizeButton_->Tag));
}

void TFrmDesk::ShowMaximizeButtonFor(std::uint8_t state) {
    if (maximizeButton_ == nullptr)
        return;
    TUIcon& button = *maximizeButton_;
    if (state == wsMaximized) {
        button.Tag = wsNormal;
        button.Icon = {"max_01.png", "max_02.png"};
    } else {
        button.Tag = wsMaximized;
        button.Icon = {"nor_01.png", "nor_02.png"};
    }
    NameMaximizeButton(button);
    button.Refresh(true);
}

void TFrmDesk::ToggleMaximized() {
    if (windowState_ == wsNormal)
        dragging_ = false;
    MaximizeButtonClick();
}

void TFrmDesk::Minimize() {
    minimizeTimer_->stop();
    showMinimized();
}

void TFrmDesk::StartDrag(Qt::MouseButton button, QPoint point, bool inDragArea) {
    if (button == Qt::LeftButton && windowState_ == wsNormal && inDragArea) {
        // The window system moves the window where it can (X11, Wayland, where a client cannot
        // place itself); elsewhere the desk moves itself with the mouse.
        if (windowHandle() != nullptr && windowHandle()->startSystemMove())
            return;
        dragging_ = true;
        dragOrigin_ = point;
    }
}

void TFrmDesk::Drag(QPoint point) {
    if (!dragging_ || windowState_ != wsNormal)
        return;
    move(point.x() + x() - dragOrigin_.x(), point.y() + y() - dragOrigin_.y());
    restorePosition_ = pos();
}

QSize TFrmDesk::RestoredSize() const {
    return QSize(800, 600).boundedTo(WorkArea(*this).size());
}

void TFrmDesk::FitToWorkArea() {
    const QRect area = WorkArea(*this);
    const QSize restored = RestoredSize();
    setMinimumSize(restored);
    // The restored size, not the current one, centres the restored window.
    restorePosition_ = area.topLeft() +
                       QPoint((area.width() - restored.width()) / 2, (area.height() - restored.height()) / 2);
}

void TFrmDesk::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || (windowState() & Qt::WindowMinimized))
        return;
    const std::uint8_t shown = (windowState() & Qt::WindowMaximized) ? wsMaximized : wsNormal;
    // Restored from the task bar to a normal window, the desk keeps its state 1: dragging stays off
    // until a title-bar button or a double-click sets a state.
    if (shown == windowState_ || (windowState_ == wsMinimized && shown == wsNormal))
        return;
    windowState_ = shown;
    dragging_ = false;
    ShowMaximizeButtonFor(shown);
}

void TFrmDesk::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // A move the window system made (a title drag, its keyboard) is where the restored window goes.
    if (windowState_ == wsNormal && windowState() == Qt::WindowNoState && isVisible())
        restorePosition_ = pos();
}

void TFrmDesk::BringToFront() {
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        if (windowState_ == wsMinimized) {
            windowState_ = isMaximized() ? wsMaximized : wsNormal;
            ShowMaximizeButtonFor(windowState_);
        }
    }
    show();
    raise();
    activateWindow();
}

Qt::Edges TFrmDesk::ResizeEdgesAt(QPoint point) const {
    if (windowState_ != wsNormal || !deskWidgets_)
        return {};
    const TUIContainer& desk = DeskContainer();
    Qt::Edges edges;
    if (point.x() < kResizeMargin)
        edges |= Qt::LeftEdge;
    if (point.x() >= desk.width() - kResizeMargin)
        edges |= Qt::RightEdge;
    if (point.y() < kResizeMargin)
        edges |= Qt::TopEdge;
    if (point.y() >= desk.height() - kResizeMargin)
        edges |= Qt::BottomEdge;
    if (edges == Qt::Edges())
        return {};
    for (const auto& widget : desk.Widgets())
        if (widget->Visible && InRect(widget->Bounds, point))
            return {};
    return edges;
}

bool TFrmDesk::EdgeEvent(QEvent& event) {
    if (event.type() != QEvent::MouseMove && event.type() != QEvent::MouseButtonPress)
        return false;
    const auto& mouse = static_cast<QMouseEvent&>(event);
    const Qt::Edges edges = ResizeEdgesAt(mouse.position().toPoint());
    TUIContainer& desk = DeskContainer();
    if (event.type() == QEvent::MouseMove) {
        if (edges == Qt::Edges() || mouse.buttons() != Qt::NoButton)
            return false;
        desk.SetHover(nullptr);
        desk.setCursor(ResizeCursor(edges));
        return true;
    }
    // The window system resizes it, never below the minimum size.
    return edges != Qt::Edges() && mouse.button() == Qt::LeftButton && windowHandle() != nullptr &&
           windowHandle()->startSystemResize(edges);
}

} // namespace qm
