#pragma once

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

} // namespace qm
