#pragma once

#include "pictures/PopulatedMemory.h"

#include <QImage>
#include <QSize>
#include <cstddef>

namespace qm {

// Memory for a whole-window bitmap, mapped in one go and kept when the window shrinks, so that
// resizing pays no page faults.
class TPixelStore {
public:
    // A bitmap of `size` over this store's memory (contents undefined). The previous bitmap from
    // this store stays valid until this store hands out a second one after it, so the caller can
    // assign the result over its old bitmap.
    QImage Image(QSize size, QImage::Format format);

private:
    TPopulatedMemory current_{0};
    TPopulatedMemory previous_{0};
};

} // namespace qm
