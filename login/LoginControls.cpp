#include "login/LoginControls.h"

#include "login/LoginPalette.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace qm {

bool IsActivationKey(const QKeyEvent& key) {
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter || key.key() == Qt::Key_Space;
}

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    SetHot(false);
}

void TLinkLabel::SetHot(bool hot) {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, hot ? login_palette::kHot : login_palette::kFrame);
    setPalette(colours);
    QFont lineFont = font();
    lineFont.setUnderline(hot);
    setFont(lineFont);
}

void TLinkLabel::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    SetHot(true);
    QLabel::enterEvent(event);
}

void TLinkLabel::leaveEvent(QEvent* event) {
    hovered_ = false;
    SetHot(hasFocus());
    QLabel::leaveEvent(event);
}

void TLinkLabel::focusInEvent(QFocusEvent* event) {
    SetHot(true);
    QLabel::focusInEvent(event);
}

void TLinkLabel::focusOutEvent(QFocusEvent* event) {
    SetHot(hovered_);
    QLabel::focusOutEvent(event);
}

void TLinkLabel::keyPressEvent(QKeyEvent* event) {
    if (!IsActivationKey(*event)) {
        QLabel::keyPressEvent(event);
        return;
    }
    event->accept();
    Activate();
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Activate();
    QLabel::mouseReleaseEvent(event);
}

TPictureButton::TPictureButton(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void TPictureButton::keyPressEvent(QKeyEvent* event) {
    if (!IsActivationKey(*event)) {
        QLabel::keyPressEvent(event);
        return;
    }
    event->accept();
    Activate();
}

void TPictureButton::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TPictureButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !pressed_) {
        pressed_ = true;
        move(pos() + QPoint(1, 1));
    }
    QLabel::mousePressEvent(event);
}

void TPictureButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && pressed_) {
        pressed_ = false;
        move(pos() - QPoint(1, 1));
        if (rect().contains(event->position().toPoint()))
            Activate();
    }
    QLabel::mouseReleaseEvent(event);
}

TPaintArea::TPaintArea(QWidget* parent, TPaint paint) : QWidget(parent), paint_(std::move(paint)) {}

void TPaintArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint_(painter, rect());
}

} // namespace qm
