#include "desk/tabs/TaxTabControlTopPanel.h"

#include "desk/tabs/SkinBitmap.h"
#include "desk/tabs/TabStripPainter.h"
#include "desk/tabs/TaxTab.h"

#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
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
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(0, 0, owner.width(), kHeight);
}

TTaxTabControlTopPanel::~TTaxTabControlTopPanel() = default;

void TTaxTabControlTopPanel::SetTabs(std::vector<std::string> tabs) {
    tabs_ = std::move(tabs);
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
    tabIndex_ = index;
    const TTabStripGeometry g = Geometry();
    scrollOffset_ = ScrollOffsetForSelection(index, TabCount(), ScrollStep(), g.RowWidth(),
                                             g.VisibleRowWidth(), scrollOffset_);
    update();
    owner_.Change(index);
}

void TTaxTabControlTopPanel::FollowTabIndex(int index) {
    if (index < -1 || index >= TabCount() || index == tabIndex_)
        return;
    tabIndex_ = index;
    update();
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
