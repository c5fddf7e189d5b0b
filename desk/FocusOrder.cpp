#include "desk/FocusOrder.h"

#include "desk/UIAction.h"
#include "desk/UIText.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace qm {

bool TakesFocus(const TUIAction& widget) {
    return widget.Visible && dynamic_cast<const TUIText*>(&widget) == nullptr && !widget.Name().empty();
}

std::vector<TUIAction*> ReadingOrder(std::vector<TUIAction*> widgets) {
    std::stable_sort(widgets.begin(), widgets.end(), [](const TUIAction* a, const TUIAction* b) {
        if (a->Bounds.top != b->Bounds.top)
            return a->Bounds.top < b->Bounds.top;
        return a->Bounds.left < b->Bounds.left;
    });
    return widgets;
}

namespace {

int MiddleX(const TUIAction& widget) {
    return (widget.Bounds.left + widget.Bounds.right) / 2;
}

TUIAction* NearestInNextRow(const std::vector<TUIAction*>& order, const TUIAction& from, bool down) {
    // The row: the nearest top edge on that side.
    int rowTop = down ? INT_MAX : INT_MIN;
    for (const TUIAction* widget : order) {
        const int top = widget->Bounds.top;
        if (down && top > from.Bounds.top)
            rowTop = std::min(rowTop, top);
        else if (!down && top < from.Bounds.top)
            rowTop = std::max(rowTop, top);
    }
    TUIAction* nearest = nullptr;
    int distance = INT_MAX;
    for (TUIAction* widget : order) {
        if (widget->Bounds.top != rowTop)
            continue;
        const int d = std::abs(MiddleX(*widget) - MiddleX(from));
        if (d < distance) {
            distance = d;
            nearest = widget;
        }
    }
    return nearest;
}

} // namespace

TUIAction* GridNeighbour(const std::vector<TUIAction*>& order, const TUIAction& from, TGridStep step) {
    const auto at = std::find(order.begin(), order.end(), &from);
    if (at == order.end())
        return nullptr;
    switch (step) {
    case TGridStep::Left:
        return at == order.begin() ? nullptr : *(at - 1);
    case TGridStep::Right:
        return at + 1 == order.end() ? nullptr : *(at + 1);
    case TGridStep::Up:
        return NearestInNextRow(order, from, false);
    case TGridStep::Down:
        return NearestInNextRow(order, from, true);
    }
    return nullptr;
}

} // namespace qm
