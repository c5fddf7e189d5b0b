#include "desk/DockAnchors.h"

#include <QRect>
#include <algorithm>

namespace qm {

namespace {

// One axis: the control's start and length within a container that grew from oldSize to newSize.
void AdjustAxis(bool nearEdge, bool farEdge, int oldSize, int newSize, int& start, int& length) {
    const int delta = newSize - oldSize;
    if (nearEdge && farEdge) {
        length = std::max(0, length + delta);
    } else if (farEdge) {
        start += delta;
    } else if (!nearEdge && oldSize > 0) {
        const long long doubledCentre = 2LL * start + length;
        start = static_cast<int>((doubledCentre * newSize / oldSize - length) / 2);
    }
}

} // namespace

TAnchors TAnchors::FromText(std::string_view text) {
    TAnchors anchors;
    anchors.left = text.find("akLeft") != std::string_view::npos;
    anchors.top = text.find("akTop") != std::string_view::npos;
    anchors.right = text.find("akRight") != std::string_view::npos;
    anchors.bottom = text.find("akBottom") != std::string_view::npos;
    return anchors;
}

void TDockAnchors::Set(QWidget& control, TAnchors anchors, QSize layoutSize) {
    std::erase_if(entries_,
                  [&control](const TEntry& e) { return e.control.data() == &control || e.control.isNull(); });
    entries_.push_back({&control, anchors, layoutSize});
}

void TDockAnchors::Apply(const QWidget& container) {
    std::erase_if(entries_, [&container](const TEntry& e) {
        const QWidget* control = e.control.data();
        return control == nullptr || control->parentWidget() != &container;
    });
    const QSize size = container.size();
    for (TEntry& entry : entries_) {
        QWidget* control = entry.control.data();
        if (control == nullptr || entry.layoutSize == size)
            continue;
        const QRect geometry = control->geometry();
        int x = geometry.x();
        int y = geometry.y();
        int width = geometry.width();
        int height = geometry.height();
        AdjustAxis(entry.anchors.left, entry.anchors.right, entry.layoutSize.width(), size.width(), x, width);
        AdjustAxis(entry.anchors.top, entry.anchors.bottom, entry.layoutSize.height(), size.height(), y,
                   height);
        entry.layoutSize = size;
        control->setGeometry(x, y, width, height);
    }
}

TAnchors TDockAnchors::AnchorsOf(const QWidget& control) const {
    for (const TEntry& entry : entries_)
        if (entry.control == &control)
            return entry.anchors;
    return {};
}

std::vector<QWidget*> TDockAnchors::Controls(const QWidget& container) const {
    std::vector<QWidget*> controls;
    for (const TEntry& entry : entries_) {
        QWidget* control = entry.control.data();
        if (control != nullptr && control->parentWidget() == &container)
            controls.push_back(control);
    }
    return controls;
}

} // namespace qm
