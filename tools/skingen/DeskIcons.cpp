#include "DeskIcons.h"

#include "Drawing.h"
#include "Palette.h"

#include <QLinearGradient>
#include <QPainter>

namespace skingen {

namespace {

constexpr int kIconSize = 64;
constexpr double kTileSize = 52.0;
constexpr double kTileRadius = 13.0;
const QColor kSymbol{0xFF, 0xFF, 0xFF};
const QColor kShadow{0x2A, 0x4A, 0x6E};

const TDeskIconInfo kDeskIcons[] = {
    {TDeskIcon::InvoiceSearch, "invoice", QColor(0x4F, 0x86, 0xC6)},
    {TDeskIcon::Forum, "forum", QColor(0x48, 0xA0, 0xA6)},
    {TDeskIcon::HomePage, "home", QColor(0x6C, 0x84, 0xD3)},
    {TDeskIcon::Store, "store", QColor(0xD9, 0x8E, 0x5F)},
    {TDeskIcon::Upgrade, "upgrade", QColor(0x55, 0xA9, 0x7A)},
    {TDeskIcon::Help, "help", QColor(0x8E, 0x7C, 0xC3)},
    {TDeskIcon::Calculator, "calculator", QColor(0x6F, 0x82, 0x99)},
    {TDeskIcon::Calendar, "calendar", QColor(0xD4, 0x70, 0x7A)},
    {TDeskIcon::Login, "login", QColor(0x3F, 0x9B, 0xC9)},
    {TDeskIcon::Register, "register", QColor(0x5E, 0xA8, 0x6B)},
    {TDeskIcon::AccountCard, "account", QColor(0x7A, 0x8C, 0xC8)},
    {TDeskIcon::Password, "password", QColor(0xC9, 0x92, 0x4E)},
    {TDeskIcon::Logout, "logout", QColor(0x8A, 0x93, 0xA3)},
};

const TStoreAppIconInfo kStoreAppIcons[] = {
    {TDeskIcon::Calculator, "app_taxcalc", QColor(0x5A, 0x8F, 0xB8)},
    {TDeskIcon::Calendar, "app_taxdates", QColor(0xC9, 0x7B, 0x8E)},
    {TDeskIcon::InvoiceSearch, "app_invstat", QColor(0x4E, 0x9C, 0x8F)},
    {TDeskIcon::AccountCard, "app_taxnotes", QColor(0xC8, 0xA2, 0x4A)},
};

const TStatusIconInfo kStatusIcons[] = {
    {TStatusIcon::HomePage, "sb_home"},
    {TStatusIcon::Forum, "sb_forum"},
    {TStatusIcon::Help, "sb_help"},
};

QPen SymbolPen(const QColor& colour, double width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Fill(QPainter& painter, const QColor& colour) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
}

void Stroke(QPainter& painter, const QColor& colour, double width) {
    painter.setPen(SymbolPen(colour, width));
    painter.setBrush(Qt::NoBrush);
}

// The symbols below are drawn around the tile's centre, in a box of about 36 x 36 pixels; ink is
// the tile's own colour, used where the symbol needs inner detail.

void InvoiceSearch(QPainter& p, const QColor& ink) {
    // A sheet with a folded corner and three lines of text, a magnifier over its lower right.
    QPainterPath sheet;
    sheet.moveTo(-14.0, -15.0);
    sheet.lineTo(2.0, -15.0);
    sheet.lineTo(9.0, -8.0);
    sheet.lineTo(9.0, 14.0);
    sheet.lineTo(-14.0, 14.0);
    sheet.closeSubpath();
    Fill(p, kSymbol);
    p.drawPath(sheet);
    Fill(p, Mix(ink, kSymbol, 0.45));
    QPainterPath fold;
    fold.moveTo(2.0, -15.0);
    fold.lineTo(2.0, -8.0);
    fold.lineTo(9.0, -8.0);
    fold.closeSubpath();
    p.drawPath(fold);
    Stroke(p, ink, 2.2);
    p.drawLine(QPointF(-9.5, -6.0), QPointF(-2.0, -6.0));
    p.drawLine(QPointF(-9.5, -0.5), QPointF(3.5, -0.5));
    p.drawLine(QPointF(-9.5, 5.0), QPointF(-3.0, 5.0));
    // The lens is filled with the tile's colour so that it reads against the sheet.
    p.setBrush(ink);
    p.setPen(SymbolPen(kSymbol, 3.2));
    p.drawEllipse(QPointF(7.0, 7.0), 7.0, 7.0);
    Stroke(p, kSymbol, 4.0);
    p.drawLine(QPointF(12.5, 12.5), QPointF(17.0, 17.0));
}

void Forum(QPainter& p, const QColor& ink) {
    // Two speech bubbles, the one behind paler.
    QPainterPath back;
    back.addRoundedRect(QRectF(-4.0, -16.0, 21.0, 17.0), 6.0, 6.0);
    QPainterPath backTail;
    backTail.moveTo(8.0, 0.0);
    backTail.lineTo(15.0, 7.0);
    backTail.lineTo(14.0, -1.0);
    backTail.closeSubpath();
    Fill(p, WithAlpha(kSymbol, 0x99));
    p.drawPath(back.united(backTail));

    QPainterPath front;
    front.addRoundedRect(QRectF(-17.0, -7.0, 25.0, 19.0), 7.0, 7.0);
    QPainterPath frontTail;
    frontTail.moveTo(-12.0, 10.0);
    frontTail.lineTo(-15.0, 17.0);
    frontTail.lineTo(-5.0, 11.0);
    frontTail.closeSubpath();
    // A rim in the tile's colour separates the two bubbles.
    p.setPen(QPen(ink, 2.0));
    p.setBrush(kSymbol);
    p.drawPath(front.united(frontTail));
    Fill(p, ink);
    for (const double x : {-10.5, -4.5, 1.5})
        p.drawEllipse(QPointF(x, 2.5), 1.9, 1.9);
}

void HomePage(QPainter& p, const QColor& ink) {
    // A house: roof, walls and a door.
    Fill(p, kSymbol);
    p.drawRoundedRect(QRectF(-11.5, -4.0, 23.0, 19.0), 2.0, 2.0);
    Stroke(p, kSymbol, 3.6);
    QPainterPath roof;
    roof.moveTo(-16.5, -1.5);
    roof.lineTo(0.0, -16.0);
    roof.lineTo(16.5, -1.5);
    p.drawPath(roof);
    Fill(p, kSymbol);
    p.drawRect(QRectF(7.0, -14.0, 4.0, 7.0));
    Fill(p, ink);
    p.drawRoundedRect(QRectF(-3.5, 4.0, 7.0, 11.0), 1.5, 1.5);
}

void Store(QPainter& p, const QColor& ink) {
    // A shopping bag with its handle.
    Stroke(p, kSymbol, 3.0);
    p.drawArc(QRectF(-8.0, -17.0, 16.0, 18.0), 0, 180 * 16);
    p.drawLine(QPointF(-8.0, -8.0), QPointF(-8.0, -4.0));
    p.drawLine(QPointF(8.0, -8.0), QPointF(8.0, -4.0));
    QPainterPath bag;
    bag.moveTo(-14.0, -7.0);
    bag.lineTo(14.0, -7.0);
    bag.lineTo(16.5, 14.0);
    bag.quadTo(16.8, 17.0, 13.5, 17.0);
    bag.lineTo(-13.5, 17.0);
    bag.quadTo(-16.8, 17.0, -16.5, 14.0);
    bag.closeSubpath();
    Fill(p, kSymbol);
    p.drawPath(bag);
    Fill(p, ink);
    p.drawEllipse(QPointF(-8.0, -1.5), 2.0, 2.0);
    p.drawEllipse(QPointF(8.0, -1.5), 2.0, 2.0);
    Stroke(p, ink, 2.2);
    p.drawArc(QRectF(-6.0, 0.5, 12.0, 10.0), 200 * 16, 140 * 16);
}

void Upgrade(QPainter& p, const QColor& ink) {
    // An arrow pointing up in a round badge.
    Fill(p, kSymbol);
    p.drawEllipse(QPointF(0.0, 0.0), 17.0, 17.0);
    Stroke(p, ink, 3.6);
    p.drawLine(QPointF(0.0, 9.5), QPointF(0.0, -8.0));
    QPainterPath head;
    head.moveTo(-7.5, -0.5);
    head.lineTo(0.0, -8.5);
    head.lineTo(7.5, -0.5);
    p.drawPath(head);
}

void Help(QPainter& p, const QColor& ink) {
    // A question mark in a round badge.
    Fill(p, kSymbol);
    p.drawEllipse(QPointF(0.0, 0.0), 17.0, 17.0);
    Stroke(p, ink, 3.6);
    QPainterPath hook;
    hook.arcMoveTo(QRectF(-6.0, -12.5, 12.0, 12.0), 160.0);
    hook.arcTo(QRectF(-6.0, -12.5, 12.0, 12.0), 160.0, -235.0);
    hook.lineTo(0.0, 2.0);
    hook.lineTo(0.0, 4.0);
    p.drawPath(hook);
    Fill(p, ink);
    p.drawEllipse(QPointF(0.0, 10.0), 2.4, 2.4);
}

void Calculator(QPainter& p, const QColor& ink) {
    // A pocket calculator: display and a grid of keys, the last one an accent.
    Fill(p, kSymbol);
    p.drawRoundedRect(QRectF(-13.0, -17.0, 26.0, 34.0), 4.5, 4.5);
    Fill(p, ink);
    p.drawRoundedRect(QRectF(-9.0, -13.0, 18.0, 8.0), 2.0, 2.0);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            const bool accent = row == 2 && column == 2;
            Fill(p, accent ? Mix(ink, QColor(0xE0, 0x96, 0x5A), 0.8) : Mix(ink, kSymbol, 0.25));
            p.drawRoundedRect(QRectF(-9.0 + column * 6.5, -1.0 + row * 5.5, 5.0, 4.0), 1.2, 1.2);
        }
}

void Calendar(QPainter& p, const QColor& ink) {
    // A calendar sheet: a header band under two rings, day cells, one of them marked.
    Fill(p, kSymbol);
    p.drawRoundedRect(QRectF(-16.0, -12.0, 32.0, 29.0), 4.5, 4.5);
    Fill(p, Mix(ink, QColor(0x00, 0x00, 0x00), 0.12));
    p.drawPath(RoundedTop(QRectF(-16.0, -12.0, 32.0, 9.0), 4.5));
    p.setPen(QPen(Mix(ink, QColor(0x00, 0x00, 0x00), 0.2), 1.2));
    p.setBrush(kSymbol);
    p.drawRoundedRect(QRectF(-10.0, -17.0, 4.0, 9.0), 2.0, 2.0);
    p.drawRoundedRect(QRectF(6.0, -17.0, 4.0, 9.0), 2.0, 2.0);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column) {
            const QRectF cell(-12.0 + column * 6.5, 0.5 + row * 5.0, 4.5, 3.2);
            Fill(p, Mix(ink, kSymbol, 0.45));
            if (row == 1 && column == 2) {
                Fill(p, ink);
                p.drawRoundedRect(cell.adjusted(-1.0, -1.0, 1.0, 1.0), 1.5, 1.5);
            } else {
                p.drawRoundedRect(cell, 1.0, 1.0);
            }
        }
}

