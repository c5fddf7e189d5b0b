#pragma once

#include "desk/tabs/TaxTab.h"

#include <QRect>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qm {

class TTaxPageControl;
class TTaxTabSheet;

using TClosePageEvent = std::function<void(TTaxPageControl& sender, TTaxTabSheet& page, bool& allow)>;

// The desk's tabbed page host: one tab per page, one page shown at a time. Pages are its child
// widgets; the page list holds them in tab order and knows them by identity only, so a page that
// has been closed or destroyed can never act on another page's tab.
//
// Closing a page from its tab asks OnClosePage first; a closed page stays alive, hidden and out of
// the list.
class TTaxPageControl : public TTaxTab {
    Q_OBJECT

public:
    explicit TTaxPageControl(QWidget* parent = nullptr);
    ~TTaxPageControl() override;

    // Creates a page (a child of this control) named "TaxTabSheet" followed by the first free
    // number from PageCount() + 1 on, with that name as caption. It goes right after the active
    // page when afterActive is set and a page is active, else to the end, and becomes the active
    // page.
    TTaxTabSheet& NewPage(bool afterActive);
    // Attaches page (making this control its parent) at index, where 0 (or an index out of range)
    // appends, and makes it the active page.
    void InsertPage(int index, TTaxTabSheet& page);
    // Asks OnClosePage, then takes the page out of the list and shows the page that takes its
    // place. False when the page is not in the list or the handler refused.
    bool RemovePage(TTaxTabSheet& page);

    // Closes page through RemovePage once control (docked in it, the page's tag being tag) is
    // destroyed by someone else, so that no tab is left with nothing behind it. Nothing happens
    // when the page has left the list or holds another control by then.
    void RemovePageWhenDestroyed(TTaxTabSheet& page, QWidget& control, std::int32_t tag);

    // Whether control may go into target (one of the pages, or this control for a page yet to be
    // made): not when it is target or lies around it, which would make the widget tree a loop.
    static bool CanHold(const QWidget& target, const QWidget& control) noexcept;
    // Docks control into page (a form, asForm, without its frame; anything else filling the page) and
    // records tag in the page's tag; a page that held tag before no longer does, so lookups by the
    // control find the page it is in now. The page closes when someone else destroys the control.
    // The caller has checked CanHold.
    void DockControl(TTaxTabSheet& page, QWidget& control, std::int32_t tag, bool asForm);

    int PageCount() const noexcept { return static_cast<int>(pages_.size()); }
    const std::vector<TTaxTabSheet*>& Pages() const noexcept { return pages_; }
    // Null when index is out of range.
    TTaxTabSheet* GetPage(int index) const noexcept;
    bool HasPage(const TTaxTabSheet* page) const noexcept;
    // The first page whose tag (docked control handle) is tag; null for 0 or no match.
    TTaxTabSheet* PageByTag(std::int32_t tag) const noexcept;

    TTaxTabSheet* ActivePage() const noexcept { return activePage_; }
    // Shows page (which must be one of ours; others are ignored) and hides the one shown before;
    // null hides the active page and leaves none.
    void SetActivePage(TTaxTabSheet* page);
    // Activates the page at index; an index out of range leaves no active page.
    void SelectPage(int index);
    // Activates the page that is, or contains, control.
    void ShowControl(QWidget* control);
    // Activates page and gives it the keyboard focus (its first focusable control, or itself).
    void FocusPage(TTaxTabSheet& page);

    // The part of the strip right of the last tab, in this control's coordinates; the desk drags
    // its window from there.
    QRect FreeStripRect() const;

    int MaxTabLength() const noexcept;
    void SetMaxTabLength(int length);
    // Loads the strip's skin and takes this control's colour from its background pixel (white when
    // the file does not exist).
    const std::string& SkinFile() const noexcept { return skinFile_; }
    void SetSkinFile(const std::string& fileName);
    // The frame colour the skin offers (white without a skin); owners assign it to BorderColor.
    QColor SkinFrameColor() const;
    bool ToolbarVisible() const noexcept { return toolbarVisible_; }
    void SetToolbarVisible(bool visible);

    TClosePageEvent OnClosePage;

protected:
    std::unique_ptr<TTaxTabControlTopPanel> CreateTopPanel() override;
    void Change(int tabIndex) override;
    void TabCloseRequest(int tabIndex) override;
    // The page behind the tab.
    const QObject* TabObject(int tabIndex) const override;

private:
    friend class TTaxTabSheet;

    // Called by the pages.
    void PageCaptionChanged();
    void PageCloseButtonChanged(TTaxTabSheet& page);
    void PageTabVisibilityChanged(TTaxTabSheet& page, bool visible);
    void MovePage(TTaxTabSheet& page, int index);
    // The page leaves (another parent, or its destruction): out of the list without asking it,
    // hiding it or telling it (it may be half destroyed, or belong to someone else now).
    void DetachPage(TTaxTabSheet& page);
    // Paints a page from the skin's page column.
    void PaintPageBackground(QPainter& painter, const QRect& area) const;

    void TakeOut(TTaxTabSheet& page, bool hideIt);
    // Keeps every page's PageIndex, the strip's captions and its flags in step with the list.
    void SyncStrip();
    void HidePage(TTaxTabSheet& page);
    void ShowPage(TTaxTabSheet& page);
    // Focuses the page's first control (or, for a docked form, its first control that takes the
    // focus); false when there is none.
    bool FocusFirstControl(TTaxTabSheet& page);
    std::string FreePageName() const;

    std::vector<TTaxTabSheet*> pages_;
    TTaxTabSheet* activePage_ = nullptr;
    std::string skinFile_;
    bool toolbarVisible_ = true;
    bool destroying_ = false;
    // Cut when this control goes, before its pages and their controls are destroyed.
    std::vector<QMetaObject::Connection> controlWatches_;
};

} // namespace qm
