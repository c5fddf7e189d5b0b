#include "AppIcon.h"
#include "Backgrounds.h"
#include "BmpFile.h"
#include "DeskIcons.h"
#include "DownloadPictures.h"
#include "Drawing.h"
#include "FramePictures.h"
#include "LoginPictures.h"
#include "TabSkin.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace skingen;

// The picture's file for screens of two device pixels to the pixel: "@2x" before the extension.
fs::path DoubleSizeFile(const fs::path& folder, const std::string& stem) {
    return folder / (stem + "@2x.png");
}

// Pictures the desk takes by name from the packed image store: the frame and the icons. Those drawn
// in strokes and curves come at twice the size as well; the frame's bands and backgrounds are
// stretched smooth colour and gain nothing from more pixels.
void WritePackedPictures(const fs::path& folder) {
    SavePng(DrawDeskBackground(), folder / "bg.png");
    SavePng(DrawTitleBar(), folder / "top_c.png");
    SavePng(DrawStatusBar(), folder / "bottom_c.png");
    SavePng(DrawBorder(), folder / "border_dot.png");
    // The desk shows "nor" while the window is normal (a click maximizes it) and "max" while it is
    // maximized (a click restores it).
    const struct {
        TTitleButton button;
        const char* name;
    } buttons[] = {{TTitleButton::Close, "close"},
                   {TTitleButton::Restore, "max"},
                   {TTitleButton::Minimize, "min"},
                   {TTitleButton::Maximize, "nor"}};
    for (const auto& entry : buttons) {
        SavePng(DrawTitleButton(entry.button, false), folder / (std::string(entry.name) + "_01.png"));
        SavePng(DrawTitleButton(entry.button, true), folder / (std::string(entry.name) + "_02.png"));
        SavePng(DrawTitleButton(entry.button, false, 2),
                DoubleSizeFile(folder, std::string(entry.name) + "_01"));
        SavePng(DrawTitleButton(entry.button, true, 2),
                DoubleSizeFile(folder, std::string(entry.name) + "_02"));
    }
    SavePng(DrawLogo(), folder / "logo.png");
    SavePng(DrawLogo(2), DoubleSizeFile(folder, "logo"));
}

// Icons and the logo named by the boot scripts. The scripts' picture names become full paths
// below the Pictures folder, so these are installed there as loose files, and packed as well.
void WriteScriptPictures(const fs::path& folder) {
    for (const TDeskIconInfo& info : DeskIcons()) {
        SavePng(DrawDeskIcon(info, false), folder / (std::string(info.name) + "_nor.png"));
        SavePng(DrawDeskIcon(info, true), folder / (std::string(info.name) + "_mov.png"));
        SavePng(DrawDeskIcon(info, false, 2), DoubleSizeFile(folder, std::string(info.name) + "_nor"));
        SavePng(DrawDeskIcon(info, true, 2), DoubleSizeFile(folder, std::string(info.name) + "_mov"));
    }
    for (const TStatusIconInfo& info : StatusIcons()) {
        SavePng(DrawStatusIcon(info, false), folder / (std::string(info.name) + "_nor.png"));
        SavePng(DrawStatusIcon(info, true), folder / (std::string(info.name) + "_mov.png"));
        SavePng(DrawStatusIcon(info, false, 2), DoubleSizeFile(folder, std::string(info.name) + "_nor"));
        SavePng(DrawStatusIcon(info, true, 2), DoubleSizeFile(folder, std::string(info.name) + "_mov"));
    }
    SavePng(DrawLogo(), folder / "logo.png");
    SavePng(DrawLogo(2), DoubleSizeFile(folder, "logo"));
}

// Icons of the applications listed in the sample app-store catalogue, named by it.
void WriteStoreAppPictures(const fs::path& folder) {
    for (const TStoreAppIconInfo& info : StoreAppIcons()) {
        SavePng(DrawStoreAppIcon(info, TStoreAppLook::Small), folder / (std::string(info.name) + "_s.png"));
        SavePng(DrawStoreAppIcon(info, TStoreAppLook::Large), folder / (std::string(info.name) + "_l.png"));
        SavePng(DrawStoreAppIcon(info, TStoreAppLook::NotInstalled),
                folder / (std::string(info.name) + "_u.png"));
    }
}