// A head and shoulders, the figure of the account icons, centred on (x, y).
void Person(QPainter& p, double x, double y, double scale) {
    Fill(p, kSymbol);
    p.drawEllipse(QPointF(x, y - 7.0 * scale), 6.5 * scale, 6.5 * scale);
    QPainterPath shoulders;
    shoulders.moveTo(x - 12.0 * scale, y + 13.0 * scale);
    shoulders.cubicTo(x - 12.0 * scale, y + 2.0 * scale, x - 6.0 * scale, y + 1.0 * scale, x,
                      y + 1.0 * scale);
    shoulders.cubicTo(x + 6.0 * scale, y + 1.0 * scale, x + 12.0 * scale, y + 2.0 * scale, x + 12.0 * scale,
                      y + 13.0 * scale);
    shoulders.closeSubpath();
    p.drawPath(shoulders);
}

// A round badge in the lower right with the tile's colour as its rim, for the small sign that
// tells the person icons apart.
void Badge(QPainter& p, const QColor& ink) {
    p.setPen(QPen(ink, 2.0));
    p.setBrush(kSymbol);
    p.drawEllipse(QPointF(9.5, 9.0), 8.0, 8.0);
}

void Login(QPainter& p, const QColor& ink) {
    // A person, an arrow pointing in at the right.
    Person(p, -5.0, -1.0, 1.0);
    Badge(p, ink);
    Stroke(p, ink, 2.4);
    p.drawLine(QPointF(5.5, 9.0), QPointF(13.0, 9.0));
    QPainterPath head;
    head.moveTo(10.0, 5.5);
    head.lineTo(13.5, 9.0);
    head.lineTo(10.0, 12.5);
    p.drawPath(head);
}

