#include "login/LoginControls.h"

#include "login/LoginPalette.h"

#include <QMouseEvent>
#include <QPainter>

namespace qm {

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
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
    SetHot(true);
    QLabel::enterEvent(event);
}

void TLinkLabel::leaveEvent(QEvent* event) {
    SetHot(false);
    QLabel::leaveEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

TPictureButton::TPictureButton(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
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
            emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

TPaintArea::TPaintArea(QWidget* parent, TPaint paint) : QWidget(parent), paint_(std::move(paint)) {}

void TPaintArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint_(painter, rect());
}

} // namespace qm
