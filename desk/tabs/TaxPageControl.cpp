#include "desk/tabs/TaxPageControl.h"

#include "common/ControlAlign.h"
#include "common/Shell.h"
#include "desk/tabs/SkinBitmap.h"
#include "desk/tabs/SkinPieces.h"
#include "desk/tabs/TaxTabControlTopPanel.h"
#include "desk/tabs/TaxTabSheet.h"

#include <QPainter>
#include <QPointer>
#include <algorithm>
#include <memory>

namespace qm {

namespace {

constexpr const char* kPageNamePrefix = "TaxTabSheet";

} // namespace

TTaxPageControl::TTaxPageControl(QWidget* parent) : TTaxTab(parent, TDeferTopPanel{}) {
    InstallTopPanel();
}

TTaxPageControl::~TTaxPageControl() {
    // The pages are child widgets and go with this control; they must not call back into it.
    destroying_ = true;
    for (const QMetaObject::Connection& watch : controlWatches_)
        QObject::disconnect(watch);
    for (TTaxTabSheet* page : pages_) {
        page->pageControl_ = nullptr;
        page->pageIndex_ = -1;
    }
    pages_.clear();
    activePage_ = nullptr;
}

std::unique_ptr<TTaxTabControlTopPanel> TTaxPageControl::CreateTopPanel() {
    auto strip = std::make_unique<TTaxTabControlTopPanel>(*this);
    // One tab per page, and there are no pages yet.
    strip->SetTabs({});
    return strip;
}

std::string TTaxPageControl::FreePageName() const {
    // Names are unique among the components of this control's owner.
    const QObject* owner = parent() != nullptr ? parent() : this;
    for (int n = PageCount() + 1;; ++n) {
        const QString name = QString::fromLatin1(kPageNamePrefix) + QString::number(n);
        if (owner->objectName() != name && owner->findChild<QObject*>(name) == nullptr)
            return name.toStdString();
    }
}

TTaxTabSheet& TTaxPageControl::NewPage(bool afterActive) {
    auto page = std::make_unique<TTaxTabSheet>();
    const std::string name = FreePageName();
    page->setObjectName(QString::fromStdString(name));
    page->caption_ = name;
    const int index = afterActive && activePage_ != nullptr ? activePage_->pageIndex_ + 1 : 0;
    InsertPage(index, *page);
    // Now a child widget of this control, which frees it.
    return *page.release();
}

void TTaxPageControl::InsertPage(int index, TTaxTabSheet& page) {
    if (HasPage(&page))
        return;
    if (page.pageControl_ != nullptr && page.pageControl_ != this)
        page.pageControl_->DetachPage(page);
    page.pageControl_ = this;
    if (page.parentWidget() != this)
        page.setParent(this);
    SetControlAlign(&page, alClient);
    const int count = PageCount();
    const int at = index <= 0 || index > count ? count : index;
    pages_.insert(pages_.begin() + at, &page);
    SyncStrip();
    // A collapsed strip would leave the new page's tab out of reach.
    if (page.tabVisible_ && TopPanelHeight() == 0)
        SetTopPanelHeight(TTaxTabControlTopPanel::kHeight);
    SetActivePage(&page);
}

bool TTaxPageControl::RemovePage(TTaxTabSheet& page) {
    if (!HasPage(&page))
        return false;
    bool allow = true;
    if (OnClosePage) {
        const QPointer<TTaxTabSheet> guard(&page);
        OnClosePage(*this, page, allow);
        if (guard.isNull())
            return true;
    }
    if (!allow || !HasPage(&page))
        return false;
    TakeOut(page, true);
    return true;
}

bool TTaxPageControl::CanHold(const QWidget& target, const QWidget& control) noexcept {
    return &control != &target && !control.isAncestorOf(&target);
}

void TTaxPageControl::DockControl(TTaxTabSheet& page, QWidget& control, std::int32_t tag, bool asForm) {
    // Taking a window with native children (a browser view) into the desk can leave no window
    // active; the desk keeps the keyboard.
    QWidget* const desk = page.window();
    const bool deskWasActive = desk != nullptr && desk->isActiveWindow();
    if (asForm)
        EmbedForm(&control, &page);
    else
        EmbedControl(&control, &page, alClient);
    if (deskWasActive && !desk->isActiveWindow())
        desk->activateWindow();
    page.SetTag(tag);
    for (TTaxTabSheet* other : pages_)
        if (other != &page && other->Tag() == tag)
            other->SetTag(0);
    RemovePageWhenDestroyed(page, control, tag);
}

void TTaxPageControl::RemovePageWhenDestroyed(TTaxTabSheet& page, QWidget& control, std::int32_t tag) {
    std::erase_if(controlWatches_, [](const QMetaObject::Connection& watch) { return !watch; });
    // Only the page's address is kept: it is looked up before it is used, since the page may be
    // gone (or half destroyed, taking the control with it) when the signal comes.
    TTaxTabSheet* const watched = &page;
    controlWatches_.push_back(connect(&control, &QObject::destroyed, this, [this, watched, tag] {
        if (HasPage(watched) && watched->Tag() == tag)
            RemovePage(*watched);
    }));
}

void TTaxPageControl::DetachPage(TTaxTabSheet& page) {
    if (destroying_)
        return;
    TakeOut(page, false);
}

void TTaxPageControl::TakeOut(TTaxTabSheet& page, bool hideIt) {
    const auto found = std::find(pages_.begin(), pages_.end(), &page);
    if (found == pages_.end())
        return;
    const int position = static_cast<int>(found - pages_.begin());
    const bool wasActive = activePage_ == &page;
    pages_.erase(found);
    page.pageControl_ = nullptr;
    page.pageIndex_ = -1;
    SyncStrip();
    if (wasActive) {
        activePage_ = nullptr;
        if (hideIt)
            HidePage(page);
        const int count = PageCount();
        SelectPage(position < count ? position : count - 1);
    } else {
        if (hideIt) {
            page.setEnabled(false);
            page.hide();
        }
        if (activePage_ != nullptr)
            SelectPage(activePage_->pageIndex_);
    }
    // The last tab gone (the pages left all hide theirs): an empty strip would only take room.
    const bool anyTab =
        std::any_of(pages_.begin(), pages_.end(), [](const TTaxTabSheet* p) { return p->tabVisible_; });
    if (!anyTab && TopPanelHeight() != 0)
        SetTopPanelHeight(0);
}

void TTaxPageControl::SyncStrip() {
    TTaxTabControlTopPanel& strip = TopPanel();
    std::vector<std::string> captions;
    captions.reserve(pages_.size());
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        pages_[i]->pageIndex_ = static_cast<int>(i);
        captions.push_back(pages_[i]->caption_);
    }
    strip.SetTabs(std::move(captions));
    for (const TTaxTabSheet* page : pages_) {
        strip.SetCloseVisible(page->pageIndex_, page->btnCloseVisible_);
        strip.SetTabVisible(page->pageIndex_, page->tabVisible_);
    }
}

