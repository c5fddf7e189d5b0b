#pragma once

#include <vector>

namespace qm {

class TUIAction;

// Whether a painted widget takes the keyboard focus: a visible button or link, i.e. a picture with
// a name or a picture with a caption. Texts and unnamed pictures are passed over.
bool TakesFocus(const TUIAction& widget);

// widgets in reading order: rows from the top (a row is the widgets of one top edge), each row
// from the left.
std::vector<TUIAction*> ReadingOrder(std::vector<TUIAction*> widgets);

// Arrow-key directions on a grid of widgets.
enum class TGridStep { Left, Right, Up, Down };

// Where an arrow key leads from `from` among `order` (reading order, from one of them): Left and
// Right to the widget before and after it, Up and Down to the nearest row above or below and there
// to the widget whose middle is nearest horizontally. Null where there is nothing in that direction.
TUIAction* GridNeighbour(const std::vector<TUIAction*>& order, const TUIAction& from, TGridStep step);

} // namespace qm
