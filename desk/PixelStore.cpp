#include "desk/PixelStore.h"

namespace qm {

QImage TPixelStore::Image(QSize size, QImage::Format format) {
    if (size.isEmpty())
        return {};
    // 32-bit formats only: their rows need no padding.
    const qsizetype bytesPerLine = qsizetype{size.width()} * 4;
    const auto bytes = static_cast<std::size_t>(bytesPerLine) * static_cast<std::size_t>(size.height());
    if (bytes > current_.Size()) {
        previous_ = std::move(current_);
        current_ = TPopulatedMemory(bytes);
        if (current_.Data() == nullptr)
            return QImage(size, format);
    }
    return QImage(current_.Data(), size.width(), size.height(), bytesPerLine, format);
}

} // namespace qm
