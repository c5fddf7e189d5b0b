#include "AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <vector>

namespace skingen {

namespace {

// Everything below is in a 256 x 256 box.
constexpr double kBox = 256.0;
const QColor kTileTop{0x5B, 0x93, 0xD3};
const QColor kTileBottom{0x2F, 0x5E, 0x9B};
const QColor kPaper{0xFF, 0xFF, 0xFF};
const QColor kFold{0xC9, 0xD8, 0xEA};
const QColor kLines{0x7C, 0x9C, 0xC4};
const QColor kSeal{0xD2, 0x4B, 0x3E};

struct TPolygon {
    std::vector<QPointF> points;
    QColor fill;
};

struct TLine {
    QPointF from, to;
    QColor colour;
    double width;
};

const TPolygon kSheet{{{72, 48}, {158, 48}, {190, 80}, {190, 208}, {72, 208}}, kPaper};
const TPolygon kSheetFold{{{158, 48}, {158, 80}, {190, 80}}, kFold};
const TLine kTextLines[] = {{{92, 96}, {140, 96}, kLines, 10},
                            {{92, 124}, {170, 124}, kLines, 10},
                            {{92, 152}, {150, 152}, kLines, 10}};
const QPointF kSealCentre{176, 184};
constexpr double kSealRadius = 38;
const TLine kSealTick[] = {{{158, 186}, {171, 199}, kPaper, 11}, {{171, 199}, {196, 170}, kPaper, 11}};
constexpr double kTileInset = 12, kTileRadius = 52;

std::string Hex(const QColor& colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.red(), colour.green(), colour.blue());
    return text;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string SvgPolygon(const TPolygon& polygon) {
    std::string points;
    for (const QPointF& point : polygon.points) {
        points += (points.empty() ? "" : " ") + Number(point.x()) + "," + Number(point.y());
    }
    return "  <polygon points=\"" + points + "\" fill=\"" + Hex(polygon.fill) + "\"/>\n";
}

std::string SvgLine(const TLine& line) {
    return "  <line x1=\"" + Number(line.from.x()) + "\" y1=\"" + Number(line.from.y()) + "\" x2=\"" +
           Number(line.to.x()) + "\" y2=\"" + Number(line.to.y()) + "\" stroke=\"" + Hex(line.colour) +
           "\" stroke-width=\"" + Number(line.width) + "\" stroke-linecap=\"round\"/>\n";
}

void PaintPolygon(QPainter& painter, const TPolygon& polygon) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(polygon.fill);
    painter.drawPolygon(polygon.points.data(), static_cast<int>(polygon.points.size()));
}

void PaintLine(QPainter& painter, const TLine& line) {
    painter.setPen(QPen(line.colour, line.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLine(line.from, line.to);
}

} // namespace

QImage DrawAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / kBox, size / kBox);

    QLinearGradient tile(0, kTileInset, 0, kBox - kTileInset);
    tile.setColorAt(0, kTileTop);
    tile.setColorAt(1, kTileBottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    const double side = kBox - 2 * kTileInset;
    painter.drawRoundedRect(QRectF(kTileInset, kTileInset, side, side), kTileRadius, kTileRadius);

    PaintPolygon(painter, kSheet);
    PaintPolygon(painter, kSheetFold);
    for (const TLine& line : kTextLines) {
        PaintLine(painter, line);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(kSeal);
    painter.drawEllipse(kSealCentre, kSealRadius, kSealRadius);
    for (const TLine& line : kSealTick) {
        PaintLine(painter, line);
    }
    return image;
}

std::string AppIconSvg() {
    const double side = kBox - 2 * kTileInset;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                      "viewBox=\"0 0 256 256\">\n"
                      "  <defs>\n"
                      "    <linearGradient id=\"tile\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
                      "      <stop offset=\"0\" stop-color=\"" +
                      Hex(kTileTop) + "\"/>\n      <stop offset=\"1\" stop-color=\"" + Hex(kTileBottom) +
                      "\"/>\n    </linearGradient>\n  </defs>\n";
    svg += "  <rect x=\"" + Number(kTileInset) + "\" y=\"" + Number(kTileInset) + "\" width=\"" +
           Number(side) + "\" height=\"" + Number(side) + "\" rx=\"" + Number(kTileRadius) +
           "\" fill=\"url(#tile)\"/>\n";
    svg += SvgPolygon(kSheet) + SvgPolygon(kSheetFold);
    for (const TLine& line : kTextLines) {
        svg += SvgLine(line);
    }
    svg += "  <circle cx=\"" + Number(kSealCentre.x()) + "\" cy=\"" + Number(kSealCentre.y()) + "\" r=\"" +
           Number(kSealRadius) + "\" fill=\"" + Hex(kSeal) + "\"/>\n";
    for (const TLine& line : kSealTick) {
        svg += SvgLine(line);
    }
    return svg + "</svg>\n";
}

} // namespace skingen