void Register(QPainter& p, const QColor& ink) {
    // A person with a plus sign: a new account.
    Person(p, -5.0, -1.0, 1.0);
    Badge(p, ink);
    Stroke(p, ink, 2.6);
    p.drawLine(QPointF(9.5, 4.5), QPointF(9.5, 13.5));
    p.drawLine(QPointF(5.0, 9.0), QPointF(14.0, 9.0));
}

void AccountCard(QPainter& p, const QColor& ink) {
    // A card with a portrait on the left and lines of details on the right.
    Fill(p, kSymbol);
    p.drawRoundedRect(QRectF(-17.0, -12.0, 34.0, 25.0), 4.0, 4.0);
    p.save();
    p.setClipRect(QRectF(-14.0, -8.0, 13.0, 17.0));
    Fill(p, Mix(ink, kSymbol, 0.3));
    p.drawRoundedRect(QRectF(-14.0, -8.0, 13.0, 17.0), 2.0, 2.0);
    Fill(p, kSymbol);
    p.drawEllipse(QPointF(-7.5, -2.5), 3.3, 3.3);
    p.drawEllipse(QPointF(-7.5, 8.5), 6.0, 5.0);
    p.restore();
    Stroke(p, ink, 2.2);
    p.drawLine(QPointF(2.5, -4.5), QPointF(12.5, -4.5));
    p.drawLine(QPointF(2.5, 0.5), QPointF(12.5, 0.5));
    p.drawLine(QPointF(2.5, 5.5), QPointF(8.5, 5.5));
}

