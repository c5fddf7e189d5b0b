#include "TabSkin.h"

#include "Drawing.h"
#include "Palette.h"

#include <QPainter>
#include <vector>

namespace skingen {

namespace {

// Every piece of a tab is 20 pixels wide and as high as the strip; the middle is one column that
// the strip stretches.
constexpr int kPieceWidth = 20;
constexpr int kPieceHeight = kStripHeight;
// The strip's bottom line; the active tab leaves it open towards its page.
constexpr int kBaseline = kPieceHeight - 1;
// A tab's body starts this far into its left end piece and ends this far before the right end of
// its right end piece, so two neighbours in a junction piece keep a gap of two pixels.
constexpr int kTabInset = 11;
constexpr int kTabTop = 3;
constexpr double kCornerRadius = 5.0;
// The close and list buttons are 16 x 16 and sit on rows 4 to 19 of the strip.
constexpr int kButtonSize = 16;
constexpr int kButtonRow = 4;

enum class TTabState { Normal, Hover, Active };

struct TTabLook {
    QColor outline;
    QColor bodyTop;
    QColor bodyBottom;
};

TTabLook LookOf(TTabState state) {
    switch (state) {
    case TTabState::Normal:
        return {QColor(0xB9, 0xC9, 0xDA), QColor(0xF0, 0xF4, 0xF9), QColor(0xE2, 0xEA, 0xF3)};
    case TTabState::Hover:
        return {kFrame, QColor(0xFD, 0xFE, 0xFF), QColor(0xEE, 0xF4, 0xFA)};
    case TTabState::Active:
        break;
    }
    return {kFrame, QColor(0xFF, 0xFF, 0xFF), kPage};
}

QColor BodyRow(const TTabLook& look, int row) {
    const int first = kTabTop + 1;
    return Mix(look.bodyTop, look.bodyBottom, static_cast<double>(row - first) / (kBaseline - 1 - first));
}

// One tab's body between two x positions of the picture being drawn; either end may lie outside it.
struct TTabSpan {
    double left;
    double right;
    TTabState state;
};

// A piece of the strip: its background with the given tabs drawn over it. Pieces drawn by this one
// routine agree pixel for pixel wherever they show the same part of a tab.
QImage DrawStripPart(int width, const std::vector<TTabSpan>& spans) {
    QImage part = NewCanvas(width, kPieceHeight);
    for (int y = 0; y < kPieceHeight; ++y)
        for (int x = 0; x < width; ++x)
            part.setPixelColor(x, y, StripRowColour(y));

    QImage openBaseline(width, kPieceHeight, QImage::Format_Alpha8);
    openBaseline.fill(0);
    for (const TTabSpan& span : spans) {
        const TTabLook look = LookOf(span.state);
        // The sides run past the bottom edge so that only the top corners are round.
        const QPainterPath outer =
            RoundedTop(QRectF(span.left, kTabTop, span.right - span.left, kPieceHeight + 4), kCornerRadius);
        const QPainterPath inner =
            RoundedTop(QRectF(span.left + 1, kTabTop + 1, span.right - span.left - 2, kPieceHeight + 4),
                       kCornerRadius - 1);
        Blend(part, Coverage(outer, width, kPieceHeight), [&](int) { return look.outline; });
        const QImage body = Coverage(inner, width, kPieceHeight);
        Blend(part, body, [&](int row) { return BodyRow(look, row); });
        if (span.state == TTabState::Active)
            openBaseline = body;
    }
    // The bottom line runs under every tab except the active one, which opens into its page.
    for (int x = 0; x < width; ++x)
        if (openBaseline.constScanLine(kBaseline)[x] != 255)
            part.setPixelColor(x, kBaseline, kFrame);
    return part;
}

QImage LeftEnd(TTabState state) {
    return DrawStripPart(kPieceWidth, {{kTabInset, 200.0, state}});
}

QImage RightEnd(TTabState state) {
    return DrawStripPart(kPieceWidth, {{-180.0, kPieceWidth - kTabInset, state}});
}

QImage Junction(TTabState left, TTabState right) {
    return DrawStripPart(kPieceWidth, {{-180.0, kPieceWidth - kTabInset, left}, {kTabInset, 200.0, right}});
}

QImage Middle(TTabState state) {
    return DrawStripPart(1, {{-100.0, 100.0, state}});
}

QImage Column(const QColor& colour) {
    QImage column = NewCanvas(1, kPieceHeight);
    column.fill(colour);
    return column;
}

QImage ButtonGround(const std::vector<TTabSpan>& spans) {
    return DrawStripPart(kButtonSize, spans).copy(0, kButtonRow, kButtonSize, kButtonSize);
}

enum class TButtonLook { OnNormalTab, OnHoverTab, OnActiveTab, Hovered, Pressed };

void DrawCross(QPainter& painter, const QColor& colour, double width) {
    QPen pen(colour, width, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    painter.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    painter.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
}

QImage CloseButton(TButtonLook look) {
    TTabState ground = TTabState::Normal;
    if (look == TButtonLook::OnActiveTab)
        ground = TTabState::Active;
    else if (look != TButtonLook::OnNormalTab)
        ground = TTabState::Hover;
    QImage button = ButtonGround({{-100.0, 100.0, ground}});

    QPainter painter(&button);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (look) {
    case TButtonLook::OnNormalTab:
        DrawCross(painter, kGlyphQuiet, 1.5);
        break;
    case TButtonLook::OnHoverTab:
        DrawCross(painter, kGlyph, 1.5);
        break;
    case TButtonLook::OnActiveTab:
        DrawCross(painter, kGlyph, 1.6);
        break;
    case TButtonLook::Hovered:
    case TButtonLook::Pressed:
        painter.setPen(Qt::NoPen);
        painter.setBrush(look == TButtonLook::Hovered ? kCloseRed : kCloseRedPressed);
        painter.drawEllipse(QPointF(8.0, 8.0), 7.0, 7.0);
        DrawCross(painter, Qt::white, 1.6);
        break;
    }
    return button;
}

enum class TListLook { Normal, Hovered, Pressed };

QImage ListButton(TListLook look) {
    QImage button = ButtonGround({});
    QPainter painter(&button);
    painter.setRenderHint(QPainter::Antialiasing);
    if (look != TListLook::Normal) {
        painter.setPen(QPen(look == TListLook::Pressed ? kFrame : QColor(0xB9, 0xC9, 0xDA), 1.0));
        painter.setBrush(look == TListLook::Pressed ? QColor(0xCB, 0xDA, 0xEA) : QColor(0xFA, 0xFC, 0xFE));
        painter.drawRoundedRect(QRectF(0.5, 0.5, 15.0, 15.0), 3.0, 3.0);
    }
    const QColor ink = look == TListLook::Normal ? kGlyph : kGlyphStrong;
    painter.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap));
    for (const double y : {4.75, 8.0, 11.25}) {
        painter.drawPoint(QPointF(4.25, y));
        painter.drawLine(QPointF(7.0, y), QPointF(11.75, y));
    }
    return button;
}

void Place(QImage& skin, const QImage& piece, int x, int y) {
    QPainter painter(&skin);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(x, y, piece);
}

} // namespace

