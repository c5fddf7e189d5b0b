#include "login/UserMenu.h"

#include "login/LoginPalette.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

namespace qm {

namespace lp = login_palette;

TUserMenu::TUserMenu(QWidget* parent) : QWidget(parent, Qt::Popup) {
    setMouseTracking(true);
}

void TUserMenu::SetItems(const QStringList& captions) {
    items_ = captions;
    selected_ = -1;
}

void TUserMenu::Popup(const QWidget& anchor) {
    if (items_.isEmpty())
        return;
    selected_ = -1;
    setFixedSize(anchor.width(), kItemHeight * static_cast<int>(items_.size()));
    move(anchor.mapToGlobal(QPoint(0, anchor.height())));
    show();
    setFocus();
}

void TUserMenu::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QFont itemFont = font();
    itemFont.setPointSize(11);
    painter.setFont(itemFont);
    for (int i = 0; i < items_.size(); ++i) {
        const QRect item(0, i * kItemHeight, width(), kItemHeight);
        if (i == selected_) {
            painter.setPen(lp::kFrame);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(item.adjusted(0, 0, -1, -1));
            QLinearGradient gradient(item.topLeft(), item.bottomLeft());
            gradient.setColorAt(0, lp::kSelectedTop);
            gradient.setColorAt(1, lp::kSelectedBottom);
            painter.fillRect(item.adjusted(1, 1, -1, -1), gradient);
            painter.setPen(lp::kHot);
        } else {
            QLinearGradient gradient(item.topLeft(), item.topRight());
            gradient.setColorAt(0, lp::kPanel);
            gradient.setColorAt(1, Qt::white);
            painter.fillRect(item, gradient);
            painter.setPen(lp::kText);
        }
        // A 24 x 24 space at the left stays empty.
        const QRect textRect = item.adjusted(28, 0, -2, 0);
        const QString text = painter.fontMetrics().elidedText(items_[i], Qt::ElideRight, textRect.width());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
}

int TUserMenu::ItemAt(const QPoint& point) const {
    if (!rect().contains(point))
        return -1;
    const int index = point.y() / kItemHeight;
    return index < items_.size() ? index : -1;
}

void TUserMenu::mouseMoveEvent(QMouseEvent* event) {
    const int index = ItemAt(event->position().toPoint());
    if (index != selected_) {
        selected_ = index;
        update();
    }
}

void TUserMenu::mouseReleaseEvent(QMouseEvent* event) {
    const int index = ItemAt(event->position().toPoint());
    if (index >= 0)
        Choose(index);
    else if (!rect().contains(event->position().toPoint()))
        hide();
}

void TUserMenu::keyPressEvent(QKeyEvent* event) {
    const int count = static_cast<int>(items_.size());
    switch (event->key()) {
    case Qt::Key_Down:
        selected_ = count > 0 ? (selected_ + 1) % count : -1;
        update();
        return;
    case Qt::Key_Up:
        selected_ = count > 0 ? (selected_ <= 0 ? count - 1 : selected_ - 1) : -1;
        update();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (selected_ >= 0)
            Choose(selected_);
        return;
    case Qt::Key_Escape:
        hide();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TUserMenu::Choose(int index) {
    hide();
    emit chosen(items_[index]);
}

} // namespace qm