void Password(QPainter& p, const QColor& ink) {
    // A key lying on a slant: a round bow with a hole, the shaft and two bits.
    p.save();
    p.rotate(-40.0);
    Fill(p, kSymbol);
    p.drawEllipse(QPointF(-9.0, 0.0), 8.5, 8.5);
    p.drawRoundedRect(QRectF(-2.0, -2.6, 20.0, 5.2), 1.5, 1.5);
    p.drawRect(QRectF(9.0, 1.0, 3.4, 6.5));
    p.drawRect(QRectF(14.2, 1.0, 3.4, 5.0));
    Fill(p, ink);
    p.drawEllipse(QPointF(-11.0, 0.0), 3.0, 3.0);
    p.restore();
}

void Logout(QPainter& p, const QColor& ink) {
    // An open door with an arrow leaving through it.
    Fill(p, kSymbol);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(-16.0, -16.0, 22.0, 32.0), 3.0, 3.0);
    QPainterPath opening;
    opening.addRect(QRectF(-11.0, -11.0, 12.0, 22.0));
    p.drawPath(frame.subtracted(opening));
    QPainterPath leaf;
    leaf.moveTo(-11.0, -11.0);
    leaf.lineTo(-3.0, -7.0);
    leaf.lineTo(-3.0, 15.0);
    leaf.lineTo(-11.0, 11.0);
    leaf.closeSubpath();
    Fill(p, WithAlpha(kSymbol, 0xB0));
    p.drawPath(leaf);
    Stroke(p, kSymbol, 3.6);
    p.drawLine(QPointF(0.0, 0.0), QPointF(15.0, 0.0));
    QPainterPath head;
    head.moveTo(9.5, -6.0);
    head.lineTo(15.5, 0.0);
    head.lineTo(9.5, 6.0);
    p.drawPath(head);
    Fill(p, ink);
    p.drawEllipse(QPointF(-5.5, 3.0), 1.3, 1.3);
}

void DrawSymbol(QPainter& painter, TDeskIcon icon, const QColor& ink) {
    switch (icon) {
    case TDeskIcon::InvoiceSearch:
        return InvoiceSearch(painter, ink);
    case TDeskIcon::Forum:
        return Forum(painter, ink);
    case TDeskIcon::HomePage:
        return HomePage(painter, ink);
    case TDeskIcon::Store:
        return Store(painter, ink);
    case TDeskIcon::Upgrade:
        return Upgrade(painter, ink);
    case TDeskIcon::Help:
        return Help(painter, ink);
    case TDeskIcon::Calculator:
        return Calculator(painter, ink);
    case TDeskIcon::Calendar:
        return Calendar(painter, ink);
    case TDeskIcon::Login:
        return Login(painter, ink);
    case TDeskIcon::Register:
        return Register(painter, ink);
    case TDeskIcon::AccountCard:
        return AccountCard(painter, ink);
    case TDeskIcon::Password:
        return Password(painter, ink);
    case TDeskIcon::Logout:
        return Logout(painter, ink);
    }
}

// A soft shadow: rounded rectangles growing outwards with falling opacity.
void Shadow(QPainter& painter, const QRectF& tile, double drop, int layers) {
    painter.setPen(Qt::NoPen);
    for (int i = layers; i >= 1; --i) {
        painter.setBrush(WithAlpha(kShadow, 9));
        painter.drawRoundedRect(tile.translated(0.0, drop).adjusted(-i * 0.8, -i * 0.4, i * 0.8, i * 0.9),
                                kTileRadius + i * 0.8, kTileRadius + i * 0.8);
    }
}

