#pragma once

#include <QImage>
#include <cstddef>

namespace qm {

// Anonymous memory whose pages are all mapped when it is made: one system call instead of a page
// fault for every page, which is most of the cost of a fresh whole-window bitmap. Blocks of 2 MB and
// more start on a 2 MB boundary and ask for transparent huge pages, which are filled far faster.
class TPopulatedMemory {
public:
    explicit TPopulatedMemory(std::size_t bytes);
    ~TPopulatedMemory();
    TPopulatedMemory(TPopulatedMemory&& other) noexcept;
    TPopulatedMemory& operator=(TPopulatedMemory&& other) noexcept;
    TPopulatedMemory(const TPopulatedMemory&) = delete;
    TPopulatedMemory& operator=(const TPopulatedMemory&) = delete;

    // nullptr when the memory could not be had.
    uchar* Data() const noexcept { return data_; }
    std::size_t Size() const noexcept { return size_; }

private:
    uchar* data_ = nullptr;
    std::size_t size_ = 0;
};

// A new image of a 32-bit format (contents undefined) over populated memory of its own (freed with
// the image's last copy) when it is large, from the heap when small; a null image when there is no
// memory for it.
QImage NewPopulatedImage(int width, int height, QImage::Format format);

} // namespace qm
