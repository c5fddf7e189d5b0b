#include "desk/tabs/TaxTabControlTopPanel.h"

#include "desk/DeskAccessible.h"
#include "desk/UIAction.h"
#include "desk/tabs/SkinBitmap.h"
#include "desk/tabs/TabStripAccessible.h"
#include "desk/tabs/TabStripPainter.h"
#include "desk/tabs/TaxTab.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <utility>

namespace qm {

namespace {

constexpr const char* kSkinFileLocation = "TTaxTabControlTopPanel.SetSkinFile(Value: string)";

QString Caption(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

const char* const TTaxTabControlTopPanel::kListButtonHint = "标签列表";

TTaxTabControlTopPanel::TTaxTabControlTopPanel(TTaxTab& owner) : QWidget(&owner), owner_(owner) {
    InstallDeskAccessibility();
    setMouseTracking(true);
    // Reached with Tab from the keyboard; a click on a tab leaves the focus where it is.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(0, 0, owner.width(), kHeight);
}

TTaxTabControlTopPanel::~TTaxTabControlTopPanel() = default;

void TTaxTabControlTopPanel::SetTabs(std::vector<std::string> tabs) {
    tabs_ = std::move(tabs);
    TabsChanged();
    update();
}

void TTaxTabControlTopPanel::SetTabIndex(int index) {
    if (index == tabIndex_ || index < -1 || index >= TabCount())
        return;
    if (tabs_.empty()) {
        tabIndex_ = -1;
        update();
        return;
    }
    if (!owner_.AllowTabChange())
        return;
    const int from = std::exchange(tabIndex_, index);
    const TTabStripGeometry g = Geometry();
    scrollOffset_ = ScrollOffsetForSelection(index, TabCount(), ScrollStep(), g.RowWidth(),
                                             g.VisibleRowWidth(), scrollOffset_);
    update();
    SelectionChanged(from);
    owner_.Change(index);
}

void TTaxTabControlTopPanel::FollowTabIndex(int index) {
    if (index < -1 || index >= TabCount() || index == tabIndex_)
        return;
    const int from = std::exchange(tabIndex_, index);
    update();
    SelectionChanged(from);
}

void TTaxTabControlTopPanel::CloseTab(int index) {
    if (index < 0 || index >= TabCount() || !TabVisible(index) || !CloseVisible(index))
        return;
    owner_.TabCloseRequest(index);
    const TTabStripGeometry after = Geometry();
    if (after.RowWidth() <= after.VisibleRowWidth())
        scrollOffset_ = 0;
    update();
}

void TTaxTabControlTopPanel::TabsChanged() {
    if (tabsAnnouncePending_ || !QAccessible::isActive())
        return;
    tabsAnnouncePending_ = true;
    QTimer::singleShot(0, this, [this] {
        tabsAnnouncePending_ = false;
        AnnounceTabsChanged(*this);
    });
}

void TTaxTabControlTopPanel::SelectionChanged(int from) {
    AnnounceTabSelected(*this, from, tabIndex_);
}

void TTaxTabControlTopPanel::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const bool left = event->key() == Qt::Key_Left;
    if (!plain || (!left && event->key() != Qt::Key_Right)) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!std::exchange(focusVisible_, true))
        update();
    const TTabStripGeometry g = Geometry();
    int k = 0;
    while (k < g.VisibleCount() && g.TabAt(k) != tabIndex_)
        ++k;
    const int to = k == g.VisibleCount() ? 0 : left ? k - 1 : k + 1;
    if (to >= 0 && to < g.VisibleCount())
        SetTabIndex(g.TabAt(to));
}

void TTaxTabControlTopPanel::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    // A collapsed strip, or one without a tab, is no stop on the way through the window.
    if ((height() == 0 || Geometry().VisibleCount() == 0) &&
        (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)) {
        focusNextPrevChild(reason == Qt::TabFocusReason);
        return;
    }
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
        focusVisible_ = true;
    update();
    AnnounceTabSelected(*this, -1, tabIndex_);
}

