#pragma once

#include "desk/tabs/TabStripCodes.h"
#include "desk/tabs/TabStripGeometry.h"

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QMenu;
class QPainter;

namespace qm {

class TTaxTab;

// The skinned tab strip, 24 pixels high, drawn from one skin bitmap: a list button at its left
// that pops up a menu of the tabs, then a horizontally scrolling row of overlapping tabs with
// optional close buttons, hover and pressed looks, and tool tips. It belongs to a TTaxTab (its
// owner and parent) and keeps the owner's width.
//
// Tab flags (shown, close button) are kept per list index, independent of the captions, and grow
// as needed: every tab is shown and has no close button until told otherwise.
class TTaxTabControlTopPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int kHeight = 24;
    static constexpr int kListButtonWidth = 20;
    // The tool tip of the list button.
    static const char* const kListButtonHint;

    explicit TTaxTabControlTopPanel(TTaxTab& owner);
    ~TTaxTabControlTopPanel() override;

    TTaxTab& Owner() const noexcept { return owner_; }

    // Captions, UTF-8. Any change repaints.
    const std::vector<std::string>& Tabs() const noexcept { return tabs_; }
    void SetTabs(std::vector<std::string> tabs);
    int TabCount() const noexcept { return static_cast<int>(tabs_.size()); }

    int TabIndex() const noexcept { return tabIndex_; }
    // Makes tab i the active one, asking the owner's OnChanging first; ignored for the current
    // index, an index below -1 or past the list. Scrolls the tab into view and tells the owner.
    void SetTabIndex(int index);

    int RightMargin() const noexcept { return rightMargin_; }
    void SetRightMargin(int margin);
    // Loads the skin bitmap; a missing file leaves the strip without one, a file that is not a
    // picture raises EUI and changes nothing.
    const std::string& SkinFile() const noexcept { return skinFile_; }
    void SetSkinFile(const std::string& fileName);
    const QImage& SkinBitmap() const noexcept { return skin_; }
    int MaxTabLength() const noexcept { return maxTabLength_; }
    void SetMaxTabLength(int length);
    int ScrollStep() const noexcept { return maxTabLength_ - 20; }
    bool ToolBarVisible() const noexcept { return toolBarVisible_; }
    void SetToolBarVisible(bool visible);
    int ListButtonWidth() const noexcept { return listButtonWidth_; }

    bool TabVisible(int index) const;
    void SetTabVisible(int index, bool visible);
    bool CloseVisible(int index) const;
    void SetCloseVisible(int index, bool visible);

    int HoverCode() const noexcept { return hoverCode_; }
    int PressState() const noexcept { return pressState_; }
    int ScrollOffset() const noexcept { return scrollOffset_; }

    // The layout as of now.
    TTabStripGeometry Geometry() const;
    // The strip as it paints.
    QImage Render() const;
    // The list button's menu as last built (null before the first press on the list button); it is
    // shown only when it has more than one entry.
    QMenu* ListMenu() const noexcept { return listMenu_.get(); }

    // Sets the active tab without asking or telling anyone, for an owner that moved its tabs
    // around and keeps the same tab active.
    void FollowTabIndex(int index);
    // Asks the owner to close tab index, as a release over its close button does; nothing when the
    // tab shows no close button.
    void CloseTab(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    // Left and Right select the tab before and after the active one.
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Assistive technology hears of the new tabs once the changes of this turn are done.
    void TabsChanged();
    void SelectionChanged(int from);
    void PaintFocusFrame(QPainter& painter, const TTabStripGeometry& g) const;
    void LeftPress(QPoint at, Qt::KeyboardModifiers modifiers);
    void PopupTabList(QPoint at);
    // Where the tab that a list entry named is now: the tab standing for the same object, or,
    // where tabs are captions only, the same place still holding the same caption. -1 when it has
    // gone or its tab is hidden.
    int ListedTabIndex(const QObject* object, int index, const std::string& caption) const;
    void SetHint(const QString& hint);
    void EndForwardedPress(QPoint at, Qt::KeyboardModifiers modifiers);

    TTaxTab& owner_;
    std::vector<std::string> tabs_{"Tab1"};
    int tabIndex_ = 0;
    int rightMargin_ = 2;
    std::string skinFile_;
    int maxTabLength_ = 50;
    bool toolBarVisible_ = true;
    int listButtonWidth_ = kListButtonWidth;
    int hiddenListButtonWidth_ = kListButtonWidth; // restored when the list button is shown again
    QImage skin_;
    int hoverCode_ = codes::kNothing;
    int pressState_ = codes::kPressNone;
    int scrollOffset_ = 0;
    // The tab whose close button the left button went down on; only its release closes it.
    int pressedCloseTab_ = -1;
    std::unique_ptr<QMenu> listMenu_;
    std::vector<std::uint8_t> tabVisibleFlags_;
    std::vector<std::uint8_t> closeVisibleFlags_;
    bool clickPending_ = false;
    bool pressForwarded_ = false;
    bool tabsAnnouncePending_ = false;
    // The focus frame shows once the keyboard brought the focus here or used it here.
    bool focusVisible_ = false;
};

} // namespace qm
