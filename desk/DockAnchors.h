#pragma once

#include <QPointer>
#include <QSize>
#include <QWidget>
#include <string_view>
#include <vector>

namespace qm {

// Which edges of a docked control keep their distance to the container's edges.
struct TAnchors {
    bool left = false;
    bool top = false;
    bool right = false;
    bool bottom = false;

    // Each of "akLeft", "akTop", "akRight" and "akBottom" that occurs anywhere in text.
    static TAnchors FromText(std::string_view text);
};

// The anchors of the controls docked on one container. When the container changes size, a control
// anchored on both edges of an axis stretches, one anchored on the far edge only moves with it, and
// one anchored on neither keeps its centre at the same proportion of the container.
class TDockAnchors {
public:
    // Records control, laid out against a container of size `layoutSize`.
    void Set(QWidget& control, TAnchors anchors, QSize layoutSize);
    // Moves and sizes the recorded controls that are still children of container.
    void Apply(const QWidget& container);

    TAnchors AnchorsOf(const QWidget& control) const;
    // The recorded controls that still live and are children of container.
    std::vector<QWidget*> Controls(const QWidget& container) const;

private:
    struct TEntry {
        QPointer<QWidget> control;
        TAnchors anchors;
        QSize layoutSize;
    };
    std::vector<TEntry> entries_;
};

} // namespace qm