void TTaxTabControlTopPanel::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        focusVisible_ = false;
    update();
}

void TTaxTabControlTopPanel::PaintFocusFrame(QPainter& painter, const TTabStripGeometry& g) const {
    for (int k = 0; k < g.VisibleCount(); ++k) {
        if (g.TabAt(k) != tabIndex_)
            continue;
        const QRect tab = ToQRect(g.TabHitRect(k)).translated(g.Metrics().listButtonWidth, 0);
        QPen pen(palette().color(QPalette::WindowText), 1, Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        // Inside the tab's face, clear of its slanted ends and of its close button.
        painter.drawRect(tab.adjusted(14, 4, -22, -4).intersected(rect().adjusted(0, 0, -1, -1)));
    }
}

void TTaxTabControlTopPanel::SetRightMargin(int margin) {
    if (margin == rightMargin_)
        return;
    rightMargin_ = margin;
    update();
}

void TTaxTabControlTopPanel::SetSkinFile(const std::string& fileName) {
    if (fileName == skinFile_)
        return;
    QImage loaded = LoadSkinBitmap(fileName, kSkinFileLocation);
    skinFile_ = fileName;
    skin_ = std::move(loaded);
    update();
}

void TTaxTabControlTopPanel::SetMaxTabLength(int length) {
    if (length == maxTabLength_)
        return;
    maxTabLength_ = length;
    update();
}

void TTaxTabControlTopPanel::SetToolBarVisible(bool visible) {
    // Only a change counts: hiding twice must not remember a width of 0.
    if (visible == toolBarVisible_)
        return;
    toolBarVisible_ = visible;
    if (visible) {
        listButtonWidth_ = hiddenListButtonWidth_;
    } else {
        hiddenListButtonWidth_ = listButtonWidth_;
        listButtonWidth_ = 0;
    }
    update();
}

bool TTaxTabControlTopPanel::TabVisible(int index) const {
    if (index < 0)
        return false;
    const auto i = static_cast<std::size_t>(index);
    return i >= tabVisibleFlags_.size() || tabVisibleFlags_[i] != 0;
}

void TTaxTabControlTopPanel::SetTabVisible(int index, bool visible) {
    if (index < 0)
        return;
    const auto i = static_cast<std::size_t>(index);
    if (i >= tabVisibleFlags_.size())
        tabVisibleFlags_.resize(i + 1, 1);
    tabVisibleFlags_[i] = visible ? 1 : 0;
    TabsChanged();
    update();
}

bool TTaxTabControlTopPanel::CloseVisible(int index) const {
    if (index < 0)
        return false;
    const auto i = static_cast<std::size_t>(index);
    return i < closeVisibleFlags_.size() && closeVisibleFlags_[i] != 0;
}

void TTaxTabControlTopPanel::SetCloseVisible(int index, bool visible) {
    if (index < 0)
        return;
    const auto i = static_cast<std::size_t>(index);
    if (i >= closeVisibleFlags_.size())
        closeVisibleFlags_.resize(i + 1, 0);
    closeVisibleFlags_[i] = visible ? 1 : 0;
    update();
}

TTabStripGeometry TTaxTabControlTopPanel::Geometry() const {
    TTabStripMetrics m;
    m.width = width();
    m.height = height();
    m.listButtonWidth = listButtonWidth_;
    m.rightMargin = rightMargin_;
    m.maxTabLength = maxTabLength_;
    m.scrollOffset = scrollOffset_;
    m.tabIndex = tabIndex_;
    for (int i = 0; i < TabCount(); ++i)
        if (TabVisible(i))
            m.visibleTabs.push_back(i);
    return TTabStripGeometry(std::move(m));
}

QImage TTaxTabControlTopPanel::Render() const {
    const TTabStripGeometry g = Geometry();
    TTabStripScene scene;
    scene.geometry = &g;
    scene.skin = skin_;
    scene.captions.reserve(tabs_.size());
    for (const std::string& caption : tabs_)
        scene.captions.push_back(Caption(caption));
    scene.closeButtons.reserve(tabs_.size());
    for (int i = 0; i < TabCount(); ++i)
        scene.closeButtons.push_back(CloseVisible(i));
    scene.hoverCode = hoverCode_;
    scene.pressState = pressState_;
    scene.font = font();
    scene.textColor = palette().color(QPalette::WindowText);
    // The screen's own ratio, as the desk's canvas: captions at the device's resolution.
    scene.ratio = std::max(1.0, devicePixelRatioF());
    return PaintTabStrip(scene);
}

void TTaxTabControlTopPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), Render());
    if (hasFocus() && focusVisible_)
        PaintFocusFrame(painter, Geometry());
}

