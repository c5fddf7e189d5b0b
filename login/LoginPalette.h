#pragma once

#include <QColor>

// The colours of the login and registration dialog.
namespace qm::login_palette {

inline const QColor kPanel{0xD0, 0xE8, 0xFF};       // panel background, gradient start
inline const QColor kFrame{0x44, 0xA2, 0xFF};       // frame, lines, outlines, links, tip labels
inline const QColor kText{0x00, 0x00, 0x00};        // plain label text
inline const QColor kSelectedTop{0xA6, 0xD2, 0xFF}; // selected menu item gradient
inline const QColor kSelectedBottom{0x68, 0xB4, 0xFF};
inline const QColor kHot{0x00, 0x00, 0xFF}; // hovered link, selected menu item text
inline const QColor kTipHint{0x6A, 0xB5, 0xFF};
inline const QColor kTipAccepted{0x00, 0x60, 0x00};
inline const QColor kTipRejected{0xFF, 0x6A, 0x6A};
inline const QColor kField{0xFF, 0xFF, 0xFF}; // inside of the field outlines

} // namespace qm::login_palette
