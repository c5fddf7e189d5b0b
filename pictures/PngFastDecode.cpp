#include "pictures/PngFastDecode.h"

#include "pictures/BigEndian.h"
#include "pictures/PopulatedMemory.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <new>
#include <vector>

namespace qm {

namespace {

constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);

bool IsCritical(std::string_view type) noexcept {
    return (type[0] & 0x20) == 0;
}

// Chunks that change how the samples are to be taken; a picture with one goes the general way.
bool ChangesColours(std::string_view type) noexcept {
    return type == "gAMA" || type == "cHRM" || type == "iCCP" || type == "sBIT" || type == "tRNS";
}

struct TDecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const noexcept { libdeflate_free_decompressor(d); }
};

// What the chunks say: the header's facts and the compressed rows, gathered from every IDAT chunk.
struct TPngLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int channels = 0; // 3 RGB, 4 RGBA
    std::string compressed;
};

// Walks the chunks, checking each one's CRC as the general decoder does (a damaged critical chunk
// is an error, a damaged ancillary one is skipped).
TFastDecode ReadLayout(std::string_view data, TPngLayout& layout, std::string& error) {
    if (data.substr(0, kSignature.size()) != kSignature)
        return TFastDecode::NotEligible;
    std::size_t at = kSignature.size();
    bool headerSeen = false;
    bool rowsSeen = false;
    while (true) {
        if (data.size() - at < 12) {
            error = "truncated picture data";
            return TFastDecode::Failed;
        }
        const std::uint32_t length = BigEndian32(data.data() + at);
        const std::string_view type = data.substr(at + 4, 4);
        if (length > data.size() - at - 12) {
            error = "truncated picture data";
            return TFastDecode::Failed;
        }
        const std::string_view body = data.substr(at + 8, length);
        const std::uint32_t crc = BigEndian32(data.data() + at + 8 + length);
        const bool intact = libdeflate_crc32(0, data.data() + at + 4, 4 + std::size_t{length}) == crc;
        at += 12 + std::size_t{length};
        if (!intact) {
            if (IsCritical(type)) {
                error = std::string(type) + ": CRC error";
                return TFastDecode::Failed;
            }
            continue;
        }
        if (!headerSeen) {
            if (type != "IHDR" || length != 13)
                return TFastDecode::NotEligible;
            headerSeen = true;
            layout.width = BigEndian32(body.data());
            layout.height = BigEndian32(body.data() + 4);
            const auto depth = static_cast<unsigned char>(body[8]);
            const auto colourType = static_cast<unsigned char>(body[9]);
            const bool plain =
                body[10] == 0 && body[11] == 0 && body[12] == 0; // deflate, filter set 0, no interlace
            if (depth != 8 || (colourType != 2 && colourType != 6) || !plain || layout.width == 0 ||
                layout.height == 0)
                return TFastDecode::NotEligible;
            layout.channels = colourType == 2 ? 3 : 4;
        } else if (type == "IDAT") {
            layout.compressed.append(body);
            rowsSeen = true;
        } else if (type == "IEND") {
            if (!rowsSeen) {
                error = "no picture data";
                return TFastDecode::Failed;
            }
            return TFastDecode::Done;
        } else if (!rowsSeen && ChangesColours(type)) {
            return TFastDecode::NotEligible;
        }
    }
}

