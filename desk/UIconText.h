#pragma once

#include "desk/ObjIcon.h"
#include "desk/ObjText.h"
#include "desk/UIAction.h"
#include "pictures/Rect.h"

#include <cstdint>

namespace qm {

// An image with a caption under it (Align 0, centred) or to its right (any other Align).
class TUIconText : public TUIAction {
public:
    using TUIAction::TUIAction;

    TObjIcon Icon;
    TObjText Text;
    std::int32_t Align = 0;
    TRect NormalIconRect;
    TRect HoverIconRect;
    TRect NormalTextRect;
    TRect HoverTextRect;

    std::string Name() const override;
    QColor FocusColor() const override;
    void CalcBounds() override;
    void PaintNormal() override;
    void PaintHover() override;

private:
    // The rectangle of a caption textWidth x textHeight placed against iconRect.
    TRect PlaceCaption(const TRect& iconRect, int textWidth, int textHeight) const;
};

} // namespace qm
