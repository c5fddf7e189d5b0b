#include "pictures/PopulatedMemory.h"

#include <memory>
#include <mutex>
#include <sys/mman.h>
#include <thread>
#include <utility>
#include <vector>

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

// The blocks populated ahead of time, handed out once each; the thread is joined at exit.
struct TPrepopulated {
    std::mutex lock;
    std::vector<TPopulatedMemory> blocks;
    bool ready = false;
    std::jthread worker;
};

TPrepopulated& Prepopulated() {
    static TPrepopulated prepopulated;
    return prepopulated;
}

} // namespace

void PrepopulateMemory(std::size_t bytes, int count) {
    Prepopulated().worker = std::jthread([bytes, count] {
        std::vector<TPopulatedMemory> blocks;
        for (int i = 0; i < count; ++i) {
            TPopulatedMemory block(bytes);
            if (block.Data() == nullptr)
                break;
            blocks.push_back(std::move(block));
        }
        TPrepopulated& prepopulated = Prepopulated();
        const std::lock_guard<std::mutex> guard(prepopulated.lock);
        prepopulated.blocks = std::move(blocks);
        prepopulated.ready = true;
    });
}

TPopulatedMemory TakePrepopulatedMemory(std::size_t bytes) {
    TPrepopulated& prepopulated = Prepopulated();
    const std::unique_lock<std::mutex> guard(prepopulated.lock, std::try_to_lock);
    if (!guard.owns_lock() || !prepopulated.ready || prepopulated.blocks.empty())
        return TPopulatedMemory(0);
    if (prepopulated.blocks.back().Size() < bytes) {
        // The window is larger than the screen was: nothing here will fit.
        prepopulated.blocks.clear();
        return TPopulatedMemory(0);
    }
    TPopulatedMemory block = std::move(prepopulated.blocks.back());
    prepopulated.blocks.pop_back();
    return block;
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
