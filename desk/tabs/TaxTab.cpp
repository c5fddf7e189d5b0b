#include "desk/tabs/TaxTab.h"

#include "desk/tabs/TaxTabControlTopPanel.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <utility>

namespace qm {

namespace {

constexpr int kInitialHeight = 80;
// Below the strip the panel keeps a one-pixel frame; the top line is drawn only without a strip.
constexpr int kFrame = 1;

} // namespace

TTaxTab::TTaxTab(QWidget* parent) : TTaxTab(parent, TDeferTopPanel{}) {
    InstallTopPanel();
}

TTaxTab::TTaxTab(QWidget* parent, TDeferTopPanel) : QWidget(parent), color_(240, 240, 240), font_(font()) {
    setMouseTracking(true);
    resize(width(), kInitialHeight);
}

TTaxTab::~TTaxTab() {
    // The strip goes first, while this panel is still whole.
    topPanel_.reset();
}

void TTaxTab::InstallTopPanel() {
    topPanel_ = CreateTopPanel();
    if (topPanel_->parentWidget() != this)
        topPanel_->setParent(this);
    topPanel_->setFont(font_);
    topPanel_->show();
    LayoutTopPanel();
}

std::unique_ptr<TTaxTabControlTopPanel> TTaxTab::CreateTopPanel() {
    return std::make_unique<TTaxTabControlTopPanel>(*this);
}

void TTaxTab::SettingsChanged() {}

void TTaxTab::Change(int tabIndex) {
    if (OnTabActive)
        OnTabActive(*this, tabIndex);
    if (OnChange)
        OnChange(*this);
}

void TTaxTab::TabCloseRequest(int tabIndex) {
    if (OnTabCloseRequest)
        OnTabCloseRequest(*this, tabIndex);
}

int TTaxTab::RightMargin() const noexcept {
    return topPanel_->RightMargin();
}

void TTaxTab::SetRightMargin(int margin) {
    topPanel_->SetRightMargin(margin);
}

void TTaxTab::SetBorderColor(const QColor& color) {
    borderColor_ = color;
    SettingsChanged();
    update();
    topPanel_->update();
}

void TTaxTab::SetColor(const QColor& color) {
    color_ = color;
    update();
}

void TTaxTab::SetFont(const QFont& font) {
    font_ = font;
    topPanel_->setFont(font_);
    topPanel_->update();
}

int TTaxTab::TopPanelHeight() const noexcept {
    return topPanel_ ? topPanel_->height() : 0;
}

void TTaxTab::SetTopPanelHeight(int height) {
    topPanel_->resize(width(), height);
    LayoutTopPanel();
    update();
}

void TTaxTab::LayoutTopPanel() {
    if (!topPanel_ || layingOut_)
        return;
    layingOut_ = true;
    const int stripHeight = topPanel_->height();
    if (topPanel_->geometry() != QRect(0, 0, width(), stripHeight))
        topPanel_->setGeometry(0, 0, width(), stripHeight);
    const QMargins area(kFrame, stripHeight > 0 ? stripHeight : kFrame, kFrame, kFrame);
    if (contentsMargins() != area) {
        setContentsMargins(area);
        // Aligned children follow their parent's resize events; the area they share just changed.
        QResizeEvent again(size(), size());
        QCoreApplication::sendEvent(this, &again);
    }
    layingOut_ = false;
}

bool TTaxTab::event(QEvent* event) {
    if (event->type() == QEvent::CursorChange && topPanel_)
        topPanel_->setCursor(cursor());
    return QWidget::event(event);
}

void TTaxTab::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutTopPanel();
}

void TTaxTab::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int w = width();
    const int h = height();
    const int top = TopPanelHeight();
    painter.fillRect(QRect(0, top, w, h - top), color_);
    painter.setPen(borderColor_);
    painter.drawLine(0, top, 0, h - 1);
    painter.drawLine(0, h - 1, w - 1, h - 1);
    painter.drawLine(w - 1, top, w - 1, h - 1);
    if (top == 0)
        painter.drawLine(0, 0, w - 1, 0);
}

const QObject* TTaxTab::TabObject(int) const {
    return nullptr;
}

bool TTaxTab::AllowTabChange() {
    bool allow = true;
    if (OnChanging)
        OnChanging(*this, allow);
    return allow;
}

void TTaxTab::RaiseClick() {
    if (OnClick)
        OnClick(*this);
}

void TTaxTab::RaiseDblClick() {
    if (OnDblClick)
        OnDblClick(*this);
}

void TTaxTab::RaiseMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at) {
    if (OnMouseDown)
        OnMouseDown(button, modifiers, at.x(), at.y());
}

void TTaxTab::RaiseMouseMove(Qt::KeyboardModifiers modifiers, QPoint at) {
    if (OnMouseMove)
        OnMouseMove(modifiers, at.x(), at.y());
}

void TTaxTab::RaiseMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at) {
    if (OnMouseUp)
        OnMouseUp(button, modifiers, at.x(), at.y());
}

void TTaxTab::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        clickPending_ = true;
    RaiseMouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void TTaxTab::mouseMoveEvent(QMouseEvent* event) {
    RaiseMouseMove(event->modifiers(), event->position().toPoint());
}

void TTaxTab::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && std::exchange(clickPending_, false) && rect().contains(at))
        RaiseClick();
    RaiseMouseUp(event->button(), event->modifiers(), at);
}

void TTaxTab::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        clickPending_ = false;
        RaiseDblClick();
    }
    RaiseMouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

} // namespace qm
