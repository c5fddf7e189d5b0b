#pragma once

#include "desk/ObjText.h"
#include "desk/UIAction.h"

namespace qm {

// A text widget; its hover look is the same text in the hover colour.
class TUIText : public TUIAction {
public:
    using TUIAction::TUIAction;

    TObjText Text;

    std::string Name() const override;
    QColor FocusColor() const override;
    void CalcBounds() override;
    void PaintNormal() override;
    void PaintHover() override;

private:
    void PaintIn(TColor color);
};

} // namespace qm