const QObject* TTaxPageControl::TabObject(int tabIndex) const {
    return GetPage(tabIndex);
}

TTaxTabSheet* TTaxPageControl::GetPage(int index) const noexcept {
    if (index < 0 || index >= PageCount())
        return nullptr;
    return pages_[static_cast<std::size_t>(index)];
}

bool TTaxPageControl::HasPage(const TTaxTabSheet* page) const noexcept {
    return page != nullptr && std::find(pages_.begin(), pages_.end(), page) != pages_.end();
}

TTaxTabSheet* TTaxPageControl::PageByTag(std::int32_t tag) const noexcept {
    if (tag == 0)
        return nullptr;
    const auto found = std::find_if(pages_.begin(), pages_.end(),
                                    [tag](const TTaxTabSheet* page) { return page->tag_ == tag; });
    return found == pages_.end() ? nullptr : *found;
}

void TTaxPageControl::HidePage(TTaxTabSheet& page) {
    page.setEnabled(false);
    page.hide();
    if (page.OnHide)
        page.OnHide(page);
}

void TTaxPageControl::ShowPage(TTaxTabSheet& page) {
    page.show();
    page.setEnabled(true);
    page.raise();
    page.update();
    if (page.OnShow)
        page.OnShow(page);
}

void TTaxPageControl::SetActivePage(TTaxTabSheet* page) {
    if (page != nullptr && !HasPage(page))
        return;
    if (activePage_ != nullptr && activePage_ != page)
        HidePage(*activePage_);
    activePage_ = page;
    if (page == nullptr)
        return;
    const QPointer<TTaxTabSheet> guard(page);
    TopPanel().SetTabIndex(page->pageIndex_);
    if (guard.isNull() || !HasPage(page))
        return;
    ShowPage(*page);
}

