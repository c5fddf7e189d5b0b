#include "desk/UIcon.h"

#include "desk/CanvasDrawing.h"
#include "desk/UIContainer.h"

namespace qm {

namespace {
constexpr int kNormalImageAssertLine = 403;
}

void TUIcon::CalcBounds() {
    TPngPack& pngs = Container->Pngs();
    const TPngPicture& normal = TakeNormalImage(pngs, Icon.NorPngFile, kNormalImageAssertLine);
    const int x = X();
    const int y = Y();
    NormalRect = TRect{x, y, x + normal.width(), y + normal.height()};
    const TPngPicture* hover = pngs.TakePNG(Icon.MovPngFile);
    if (hover == nullptr) {
        HoverRect = TRect{};
        Bounds = NormalRect;
    } else {
        HoverRect = TRect{x, y, x + hover->width(), y + hover->height()};
        Bounds = RectUnion(NormalRect, HoverRect);
    }
}

void TUIcon::PaintNormal() {
    RestoreBackground();
    TPngPack& pngs = Container->Pngs();
    DrawPictureInto(Container->CanvasBitmap(), NormalRect, pngs, Icon.NorPngFile,
                    TakeNormalImage(pngs, Icon.NorPngFile, kNormalImageAssertLine));
}

void TUIcon::PaintHover() {
    // Without a hover image the normal look stays.
    const TPngPicture* hover = Container->Pngs().TakePNG(Icon.MovPngFile);
    if (hover == nullptr)
        return;
    RestoreBackground();
    DrawPictureInto(Container->CanvasBitmap(), HoverRect, Container->Pngs(), Icon.MovPngFile, *hover);
}

} // namespace qm
