#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>
#include <functional>
#include <memory>

namespace qm {

class TTaxTab;
class TTaxTabControlTopPanel;

// Mouse handlers in the panel's coordinates (the button is the one that changed).
using TTabMouseButtonHandler =
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y)>;
using TTabMouseMoveHandler = std::function<void(Qt::KeyboardModifiers modifiers, int x, int y)>;
using TTabNotify = std::function<void(TTaxTab& sender)>;
using TTabActiveNotify = std::function<void(TTaxTab& sender, int tabIndex)>;
using TTabChangingEvent = std::function<void(TTaxTab& sender, bool& allowChange)>;

// A framed panel with a skinned tab strip along its top edge; its other children are laid out
// below the strip, inside the one-pixel frame. Clicks on the strip count as clicks on the panel,
// and a left press on the strip (and the moves and release that follow it) reaches the panel's
// mouse handlers too, so an owner can drag its window by the strip.
class TTaxTab : public QWidget {
    Q_OBJECT

public:
    explicit TTaxTab(QWidget* parent = nullptr);
    ~TTaxTab() override;

    TTaxTabControlTopPanel& TopPanel() const noexcept { return *topPanel_; }

    int RightMargin() const noexcept;
    void SetRightMargin(int margin);
    QColor BorderColor() const noexcept { return borderColor_; }
    void SetBorderColor(const QColor& color);
    // The fill below the strip.
    QColor Color() const noexcept { return color_; }
    void SetColor(const QColor& color);
    // The strip's caption font.
    const QFont& Font() const noexcept { return font_; }
    void SetFont(const QFont& font);

    TTabActiveNotify OnTabActive;
    TTabNotify OnChange;
    TTabChangingEvent OnChanging;
    TTabNotify OnClick;
    TTabNotify OnDblClick;
    TTabMouseButtonHandler OnMouseDown;
    TTabMouseMoveHandler OnMouseMove;
    TTabMouseButtonHandler OnMouseUp;
    // A close button of the strip was released over (the tab's list index). The page control
    // closes the page itself; this is raised for any owner.
    std::function<void(TTaxTab& sender, int tabIndex)> OnTabCloseRequest;

protected:
    // For subclasses that create their own strip: they call InstallTopPanel() in their constructor,
    // where their CreateTopPanel override is in effect.
    struct TDeferTopPanel {};
    TTaxTab(QWidget* parent, TDeferTopPanel);
    void InstallTopPanel();

    virtual std::unique_ptr<TTaxTabControlTopPanel> CreateTopPanel();
    // Runs after a setting that the look depends on has changed.
    virtual void SettingsChanged();
    // Runs after the strip's active tab has changed: raises OnTabActive, then OnChange.
    virtual void Change(int tabIndex);
    // The strip's close request for a tab; the base raises OnTabCloseRequest.
    virtual void TabCloseRequest(int tabIndex);
    // What the strip's tab stands for, so that the tab is found again after the tab list changed;
    // null where tabs are captions only (the base).
    virtual const QObject* TabObject(int tabIndex) const;

    // Sets the strip's height (0 hides it and the frame gets a top line) and lays the children
    // out again.
    void SetTopPanelHeight(int height);
    int TopPanelHeight() const noexcept;

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    friend class TTaxTabControlTopPanel;

    // Called by the strip.
    bool AllowTabChange();
    void RaiseClick();
    void RaiseDblClick();
    void RaiseMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at);
    void RaiseMouseMove(Qt::KeyboardModifiers modifiers, QPoint at);
    void RaiseMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at);

    // Keeps the strip across the top and the children's area below it.
    void LayoutTopPanel();

    std::unique_ptr<TTaxTabControlTopPanel> topPanel_;
    QColor borderColor_{Qt::black};
    QColor color_;
    QFont font_;
    bool clickPending_ = false;
    bool layingOut_ = false;
};

} // namespace qm
