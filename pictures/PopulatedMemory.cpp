#include "pictures/PopulatedMemory.h"

#include <memory>
#include <sys/mman.h>
#include <utility>

namespace qm {

TPopulatedMemory::TPopulatedMemory(std::size_t bytes) {
    if (bytes == 0)
        return;
    void* mapped =
        mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (mapped == MAP_FAILED)
        return;
    data_ = static_cast<uchar*>(mapped);
    size_ = bytes;
}

TPopulatedMemory::~TPopulatedMemory() {
    if (data_ != nullptr)
        munmap(data_, size_);
}

TPopulatedMemory::TPopulatedMemory(TPopulatedMemory&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

TPopulatedMemory& TPopulatedMemory::operator=(TPopulatedMemory&& other) noexcept {
    if (this != &other) {
        TPopulatedMemory old(std::move(*this));
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

namespace {

void FreeImageMemory(void* memory) {
    // Takes back the ownership NewPopulatedImage handed to the image.
    std::unique_ptr<TPopulatedMemory> owned(static_cast<TPopulatedMemory*>(memory));
}

} // namespace

QImage NewPopulatedImage(int width, int height, QImage::Format format) {
    if (width <= 0 || height <= 0)
        return {};
    const qsizetype bytesPerLine = qsizetype{width} * 4;
    // A small picture (an icon) is cheaper from the heap, which reuses its pages, than from a mapping
    // of its own: a system call and fresh pages for every one of dozens of icons.
    constexpr qsizetype kMappedFrom = 256 * 1024;
    if (bytesPerLine * height < kMappedFrom)
        return QImage(width, height, format);
    auto memory = std::make_unique<TPopulatedMemory>(static_cast<std::size_t>(bytesPerLine) *
                                                     static_cast<std::size_t>(height));
    if (memory->Data() == nullptr)
        return {};
    uchar* data = memory->Data();
    return QImage(data, width, height, bytesPerLine, format, FreeImageMemory, memory.release());
}

} // namespace qm
