#include "pictures/PopulatedMemory.h"

#include <cstdint>
#include <memory>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace qm {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// A mapping of `bytes` that starts on a huge-page boundary, the slack around it unmapped; nullptr
// when there is no such mapping.
void* MapHugeAligned(std::size_t bytes) {
    // Whole pages, so that the slack after the block starts on a page and can be unmapped.
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    bytes = (bytes + page - 1) / page * page;
    const std::size_t reserved = bytes + kHugePage;
    void* mapped = mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(std::uintptr_t{kHugePage} - 1);
    const std::size_t before = aligned - start;
    if (before != 0)
        munmap(mapped, before);
    munmap(reinterpret_cast<void*>(aligned + bytes), reserved - before - bytes);
    return reinterpret_cast<void*>(aligned);
}

// Large blocks on huge pages, mapped in one go: a whole-window bitmap then costs a few page
// allocations instead of a thousand 4 KB ones. nullptr when the system will not do it (no
// transparent huge pages, an older kernel); the memory is gone again then.
uchar* MapPopulatedHuge(std::size_t bytes) {
    if (bytes < kHugePage)
        return nullptr;
    void* mapped = MapHugeAligned(bytes);
    if (mapped == nullptr)
        return nullptr;
    if (madvise(mapped, bytes, MADV_HUGEPAGE) != 0 || madvise(mapped, bytes, MADV_POPULATE_WRITE) != 0) {
        munmap(mapped, bytes);
        return nullptr;
    }
    return static_cast<uchar*>(mapped);
}

} // namespace

TPopulatedMemory::TPopulatedMemory(std::size_t bytes) {
    if (bytes == 0)
        return;
    if (uchar* huge = MapPopulatedHuge(bytes)) {
        data_ = huge;
        size_ = bytes;
        return;
    }
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
