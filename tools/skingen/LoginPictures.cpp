#include "LoginPictures.h"

#include "Drawing.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace skingen {

namespace {

const QColor kLine{0x44, 0xA2, 0xFF};
const QColor kPale{0xD0, 0xE8, 0xFF};
const QColor kDeep{0x1F, 0x6F, 0xC8};

// A person's head and shoulders inside rect.
QPainterPath Person(const QRectF& rect) {
    const double w = rect.width();
    const double h = rect.height();
    QPainterPath person;
    person.addEllipse(QRectF(rect.left() + w * 0.32, rect.top() + h * 0.12, w * 0.36, h * 0.36));
    QPainterPath shoulders;
    shoulders.moveTo(rect.left() + w * 0.12, rect.bottom());
    shoulders.cubicTo(rect.left() + w * 0.14, rect.top() + h * 0.52, rect.right() - w * 0.14,
                      rect.top() + h * 0.52, rect.right() - w * 0.12, rect.bottom());
    shoulders.closeSubpath();
    return person.united(shoulders);
}

} // namespace

QImage DrawLoginLogo() {
    QImage logo = VerticalGradient(400, 80, QColor(0x5C, 0xAE, 0xFF), kPale);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    // Gentle waves across the banner.
    for (int i = 0; i < 3; ++i) {
        QPainterPath wave;
        const double base = 52.0 + 8.0 * i;
        wave.moveTo(0, base);
        wave.cubicTo(120, base - 22, 260, base + 18, 400, base - 10);
        painter.setPen(QPen(WithAlpha(Qt::white, 90 - 20 * i), 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(wave);
    }
    // The badge: a white disc with a person, a feather leaning against it.
    painter.setPen(QPen(kLine, 2.0));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(16, 10, 60, 60));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kLine);
    painter.drawPath(Person(QRectF(24, 16, 44, 44)));
    QPainterPath vane;
    vane.moveTo(70, 64);
    vane.cubicTo(68, 44, 84, 22, 108, 14);
    vane.cubicTo(106, 38, 92, 58, 70, 64);
    painter.setBrush(kDeep);
    painter.drawPath(vane);
    painter.setPen(QPen(Qt::white, 1.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(74, 60), QPointF(102, 20));
    // Three rounded bars stand for the service's name, kept free of any font.
    painter.setPen(Qt::NoPen);
    painter.setBrush(WithAlpha(Qt::white, 230));
    painter.drawRoundedRect(QRectF(130, 24, 150, 12), 6, 6);
    painter.setBrush(WithAlpha(Qt::white, 150));
    painter.drawRoundedRect(QRectF(130, 44, 210, 8), 4, 4);
    painter.drawRoundedRect(QRectF(130, 58, 120, 8), 4, 4);
    return logo;
}

QImage DrawAccountPicture() {
    QImage picture = VerticalGradient(64, 64, Qt::white, kPale);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kLine);
    painter.drawPath(Person(QRectF(8, 8, 48, 56)));
    return picture;
}

QImage DrawTipPicture(TTipPicture kind) {
    const QColor colour = kind == TTipPicture::Hint    ? QColor(0x6A, 0xB5, 0xFF)
                          : kind == TTipPicture::Right ? QColor(0x2E, 0x9B, 0x3A)
                                                       : QColor(0xF0, 0x5A, 0x5A);
    QImage picture = NewCanvas(16, 16);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    painter.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    switch (kind) {
    case TTipPicture::Hint:
        painter.drawLine(QPointF(8, 7.5), QPointF(8, 12));
        painter.drawPoint(QPointF(8, 4.5));
        break;
    case TTipPicture::Right: {
        QPainterPath tick;
        tick.moveTo(4.5, 8.5);
        tick.lineTo(7, 11);
        tick.lineTo(11.5, 5.5);
        painter.drawPath(tick);
        break;
    }
    case TTipPicture::Wrong:
        painter.drawLine(QPointF(5, 5), QPointF(11, 11));
        painter.drawLine(QPointF(11, 5), QPointF(5, 11));
        break;
    }
    return picture;
}

QImage DrawUserListButton() {
    QImage button = VerticalGradient(22, 22, Qt::white, kPale);
    QPainter painter(&button);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kLine, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(0.5, 0.5, 21, 21), 2, 2);
    QPainterPath arrow;
    arrow.moveTo(6, 9);
    arrow.lineTo(16, 9);
    arrow.lineTo(11, 14.5);
    arrow.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(kDeep);
    painter.drawPath(arrow);
    return button;
}

} // namespace skingen