// A rounded tile in its colour with the white symbol on it.
QImage DrawTile(TDeskIcon symbol, const QColor& tileColour, bool hovered, int scale = 1) {
    QImage icon = NewCanvas(kIconSize, kIconSize, scale);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF tile((kIconSize - kTileSize) / 2.0, hovered ? 3.0 : 4.0, kTileSize, kTileSize);
    Shadow(painter, tile, hovered ? 3.0 : 2.0, hovered ? 6 : 4);

    const QColor white(0xFF, 0xFF, 0xFF);
    QLinearGradient face(tile.topLeft(), tile.bottomLeft());
    face.setColorAt(0.0, Mix(tileColour, white, hovered ? 0.36 : 0.24));
    face.setColorAt(1.0, Mix(tileColour, white, hovered ? 0.10 : 0.0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(face);
    painter.drawRoundedRect(tile, kTileRadius, kTileRadius);
    // A faint light rim along the top makes the tile look slightly raised.
    painter.setPen(QPen(WithAlpha(white, hovered ? 0x70 : 0x48), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), kTileRadius - 0.5, kTileRadius - 0.5);

    painter.translate(tile.center());
    DrawSymbol(painter, symbol, Mix(tileColour, white, hovered ? 0.06 : 0.0));
    return icon;
}

} // namespace

std::span<const TDeskIconInfo> DeskIcons() {
    return kDeskIcons;
}

std::span<const TStoreAppIconInfo> StoreAppIcons() {
    return kStoreAppIcons;
}

std::span<const TStatusIconInfo> StatusIcons() {
    return kStatusIcons;
}

QImage DrawDeskIcon(const TDeskIconInfo& info, bool hovered, int scale) {
    return DrawTile(info.icon, info.tile, hovered, scale);
}

QImage DrawStoreAppIcon(const TStoreAppIconInfo& info, TStoreAppLook look) {
    switch (look) {
    case TStoreAppLook::Small:
        return DrawTile(info.symbol, info.tile, false)
            .scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    case TStoreAppLook::Large:
        break;
    case TStoreAppLook::NotInstalled:
        return DrawTile(info.symbol, Mix(info.tile, QColor(0xA9, 0xB2, 0xBD), 0.85), false);
    }
    return DrawTile(info.symbol, info.tile, false);
}

QImage DrawStatusIcon(const TStatusIconInfo& info, bool hovered, int scale) {
    QImage icon = NewCanvas(16, 16, scale);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = hovered ? kGlyphStrong : kGlyph;
    Stroke(painter, ink, 1.4);
    switch (info.icon) {
    case TStatusIcon::HomePage: {
        QPainterPath roof;
        roof.moveTo(1.5, 8.0);
        roof.lineTo(8.0, 2.0);
        roof.lineTo(14.5, 8.0);
        painter.drawPath(roof);
        painter.drawLine(QPointF(3.8, 7.0), QPointF(3.8, 14.0));
        painter.drawLine(QPointF(12.2, 7.0), QPointF(12.2, 14.0));
        painter.drawLine(QPointF(3.8, 14.0), QPointF(12.2, 14.0));
        painter.drawLine(QPointF(8.0, 10.5), QPointF(8.0, 14.0));
        break;
    }
    case TStatusIcon::Forum: {
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(1.5, 2.0, 13.0, 9.5), 3.0, 3.0);
        QPainterPath tail;
        tail.moveTo(4.0, 11.0);
        tail.lineTo(3.5, 14.5);
        tail.lineTo(8.0, 11.0);
        tail.closeSubpath();
        painter.drawPath(bubble.united(tail));
        Fill(painter, ink);
        for (const double x : {5.0, 8.0, 11.0})
            painter.drawEllipse(QPointF(x, 6.75), 0.9, 0.9);
        break;
    }
    case TStatusIcon::Help: {
        painter.drawEllipse(QPointF(8.0, 8.0), 6.6, 6.6);
        QPainterPath hook;
        hook.arcMoveTo(QRectF(6.0, 3.8, 4.0, 4.0), 160.0);
        hook.arcTo(QRectF(6.0, 3.8, 4.0, 4.0), 160.0, -235.0);
        hook.lineTo(8.0, 9.2);
        painter.drawPath(hook);
        Fill(painter, ink);
        painter.drawEllipse(QPointF(8.0, 11.6), 0.9, 0.9);
        break;
    }
    }
    return icon;
}

} // namespace skingen
