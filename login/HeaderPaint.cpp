#include "login/HeaderPaint.h"

#include "login/LoginPalette.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

namespace qm {

namespace lp = login_palette;

namespace {

void FillHorizontal(QPainter& painter, const QRect& rect, const QColor& left, const QColor& right) {
    QLinearGradient gradient(rect.topLeft(), rect.topRight());
    gradient.setColorAt(0, left);
    gradient.setColorAt(1, right);
    painter.fillRect(rect, gradient);
}

void FillBackground(QPainter& painter, const QRect& area) {
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    gradient.setColorAt(0, lp::kPanel);
    gradient.setColorAt(1, Qt::white);
    painter.fillRect(area, gradient);
}

// A band of the given height whose left half runs from the line colour to white and right half back.
void PaintBand(QPainter& painter, const QRect& area, int top, int height) {
    const int half = area.width() / 2;
    FillHorizontal(painter, QRect(area.left(), top, half, height), lp::kFrame, Qt::white);
    FillHorizontal(painter, QRect(area.left() + half, top, area.width() - half, height), Qt::white,
                   lp::kFrame);
}

// The 1-pixel bottom line: white at both ends, the line colour in the middle.
void PaintBottomLine(QPainter& painter, const QRect& area) {
    const int half = area.width() / 2;
    const int y = area.bottom();
    FillHorizontal(painter, QRect(area.left(), y, half, 1), Qt::white, lp::kFrame);
    FillHorizontal(painter, QRect(area.left() + half, y, area.width() - half, 1), lp::kFrame, Qt::white);
}

void PaintOutline(QPainter& painter, const QRect& rect, int margin) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(lp::kFrame, 1));
    painter.setBrush(lp::kField);
    painter.drawRoundedRect(rect.adjusted(-margin, -margin, margin, margin), 2, 2);
    painter.restore();
}

} // namespace

void PaintFormFrame(QPainter& painter, const QRect& client) {
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(lp::kFrame);
    const int w = client.width();
    const int h = client.height();
    painter.drawRect(client.left(), client.top(), w, 2);
    painter.drawRect(client.left(), client.bottom() - 1, w, 2);
    painter.drawRect(client.left(), client.top(), 2, h);
    painter.drawRect(client.right() - 1, client.top(), 2, h);
    painter.restore();
}

void PaintLoginHeader(QPainter& painter, const QRect& area, const QRect& userBox, const QRect& passwordBox) {
    FillBackground(painter, area);
    PaintBand(painter, area, area.top(), 5);
    PaintBottomLine(painter, area);
    PaintOutline(painter, userBox, 5);
    PaintOutline(painter, passwordBox, 5);
}

void PaintRegisterHeader(QPainter& painter, const QRect& area, const QPixmap& accountPicture) {
    FillBackground(painter, area);
    const int side = 42;
    const QRect square(area.left() + 8, area.top() + (56 - side) / 2, side, side);
    if (!accountPicture.isNull())
        painter.drawPixmap(square, accountPicture);
    painter.save();
    painter.setPen(QPen(lp::kFrame, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(square.adjusted(-2, -2, 2, 2), 2, 2);
    painter.restore();
    PaintBand(painter, area, area.top() + 50, 5);
    PaintBottomLine(painter, area);
}

} // namespace qm
