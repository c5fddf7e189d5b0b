#include "common/PngDecode.h"

#include <cstdint>
#include <png.h>

namespace qm {
namespace {

// Deflate expands at most 1032 times, and one byte of the filtered image data carries at most eight
// pixels (one bit each), so honest data of n bytes never describes more than 8 * 1032 * n pixels.
constexpr std::uint64_t kPixelsPerDataByte = 8 * 1032;
// Far above any desk picture; keeps one decoded image at 256 MiB or less.
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 26;

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr png_uint_32 kArgb32Layout = PNG_FORMAT_BGRA; // 0xAARRGGBB words, low byte first
#else
constexpr png_uint_32 kArgb32Layout = PNG_FORMAT_ARGB;
#endif

// Frees the codec's state however the decoding ends; freeing twice is harmless.
class TPngImage {
public:
    TPngImage() {
        image_.version = PNG_IMAGE_VERSION;
        image_.opaque = nullptr;
    }
    ~TPngImage() { png_image_free(&image_); }
    TPngImage(const TPngImage&) = delete;
    TPngImage& operator=(const TPngImage&) = delete;

    png_image* operator->() noexcept { return &image_; }
    png_image* get() noexcept { return &image_; }

private:
    png_image image_{};
};

} // namespace

bool DecodePng(std::string_view data, QImage& image, std::string& error) {
    TPngImage png;
    if (!png_image_begin_read_from_memory(png.get(), data.data(), data.size())) {
        error = png->message;
        return false;
    }
    const std::uint64_t pixels = std::uint64_t{png->width} * png->height;
    if (pixels > kMaxPixels || pixels > kPixelsPerDataByte * data.size()) {
        error = "image size " + std::to_string(png->width) + "x" + std::to_string(png->height) +
                " does not fit its data";
        return false;
    }
    png->format = kArgb32Layout;
    QImage decoded(static_cast<int>(png->width), static_cast<int>(png->height), QImage::Format_ARGB32);
    if (decoded.isNull()) {
        error = "out of memory";
        return false;
    }
    // With one byte per component the row stride in components is the stride in bytes.
    if (!png_image_finish_read(png.get(), nullptr, decoded.bits(),
                               static_cast<png_int_32>(decoded.bytesPerLine()), nullptr)) {
        error = png->message;
        return false;
    }
    image = std::move(decoded);
    return true;
}

} // namespace qm