void TTaxPageControl::SelectPage(int index) {
    // The shown page is hidden and shown again; the control in it that had the keyboard focus
    // (which hiding moves elsewhere) gets it back.
    QPointer<QWidget> focused;
    if (activePage_ != nullptr && activePage_->pageIndex_ == index) {
        QWidget* focus = window()->focusWidget();
        if (focus != nullptr && activePage_->isAncestorOf(focus))
            focused = focus;
        HidePage(*activePage_);
    }
    TTaxTabSheet* page = GetPage(index);
    if (page == nullptr) {
        SetActivePage(nullptr);
        return;
    }
    const QPointer<TTaxTabSheet> guard(page);
    TopPanel().SetTabIndex(index);
    if (guard.isNull() || !HasPage(page))
        return;
    // Only one page is ever shown.
    if (activePage_ != nullptr && activePage_ != page)
        HidePage(*activePage_);
    activePage_ = page;
    ShowPage(*page);
    if (QWidget* again = focused.data(); again != nullptr && page->isAncestorOf(again))
        again->setFocus(Qt::OtherFocusReason);
}

void TTaxPageControl::Change(int tabIndex) {
    if (activePage_ != nullptr && activePage_->pageIndex_ != tabIndex)
        HidePage(*activePage_);
    TTaxTabSheet* page = GetPage(tabIndex);
    activePage_ = page;
    if (page != nullptr) {
        const QPointer<TTaxTabSheet> guard(page);
        page->show();
        page->setEnabled(true);
        page->raise();
        page->update();
        if (!destroying_)
            FocusFirstControl(*page);
        if (guard.isNull())
            return;
        if (page->OnShow)
            page->OnShow(*page);
    }
    TTaxTab::Change(tabIndex);
}

