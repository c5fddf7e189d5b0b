#pragma once

#include <QRect>

// Where the pictures of the tab strip sit in its skin bitmap. Every tab piece is 20 x 24, the
// close and list button pictures are 16 x 16 in the row at y 50.
namespace qm::skin {

// The look of one tab.
enum TTabLook : int { kTabNormal = 0, kTabHover = 1, kTabActive = 2 };

// The pieces drawn where a tab ends: the left end of the first tab, the right end of the last one,
// and the junctions where two neighbours overlap (named left tab / right tab).
enum class TTabPiece {
    LeftNormal,
    RightNormal,
    LeftHover,
    RightHover,
    LeftActive,
    RightActive,
    JunctionNormalNormal,
    JunctionNormalHover,
    JunctionHoverNormal,
    JunctionNormalActive,
    JunctionActiveNormal,
    JunctionHoverActive,
    JunctionActiveHover,
};

// The looks of a close button: the three follow the tab's look, the last two the mouse.
enum class TCloseLook { TabNormal, TabHover, TabActive, ButtonHovered, ButtonPressed };
enum class TListLook { Normal, Hovered, Pressed };

inline constexpr int kPieceWidth = 20;
inline constexpr int kPieceHeight = 24;
inline constexpr int kButtonSize = 16;
inline constexpr int kButtonRowY = 50;

// One-pixel columns, y 0 to 24, stretched where they are used.
inline constexpr int kBackgroundColumnX = 295;
inline constexpr int kPageColumnX = 301;
// Single pixels at y 0: the page control's colour sits at the background column.
inline constexpr int kFramePixelX = 298;

constexpr QRect TabPieceRect(TTabPiece piece) {
    return QRect(static_cast<int>(piece) * 22, 0, kPieceWidth, kPieceHeight);
}

constexpr QRect LeftEndRect(TTabLook look) {
    return TabPieceRect(look == kTabActive  ? TTabPiece::LeftActive
                        : look == kTabHover ? TTabPiece::LeftHover
                                            : TTabPiece::LeftNormal);
}

constexpr QRect MiddleColumnRect(TTabLook look) {
    return QRect(286 + 3 * static_cast<int>(look), 0, 1, kPieceHeight);
}

constexpr QRect ColumnRect(int x) {
    return QRect(x, 0, 1, kPieceHeight);
}

constexpr QRect CloseButtonRect(TCloseLook look) {
    return QRect(18 * static_cast<int>(look), kButtonRowY, kButtonSize, kButtonSize);
}

constexpr QRect ListButtonRect(TListLook look) {
    return QRect(288 + 18 * static_cast<int>(look), kButtonRowY, kButtonSize, kButtonSize);
}

} // namespace qm::skin
