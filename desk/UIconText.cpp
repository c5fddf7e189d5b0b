#include "desk/UIconText.h"

#include "desk/CanvasDrawing.h"
#include "desk/DeskFont.h"
#include "desk/UIContainer.h"

namespace qm {

namespace {
constexpr int kNormalImageAssertLine = 510;
constexpr int kCaptionGapRight = 2;
constexpr int kCaptionGapBelow = 3;
} // namespace

void TUIconText::CalcBounds() {
    TPngPack& pngs = Container->Pngs();
    const TPngPicture& normal = TakeNormalImage(pngs, Icon.NorPngFile, kNormalImageAssertLine);
    const int x = X();
    const int y = Y();
    NormalIconRect = TRect{x, y, x + normal.width(), y + normal.height()};

    const QSize extent = MeasureDeskText(Text, Container->CanvasBitmap());
    NormalTextRect = PlaceCaption(NormalIconRect, extent.width(), extent.height());

    if (const TPngPicture* hover = pngs.TakePNG(Icon.MovPngFile)) {
        HoverIconRect = TRect{x, y, x + hover->width(), y + hover->height()};
        HoverTextRect = PlaceCaption(HoverIconRect, extent.width(), extent.height());
    } else {
        HoverIconRect = NormalIconRect;
        HoverTextRect = NormalTextRect;
    }
    Bounds = RectUnion(RectUnion(NormalIconRect, HoverIconRect), RectUnion(NormalTextRect, HoverTextRect));
}

TRect TUIconText::PlaceCaption(const TRect& iconRect, int textWidth, int textHeight) const {
    const int iconWidth = iconRect.right - iconRect.left;
    const int iconHeight = iconRect.bottom - iconRect.top;
    TRect caption;
    if (Align != 0) {
        caption.left = iconRect.right + kCaptionGapRight;
        caption.top = iconRect.top + (iconHeight - textHeight) / 2;
    } else {
        caption.top = iconRect.bottom + kCaptionGapBelow;
        caption.left = iconRect.left - (textWidth - iconWidth) / 2;
    }
    caption.right = caption.left + textWidth;
    caption.bottom = caption.top + textHeight;
    return caption;
}

void TUIconText::PaintNormal() {
    RestoreBackground();
    QImage& canvas = Container->CanvasBitmap();
    TPngPack& pngs = Container->Pngs();
    DrawPictureInto(canvas, NormalIconRect, pngs, Icon.NorPngFile,
                    TakeNormalImage(pngs, Icon.NorPngFile, kNormalImageAssertLine));
    DrawCaption(canvas, NormalTextRect, Text, Text.ColorNormal);
}

void TUIconText::PaintHover() {
    const TPngPicture* hover = Container->Pngs().TakePNG(Icon.MovPngFile);
    if (hover == nullptr)
        return;
    RestoreBackground();
    QImage& canvas = Container->CanvasBitmap();
    DrawPictureInto(canvas, HoverIconRect, Container->Pngs(), Icon.MovPngFile, *hover);
    DrawCaption(canvas, HoverTextRect, Text, Text.ColorHover);
}

std::string TUIconText::Name() const {
    return Text.Text.empty() ? AccessibleName : Text.Text;
}

QColor TUIconText::FocusColor() const {
    return ToQColor(Text.ColorHover);
}

} // namespace qm