bool TTaxPageControl::FocusFirstControl(TTaxTabSheet& page) {
    const QList<QWidget*> children = page.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    if (children.isEmpty())
        return false;
    QWidget* first = children.front();
    if (first->isHidden() || !first->isEnabled())
        return false;
    if (first->focusPolicy() != Qt::NoFocus) {
        first->setFocus(Qt::OtherFocusReason);
        return true;
    }
    // A docked form takes no focus itself; its first control that takes it from the keyboard does.
    for (QWidget* inner : first->findChildren<QWidget*>()) {
        if ((inner->focusPolicy() & Qt::TabFocus) != 0 && inner->isVisibleTo(first) && inner->isEnabled()) {
            inner->setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return false;
}

void TTaxPageControl::ShowControl(QWidget* control) {
    for (QWidget* w = control; w != nullptr; w = w->parentWidget()) {
        auto* page = qobject_cast<TTaxTabSheet*>(w);
        if (page != nullptr && HasPage(page)) {
            SetActivePage(page);
            return;
        }
    }
}

void TTaxPageControl::FocusPage(TTaxTabSheet& page) {
    if (!HasPage(&page))
        return;
    SetActivePage(&page);
    if (HasPage(&page) && !FocusFirstControl(page))
        page.setFocus(Qt::OtherFocusReason);
}

void TTaxPageControl::TabCloseRequest(int tabIndex) {
    if (tabIndex >= 0 && tabIndex < TopPanel().TabCount())
        if (TTaxTabSheet* page = GetPage(tabIndex))
            RemovePage(*page);
}

void TTaxPageControl::PageCaptionChanged() {
    SyncStrip();
}

void TTaxPageControl::PageCloseButtonChanged(TTaxTabSheet& page) {
    TopPanel().SetCloseVisible(page.pageIndex_, page.btnCloseVisible_);
}

void TTaxPageControl::PageTabVisibilityChanged(TTaxTabSheet& page, bool visible) {
    TopPanel().SetTabVisible(page.pageIndex_, visible);
    if (!visible && activePage_ == &page) {
        // The nearest page with a tab: after this one first, then before it.
        int next = -1;
        for (int i = page.pageIndex_ + 1; i < PageCount() && next < 0; ++i)
            if (TopPanel().TabVisible(i))
                next = i;
        for (int i = page.pageIndex_ - 1; i >= 0 && next < 0; --i)
            if (TopPanel().TabVisible(i))
                next = i;
        SelectPage(next);
        if (activePage_ == nullptr)
            SetTopPanelHeight(0);
    } else if (visible && TopPanelHeight() == 0) {
        SetTopPanelHeight(TTaxTabControlTopPanel::kHeight);
        SelectPage(page.pageIndex_);
    }
}

void TTaxPageControl::MovePage(TTaxTabSheet& page, int index) {
    const auto found = std::find(pages_.begin(), pages_.end(), &page);
    if (found == pages_.end() || index < 0 || index >= PageCount())
        return;
    if (static_cast<int>(found - pages_.begin()) == index)
        return;
    pages_.erase(found);
    pages_.insert(pages_.begin() + index, &page);
    SyncStrip();
    // The active tab stays on the active page.
    if (activePage_ != nullptr)
        TopPanel().FollowTabIndex(activePage_->pageIndex_);
}

QRect TTaxPageControl::FreeStripRect() const {
    const TTaxTabControlTopPanel& strip = TopPanel();
    const int left = strip.Geometry().FreeStripLeft();
    return QRect(left, 0, std::max(0, strip.width() - left), strip.height());
}

int TTaxPageControl::MaxTabLength() const noexcept {
    return TopPanel().MaxTabLength();
}

void TTaxPageControl::SetMaxTabLength(int length) {
    TopPanel().SetMaxTabLength(length);
}

void TTaxPageControl::SetSkinFile(const std::string& fileName) {
    if (fileName == skinFile_)
        return;
    TopPanel().SetSkinFile(fileName);
    skinFile_ = fileName;
    SetColor(SkinPixel(TopPanel().SkinBitmap(), skin::kBackgroundColumnX, 0));
    for (TTaxTabSheet* page : pages_)
        page->update();
}

QColor TTaxPageControl::SkinFrameColor() const {
    return SkinPixel(TopPanel().SkinBitmap(), skin::kFramePixelX, 0);
}

void TTaxPageControl::SetToolbarVisible(bool visible) {
    toolbarVisible_ = visible;
    TopPanel().SetToolBarVisible(visible);
}

void TTaxPageControl::PaintPageBackground(QPainter& painter, const QRect& area) const {
    const QImage& skinBitmap = TopPanel().SkinBitmap();
    const QRect column = skin::ColumnRect(skin::kPageColumnX);
    if (skinBitmap.rect().contains(column))
        painter.drawImage(area, skinBitmap, column);
    else
        painter.fillRect(area, Qt::white);
}

} // namespace qm