void TTaxTabControlTopPanel::SetHint(const QString& hint) {
    if (hint == toolTip())
        return;
    setToolTip(hint);
    // A tip still showing the old text would name the wrong thing.
    if (QToolTip::isVisible())
        QToolTip::hideText();
}

void TTaxTabControlTopPanel::mouseMoveEvent(QMouseEvent* event) {
    // Handled here: the owner sees moves only while a left press on the strip lasts.
    event->accept();
    const QPoint at = event->position().toPoint();
    QString hint;
    hoverCode_ = codes::kNothing;
    if (pressState_ != codes::kPressDown)
        pressState_ = codes::kPressNone;
    const TTabStripGeometry g = Geometry();
    if (toolBarVisible_ && ContainsInclusive(g.ListButtonRect(), at.x(), at.y())) {
        hint = QString::fromUtf8(kListButtonHint);
        hoverCode_ = codes::kListButton;
        if (pressState_ != codes::kPressDown)
            pressState_ = codes::kPressOverButton;
    } else {
        const int x = g.RowX(at.x());
        bool overClose = false;
        for (int k = 0; k < g.VisibleCount(); ++k) {
            const std::optional<TRect> close = g.CloseHitRect(k);
            if (close && ContainsInclusive(*close, x, at.y())) {
                overClose = true;
                if (pressState_ != codes::kPressDown)
                    pressState_ = codes::kPressOverButton;
            }
            if (ContainsInclusive(g.TabHitRect(k), x, at.y())) {
                const int tab = g.TabAt(k);
                hoverCode_ = (overClose ? codes::kFirstClose : codes::kFirstTab) + tab;
                hint = Caption(tabs_[static_cast<std::size_t>(tab)]);
                break;
            }
        }
    }
    SetHint(hint);
    update();
    if (pressForwarded_)
        owner_.RaiseMouseMove(event->modifiers(), mapTo(&owner_, at));
}

void TTaxTabControlTopPanel::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    hoverCode_ = codes::kNothing;
    if (mapFromGlobal(QCursor::pos()).x() < width() - rightMargin_)
        update();
}

void TTaxTabControlTopPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        // Other buttons do nothing on the strip, and do not reach the owner either.
        event->accept();
        return;
    }
    clickPending_ = true;
    LeftPress(event->position().toPoint(), event->modifiers());
}

void TTaxTabControlTopPanel::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        // Other buttons do nothing on the strip, and do not reach the owner either.
        event->accept();
        return;
    }
    // The release that ends a double-click is no click of its own.
    clickPending_ = false;
    owner_.RaiseDblClick();
    LeftPress(event->position().toPoint(), event->modifiers());
}