int Paeth(int a, int b, int c) noexcept {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

// Undoes one row's filter in place; `previous` is the row above, already reconstructed (zeros for
// the first row).
bool Unfilter(unsigned char filter, unsigned char* row, const unsigned char* previous, std::size_t length,
              int bpp) noexcept {
    const auto step = static_cast<std::size_t>(bpp);
    switch (filter) {
    case 0:
        return true;
    case 1:
        for (std::size_t i = step; i < length; ++i)
            row[i] = static_cast<unsigned char>(row[i] + row[i - step]);
        return true;
    case 2:
        for (std::size_t i = 0; i < length; ++i)
            row[i] = static_cast<unsigned char>(row[i] + previous[i]);
        return true;
    case 3:
        for (std::size_t i = 0; i < length; ++i) {
            const int left = i >= step ? row[i - step] : 0;
            row[i] = static_cast<unsigned char>(row[i] + ((left + previous[i]) >> 1));
        }
        return true;
    case 4:
        for (std::size_t i = 0; i < length; ++i) {
            const int left = i >= step ? row[i - step] : 0;
            const int upperLeft = i >= step ? previous[i - step] : 0;
            row[i] = static_cast<unsigned char>(row[i] + Paeth(left, previous[i], upperLeft));
        }
        return true;
    default:
        return false;
    }
}

void ToArgb(const unsigned char* samples, int channels, int width, QRgb* out) noexcept {
    if (channels == 3) {
        for (int x = 0; x < width; ++x, samples += 3)
            out[x] = 0xFF000000u | (QRgb{samples[0]} << 16) | (QRgb{samples[1]} << 8) | samples[2];
    } else {
        for (int x = 0; x < width; ++x, samples += 4)
            out[x] =
                (QRgb{samples[3]} << 24) | (QRgb{samples[0]} << 16) | (QRgb{samples[1]} << 8) | samples[2];
    }
}

} // namespace

TFastDecode DecodeStraightRgb(std::string_view data, QImage& image, std::string& error) {
    TPngLayout layout;
    if (const TFastDecode read = ReadLayout(data, layout, error); read != TFastDecode::Done)
        return read;
    QImage decoded = NewPopulatedImage(static_cast<int>(layout.width), static_cast<int>(layout.height),
                                       QImage::Format_ARGB32);
    if (decoded.isNull()) {
        error = "out of memory";
        return TFastDecode::Failed;
    }
    const std::size_t rowBytes = std::size_t{layout.width} * static_cast<std::size_t>(layout.channels);
    const std::size_t rawBytes = (rowBytes + 1) * layout.height;
    const auto imageBytes = static_cast<std::size_t>(decoded.sizeInBytes());
    // Rows of RGB samples with their filter bytes are smaller than the finished image, so they are
    // inflated into the image's own tail and widened front to back: writing row y never reaches a
    // later row's samples. That spares a second whole-picture buffer and its page faults.
    const bool inPlace =
        rawBytes <= imageBytes && decoded.bytesPerLine() == static_cast<qsizetype>(4 * layout.width);
    std::unique_ptr<unsigned char[]> separate;
    unsigned char* raw = decoded.bits() + (imageBytes - rawBytes);
    if (!inPlace) {
        try {
            separate = std::make_unique_for_overwrite<unsigned char[]>(rawBytes);
        } catch (const std::bad_alloc&) {
            error = "out of memory";
            return TFastDecode::Failed;
        }
        raw = separate.get();
    }
    static thread_local std::unique_ptr<libdeflate_decompressor, TDecompressorDeleter> inflater(
        libdeflate_alloc_decompressor());
    if (!inflater) {
        error = "out of memory";
        return TFastDecode::Failed;
    }
    switch (libdeflate_zlib_decompress(inflater.get(), layout.compressed.data(), layout.compressed.size(),
                                       raw, rawBytes, nullptr)) {
    case LIBDEFLATE_SUCCESS:
        break;
    case LIBDEFLATE_INSUFFICIENT_SPACE:
        // More data than rows: the general decoder decides what to make of that.
        return TFastDecode::NotEligible;
    case LIBDEFLATE_SHORT_OUTPUT:
        error = "not enough picture data";
        return TFastDecode::Failed;
    default:
        error = "damaged compressed picture data";
        return TFastDecode::Failed;
    }
    // Filters read the row above as it was reconstructed, which the widened row in the image no
    // longer holds: keep the last row's samples aside.
    std::vector<unsigned char> previous(rowBytes, 0);
    std::vector<unsigned char> current(rowBytes);
    for (int y = 0; y < decoded.height(); ++y) {
        const unsigned char* row = raw + static_cast<std::size_t>(y) * (rowBytes + 1);
        std::memcpy(current.data(), row + 1, rowBytes);
        if (!Unfilter(row[0], current.data(), previous.data(), rowBytes, layout.channels)) {
            error = "unknown row filter";
            return TFastDecode::Failed;
        }
        ToArgb(current.data(), layout.channels, decoded.width(),
               reinterpret_cast<QRgb*>(decoded.scanLine(y)));
        current.swap(previous);
    }
    image = std::move(decoded);
    return TFastDecode::Done;
}

} // namespace qm
