#include "common/PngFastDecode.h"

#include <cstring>
#include <png.h>
#include <vector>

namespace qm {

namespace {

struct TMemoryReader {
    const png_byte* next;
    std::size_t left;
};

void ReadData(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<TMemoryReader*>(png_get_io_ptr(png));
    if (length > reader->left)
        png_error(png, "truncated picture data");
    std::memcpy(out, reader->next, length);
    reader->next += length;
    reader->left -= length;
}

void OnError(png_structp png, png_const_charp message) {
    *static_cast<std::string*>(png_get_error_ptr(png)) = message;
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

bool Eligible(png_structp png, png_infop info) {
    constexpr png_uint_32 kColourChunks =
        PNG_INFO_gAMA | PNG_INFO_cHRM | PNG_INFO_iCCP | PNG_INFO_sBIT | PNG_INFO_tRNS;
    const png_byte colourType = png_get_color_type(png, info);
    return png_get_bit_depth(png, info) == 8 &&
           (colourType == PNG_COLOR_TYPE_RGB || colourType == PNG_COLOR_TYPE_RGB_ALPHA) &&
           png_get_interlace_type(png, info) == PNG_INTERLACE_NONE &&
           png_get_valid(png, info, kColourChunks) == 0;
}

// Everything with a destructor belongs to the caller: the codec's errors jump back to setjmp.
TFastDecode Run(png_structp png, png_infop info, TMemoryReader& reader, QImage& decoded,
                std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png)))
        return TFastDecode::Failed;
    png_set_read_fn(png, &reader, ReadData);
    // Every chunk's CRC is still checked; the second checksum over the inflated rows only costs time.
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    png_read_info(png, info);
    if (!Eligible(png, info))
        return TFastDecode::NotEligible;
    // Rows of 0xAARRGGBB words: B, G, R, A in memory on little-endian machines.
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian)
        png_set_bgr(png);
    else
        png_set_swap_alpha(png);
    if (png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB)
        png_set_filler(png, 0xFF,
                       QSysInfo::ByteOrder == QSysInfo::LittleEndian ? PNG_FILLER_AFTER : PNG_FILLER_BEFORE);
    png_read_update_info(png, info);
    decoded = QImage(static_cast<int>(png_get_image_width(png, info)),
                     static_cast<int>(png_get_image_height(png, info)), QImage::Format_ARGB32);
    if (decoded.isNull())
        png_error(png, "out of memory");
    rows.resize(static_cast<std::size_t>(decoded.height()));
    for (int y = 0; y < decoded.height(); ++y)
        rows[static_cast<std::size_t>(y)] = decoded.scanLine(y);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return TFastDecode::Done;
}

} // namespace

TFastDecode DecodeStraightRgb(std::string_view data, QImage& image, std::string& error) {
    TMemoryReader reader{reinterpret_cast<const png_byte*>(data.data()), data.size()};
    QImage decoded;
    std::vector<png_bytep> rows;
    std::string reason;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reason, OnError, OnWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return TFastDecode::NotEligible;
    }
    const TFastDecode result = Run(png, info, reader, decoded, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    if (result == TFastDecode::Done)
        image = std::move(decoded);
    else if (result == TFastDecode::Failed)
        error = reason;
    return result;
}

} // namespace qm