QColor StripRowColour(int row) {
    if (row >= kBaseline)
        return kFrame;
    return Mix(kStripTop, kStripBottom, static_cast<double>(row) / (kBaseline - 1));
}

QImage DrawTabSkin() {
    QImage skin(kTabSkinWidth, kTabSkinHeight, QImage::Format_RGB32);
    skin.fill(kSkinFiller);

    using S = TTabState;
    Place(skin, LeftEnd(S::Normal), 0, 0);
    Place(skin, RightEnd(S::Normal), 22, 0);
    Place(skin, LeftEnd(S::Hover), 44, 0);
    Place(skin, RightEnd(S::Hover), 66, 0);
    Place(skin, LeftEnd(S::Active), 88, 0);
    Place(skin, RightEnd(S::Active), 110, 0);
    Place(skin, Junction(S::Normal, S::Normal), 132, 0);
    Place(skin, Junction(S::Normal, S::Hover), 154, 0);
    Place(skin, Junction(S::Hover, S::Normal), 176, 0);
    Place(skin, Junction(S::Normal, S::Active), 198, 0);
    Place(skin, Junction(S::Active, S::Normal), 220, 0);
    Place(skin, Junction(S::Hover, S::Active), 242, 0);
    Place(skin, Junction(S::Active, S::Hover), 264, 0);
    Place(skin, Middle(S::Normal), 286, 0);
    Place(skin, Middle(S::Hover), 289, 0);
    Place(skin, Middle(S::Active), 292, 0);
    // The strip background; its top pixel is also the colour of the page control.
    Place(skin, DrawStripPart(1, {}), 295, 0);
    // The frame colour is read from this one pixel.
    skin.setPixelColor(298, 0, kFrame);
    Place(skin, Column(kPage), 301, 0);

    constexpr int kButtonTop = 50;
    Place(skin, CloseButton(TButtonLook::OnNormalTab), 0, kButtonTop);
    Place(skin, CloseButton(TButtonLook::OnHoverTab), 18, kButtonTop);
    Place(skin, CloseButton(TButtonLook::OnActiveTab), 36, kButtonTop);
    Place(skin, CloseButton(TButtonLook::Hovered), 54, kButtonTop);
    Place(skin, CloseButton(TButtonLook::Pressed), 72, kButtonTop);
    Place(skin, ListButton(TListLook::Normal), 288, kButtonTop);
    Place(skin, ListButton(TListLook::Hovered), 306, kButtonTop);
    Place(skin, ListButton(TListLook::Pressed), 324, kButtonTop);
    return skin;
}

} // namespace skingen