// The login dialog's pictures, installed as files in Plugins/Login/Pictures.
void WriteLoginPictures(const fs::path& folder) {
    SavePng(DrawLoginLogo(), folder / "tc_logo.png");
    SavePng(DrawAccountPicture(), folder / "tc_userlogo.png");
    SavePng(DrawTipPicture(TTipPicture::Hint), folder / "tc_tip.png");
    SavePng(DrawTipPicture(TTipPicture::Right), folder / "tc_right.png");
    SavePng(DrawTipPicture(TTipPicture::Wrong), folder / "tc_wrong.png");
    SavePng(DrawUserListButton(), folder / "tc_userlist.png");
}

// The download window's command pictures, installed as files in Plugins/Upgrade/Pictures.
void WriteDownloadPictures(const fs::path& folder) {
    SavePng(DrawResumePicture(), folder / "dl_resume.png");
    SavePng(DrawPausePicture(), folder / "dl_pause.png");
    SavePng(DrawAbortPicture(), folder / "dl_abort.png");
}

// The program's icon for the desktop: PNG pictures in the sizes the package installs, and the SVG.
void WriteAppIcons(const fs::path& folder) {
    for (const int size : {48, 128, 256}) {
        SavePng(DrawAppIcon(size), folder / ("quillmere-" + std::to_string(size) + ".png"));
    }
    std::ofstream svg(folder / "quillmere.svg", std::ios::binary);
    svg << AppIconSvg();
    if (!svg.flush()) {
        throw std::runtime_error("cannot write " + (folder / "quillmere.svg").string());
    }
}

} // namespace

// qm-skingen OUTDIR: draws the sample installation's pictures. OUTDIR/pack receives the pictures
// for the packed image store, OUTDIR/Pictures those installed as files in the Pictures folder
// (the tab strip skin, the bench background and the pictures the boot scripts name), and
// OUTDIR/Plugins/Login/Pictures those of the login dialog, OUTDIR/Plugins/Upgrade/Pictures those of
// the download window, OUTDIR/AppIcon the program's icon for the desktop's menus.
int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qm-skingen OUTDIR\n"
                             "Draws the desk's pictures into OUTDIR/pack (for the packed image store)\n"
                             "and OUTDIR/Pictures (loose pictures: PgSkin.bmp, bench.png, icons,\n"
                             "store application icons), OUTDIR/Plugins/Login/Pictures (the login\n"
                             "dialog's pictures) and OUTDIR/Plugins/Upgrade/Pictures (the download\n"
                             "window's pictures), OUTDIR/AppIcon (the program's icon).\n");
        return 2;
    }
    try {
        const fs::path out = argv[1];
        const fs::path pack = out / "pack";
        const fs::path pictures = out / "Pictures";
        fs::create_directories(pack);
        fs::create_directories(pictures);
        const fs::path loginPictures = out / "Plugins" / "Login" / "Pictures";
        fs::create_directories(loginPictures);
        const fs::path downloadPictures = out / "Plugins" / "Upgrade" / "Pictures";
        fs::create_directories(downloadPictures);
        const fs::path appIcon = out / "AppIcon";
        fs::create_directories(appIcon);

        WritePackedPictures(pack);
        WriteScriptPictures(pack);
        WriteScriptPictures(pictures);
        WriteStoreAppPictures(pictures);
        SaveBmp24(DrawTabSkin(), pictures / "PgSkin.bmp");
        SavePng(DrawBenchBackground(), pictures / "bench.png");
        // The desk window's own icon, where the desktop's icon theme has none.
        for (const int size : {48, 128})
            SavePng(DrawAppIcon(size), pictures / ("quillmere-" + std::to_string(size) + ".png"));
        WriteLoginPictures(loginPictures);
        WriteDownloadPictures(downloadPictures);
        WriteAppIcons(appIcon);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qm-skingen: %s\n", error.what());
        return 1;
    }
}