void TTaxTabControlTopPanel::LeftPress(QPoint at, Qt::KeyboardModifiers modifiers) {
    pressForwarded_ = true;
    owner_.RaiseMouseDown(Qt::LeftButton, modifiers, mapTo(&owner_, at));
    pressState_ = codes::kPressDown;
    pressedCloseTab_ = -1;
    if (hoverCode_ == codes::kListButton) {
        PopupTabList(at);
    } else {
        const TTabStripGeometry g = Geometry();
        const int x = g.RowX(at.x());
        for (int k = 0; k < g.VisibleCount(); ++k) {
            const std::optional<TRect> close = g.CloseHitRect(k);
            if (close && ContainsInclusive(*close, x, at.y())) {
                pressedCloseTab_ = g.TabAt(k);
                break;
            }
            if (ContainsInclusive(g.TabHitRect(k), x, at.y())) {
                SetTabIndex(g.TabAt(k));
                break;
            }
        }
    }
    update();
}

void TTaxTabControlTopPanel::PopupTabList(QPoint at) {
    if (!listMenu_) {
        listMenu_ = std::make_unique<QMenu>();
        // The menu takes the release of the press that opened it.
        connect(listMenu_.get(), &QMenu::aboutToHide, this, [this] {
            pressState_ = codes::kPressNone;
            update();
        });
    }
    listMenu_->clear();
    int entries = 0;
    for (int i = 0; i < TabCount(); ++i) {
        if (!TabVisible(i))
            continue;
        const std::string& caption = tabs_[static_cast<std::size_t>(i)];
        QAction* action = listMenu_->addAction(Caption(caption));
        action->setCheckable(true);
        action->setChecked(i == tabIndex_);
        // The menu stays open while pages come, go and move: the entry names its tab by what it
        // stands for, not by a place in the list.
        const QObject* object = owner_.TabObject(i);
        connect(action, &QAction::triggered, this,
                [this, i, caption, named = object != nullptr, listed = QPointer<const QObject>(object)] {
                    if (named && listed.isNull())
                        return;
                    const int now = ListedTabIndex(listed.data(), i, caption);
                    if (now >= 0)
                        SetTabIndex(now);
                });
        ++entries;
    }
    if (entries <= 1)
        return;
    EndForwardedPress(at, Qt::NoModifier);
    listMenu_->popup(mapToGlobal(QPoint(at.x(), height())));
}

int TTaxTabControlTopPanel::ListedTabIndex(const QObject* object, int index,
                                           const std::string& caption) const {
    int now = -1;
    if (object != nullptr) {
        for (int k = 0; k < TabCount() && now < 0; ++k)
            if (owner_.TabObject(k) == object)
                now = k;
    } else if (index < TabCount() && tabs_[static_cast<std::size_t>(index)] == caption) {
        now = index;
    }
    return now >= 0 && TabVisible(now) ? now : -1;
}

void TTaxTabControlTopPanel::EndForwardedPress(QPoint at, Qt::KeyboardModifiers modifiers) {
    if (!pressForwarded_)
        return;
    pressForwarded_ = false;
    owner_.RaiseMouseUp(Qt::LeftButton, modifiers, mapTo(&owner_, at));
}

void TTaxTabControlTopPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        // Other buttons do nothing on the strip, and do not reach the owner either.
        event->accept();
        return;
    }
    const QPoint at = event->position().toPoint();
    if (std::exchange(clickPending_, false) && rect().contains(at))
        owner_.RaiseClick();
    pressState_ = codes::kPressNone;
    const int pressedClose = std::exchange(pressedCloseTab_, -1);
    const TTabStripGeometry g = Geometry();
    const int x = g.RowX(at.x());
    for (int k = 0; k < g.VisibleCount(); ++k) {
        const std::optional<TRect> close = g.CloseHitRect(k);
        if (!close || !ContainsInclusive(*close, x, at.y()))
            continue;
        const int tab = g.TabAt(k);
        if (tab == pressedClose && CloseVisible(tab)) {
            owner_.TabCloseRequest(tab);
            const TTabStripGeometry after = Geometry();
            if (after.RowWidth() <= after.VisibleRowWidth())
                scrollOffset_ = 0;
        }
        break;
    }
    EndForwardedPress(at, event->modifiers());
    update();
}

} // namespace qm
