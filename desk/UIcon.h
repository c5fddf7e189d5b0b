#pragma once

#include "desk/ObjIcon.h"
#include "desk/UIAction.h"
#include "pictures/Rect.h"

namespace qm {

// An image widget, with an optional second image for its hover look.
class TUIcon : public TUIAction {
public:
    using TUIAction::TUIAction;

    TObjIcon Icon;
    TRect NormalRect;
    TRect HoverRect; // empty without a hover image

    void CalcBounds() override;
    void PaintNormal() override;
    void PaintHover() override;
};

} // namespace qm
