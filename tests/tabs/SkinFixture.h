#pragma once

#include "tests/support/MouseEvents.h"
#include "tests/support/TempFolder.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>
#include <filesystem>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <vector>

// A skin bitmap in the strip's layout, written by the test itself: every piece is filled with a
// colour of its own, so a pixel read back from a painted strip names the piece drawn there.
namespace qm::test {

struct TSkinPiece {
    std::string name;
    QRect source;
    QRgb colour;
};

inline const std::vector<TSkinPiece>& SkinPieces() {
    static const std::vector<TSkinPiece> pieces = [] {
        // name, left, top, width, height
        const struct {
            const char* name;
            int x, y, w, h;
        } layout[] = {
            {"left_normal", 0, 0, 20, 24},
            {"right_normal", 22, 0, 20, 24},
            {"left_hover", 44, 0, 20, 24},
            {"right_hover", 66, 0, 20, 24},
            {"left_active", 88, 0, 20, 24},
            {"right_active", 110, 0, 20, 24},
            {"junction_normal_normal", 132, 0, 20, 24},
            {"junction_normal_hover", 154, 0, 20, 24},
            {"junction_hover_normal", 176, 0, 20, 24},
            {"junction_normal_active", 198, 0, 20, 24},
            {"junction_active_normal", 220, 0, 20, 24},
            {"junction_hover_active", 242, 0, 20, 24},
            {"junction_active_hover", 264, 0, 20, 24},
            {"middle_normal", 286, 0, 1, 24},
            {"middle_hover", 289, 0, 1, 24},
            {"middle_active", 292, 0, 1, 24},
            {"background", 295, 0, 1, 24},
            {"frame", 298, 0, 1, 1},
            {"page", 301, 0, 1, 24},
            {"close_tab_normal", 0, 50, 16, 16},
            {"close_tab_hover", 18, 50, 16, 16},
            {"close_tab_active", 36, 50, 16, 16},
            {"close_hovered", 54, 50, 16, 16},
            {"close_pressed", 72, 50, 16, 16},
            {"list_normal", 288, 50, 16, 16},
            {"list_hovered", 306, 50, 16, 16},
            {"list_pressed", 324, 50, 16, 16},
        };
        std::vector<TSkinPiece> result;
        int i = 0;
        for (const auto& p : layout) {
            result.push_back({p.name, QRect(p.x, p.y, p.w, p.h), qRgb(20 + 8 * i, 90 + 5 * i, 230 - 7 * i)});
            ++i;
        }
        return result;
    }();
    return pieces;
}

inline QRgb PieceColour(const std::string& name) {
    for (const TSkinPiece& piece : SkinPieces())
        if (piece.name == name)
            return piece.colour;
    throw std::invalid_argument("no skin piece " + name);
}

// Between and around the pieces; a strip that shows it copied from the wrong place.
inline constexpr QRgb kGapColour = qRgb(255, 0, 255);

inline QImage DrawSkin() {
    QImage skin(342, 70, QImage::Format_RGB32);
    skin.fill(kGapColour);
    for (const TSkinPiece& piece : SkinPieces())
        for (int y = piece.source.top(); y <= piece.source.bottom(); ++y)
            for (int x = piece.source.left(); x <= piece.source.right(); ++x)
                skin.setPixel(x, y, piece.colour);
    return skin;
}

// The name of the piece whose colour the pixel has: "white", "gap" or "other" for the rest.
inline std::string PieceAt(const QImage& image, int x, int y) {
    const QRgb pixel = image.pixel(x, y) | 0xff000000u;
    for (const TSkinPiece& piece : SkinPieces())
        if (piece.colour == pixel)
            return piece.name;
    if (pixel == qRgb(255, 255, 255))
        return "white";
    if (pixel == kGapColour)
        return "gap";
    return "other";
}

// Writes the test skin as a BMP file in folder and returns its name.
inline std::string WriteSkinFile(const TTempFolder& folder) {
    const std::string file = folder.File("PgSkin.bmp");
    if (!DrawSkin().save(QString::fromStdString(file), "BMP"))
        throw std::runtime_error("cannot write the skin bitmap");
    return file;
}

} // namespace qm::test
