#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

namespace qm {

class TTaxPageControl;
class TTaxTabSheet;

using TTabSheetNotify = std::function<void(TTaxTabSheet& sender)>;

// One page of a TTaxPageControl. A page is attached by giving it the page control as its parent
// (or through the page control's NewPage/InsertPage) and detached when it leaves that parent, is
// closed from its tab, or is destroyed. It paints the skin's page column over its whole area.
//
// Every page is registered in the process-wide handle table (as a control and a page) for its
// whole life, so that requests can name it by handle.
class TTaxTabSheet : public QWidget {
    Q_OBJECT

public:
    // With a page control as parent the page is attached (appended) at once.
    explicit TTaxTabSheet(QWidget* parent = nullptr);
    ~TTaxTabSheet() override;

    // The page control this page belongs to; null when detached.
    TTaxPageControl* PageControl() const noexcept { return pageControl_; }
    // The page's position in its page control; -1 when detached.
    int PageIndex() const noexcept { return pageIndex_; }
    // Moves the page to index; an index outside the page list keeps it where it is.
    void SetPageIndex(int index);

    // UTF-8.
    const std::string& Caption() const noexcept { return caption_; }
    void SetCaption(const std::string& caption);
    // Hiding the tab of the active page activates the nearest page with a visible tab (after it
    // first, then before it) and collapses the strip when none is left; showing a tab while the
    // strip is collapsed brings the strip back and activates this page.
    bool TabVisible() const;
    void SetTabVisible(bool visible);
    bool BtnCloseVisible() const noexcept { return btnCloseVisible_; }
    void SetBtnCloseVisible(bool visible);

    // The handle of the control docked in this page, 0 for none.
    std::int32_t Tag() const noexcept { return tag_; }
    void SetTag(std::int32_t tag) noexcept { tag_ = tag; }
    // This page's own handle.
    std::int32_t Handle() const noexcept;

    TTabSheetNotify OnShow;
    TTabSheetNotify OnHide;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    friend class TTaxPageControl;

    TTaxPageControl* pageControl_ = nullptr;
    int pageIndex_ = -1;
    std::string caption_;
    bool tabVisible_ = true;
    bool btnCloseVisible_ = true;
    std::int32_t tag_ = 0;
};

} // namespace qm
