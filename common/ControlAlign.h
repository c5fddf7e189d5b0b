#pragma once

#include <QSize>

class QWidget;

namespace qm {

// Where a child control sits in its parent's client area. Top and bottom controls keep their
// height and span the width; left and right controls keep their width and span the height that the
// top and bottom ones leave; the client control fills what remains. Controls of one alignment are
// stacked in the order they were aligned; hidden controls take no room.
enum TAlign : int { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Gives control (already a child of its parent) the alignment and keeps it when the parent, or an
// aligned sibling, changes size or visibility. alNone releases it where it stands.
void SetControlAlign(QWidget* control, TAlign align);

// The alignment that SetControlAlign last gave control in its current parent (alNone if none).
TAlign ControlAlign(const QWidget* control);

// Client alignment for a control that never gets smaller than minimum: where the room left is
// smaller, the parent shows scroll bars along its right and bottom edges, and they move the control
// across that room. ControlAlign tells alClient.
void SetScrollingClientAlign(QWidget* control, QSize minimum);

} // namespace qm
