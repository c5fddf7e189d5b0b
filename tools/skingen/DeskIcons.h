#pragma once

#include <QColor>
#include <QImage>
#include <span>

// The icons of the desk and the bench: rounded tiles in soft colours with a white symbol, in a
// normal and a hovered look of the same size, and small line icons for the status bar.
namespace skingen {

enum class TDeskIcon {
    InvoiceSearch,
    Forum,
    HomePage,
    Store,
    Upgrade,
    Help,
    Calculator,
    Calendar,
    Login,
    Register,
    AccountCard,
    Password,
    Logout
};

struct TDeskIconInfo {
    TDeskIcon icon;
    // File names are this name followed by "_nor.png" (normal) and "_mov.png" (hovered).
    const char* name;
    QColor tile;
};

std::span<const TDeskIconInfo> DeskIcons();

// 64 x 64 pixels (times scale); the hovered look lifts the tile a little and lightens it.
QImage DrawDeskIcon(const TDeskIconInfo& info, bool hovered, int scale = 1);

// Pictures of the applications in the sample app-store catalogue: a small (32 x 32) and a large
// (64 x 64) icon, and a greyed large one shown while the application is not installed.
struct TStoreAppIconInfo {
    TDeskIcon symbol;
    // File names are this name followed by "_s.png", "_l.png" and "_u.png".
    const char* name;
    QColor tile;
};

std::span<const TStoreAppIconInfo> StoreAppIcons();

enum class TStoreAppLook { Small, Large, NotInstalled };
QImage DrawStoreAppIcon(const TStoreAppIconInfo& info, TStoreAppLook look);

enum class TStatusIcon { HomePage, Forum, Help };

struct TStatusIconInfo {
    TStatusIcon icon;
    // File names as for desk icons.
    const char* name;
};

std::span<const TStatusIconInfo> StatusIcons();

// 16 x 16 pixels (times scale): a line drawing on a transparent ground, darker when hovered.
QImage DrawStatusIcon(const TStatusIconInfo& info, bool hovered, int scale = 1);

} // namespace skingen
