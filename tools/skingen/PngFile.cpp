#include "Drawing.h"

#include <cstdio>
#include <memory>
#include <png.h>
#include <stdexcept>
#include <vector>

namespace skingen {

namespace {

struct TFileClose {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

bool IsOpaque(const QImage& straight) {
    for (int y = 0; y < straight.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
        for (int x = 0; x < straight.width(); ++x)
            if (qAlpha(line[x]) != 0xFF)
                return false;
    }
    return true;
}

// What the codec writes: rows of 0xAARRGGBB words, with or without their alpha bytes.
struct TRows {
    std::vector<png_bytep> rows;
    png_uint_32 width;
    png_uint_32 height;
    bool opaque;
};

// False when the codec failed. Kept apart from everything with a destructor, since the codec's
// errors jump back to the branch after setjmp.
bool Encode(std::FILE* out, const TRows& image) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, image.width, image.height, 8,
                 image.opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    // B, G, R, A in memory on little-endian machines; A, R, G, B on big-endian ones.
    const bool littleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    if (littleEndian)
        png_set_bgr(png);
    else
        png_set_swap_alpha(png);
    if (image.opaque)
        png_set_filler(png, 0, littleEndian ? PNG_FILLER_AFTER : PNG_FILLER_BEFORE);
    png_write_image(png, const_cast<png_bytepp>(image.rows.data()));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

// The desk decodes its large backgrounds at every start, so pictures are written for fast
// decoding: opaque ones without an alpha channel, and rows left unfiltered, so that the decoder
// only inflates (the strongest compression finds the long repeats of a smooth picture; undoing a
// row filter costs the desk three times as much as inflating, measured on the bench picture).
void SavePng(const QImage& image, const std::filesystem::path& file) {
    const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    TRows rows{{},
               static_cast<png_uint_32>(straight.width()),
               static_cast<png_uint_32>(straight.height()),
               IsOpaque(straight)};
    for (int y = 0; y < straight.height(); ++y)
        rows.rows.push_back(const_cast<png_bytep>(straight.constScanLine(y)));
    std::unique_ptr<std::FILE, TFileClose> out(std::fopen(file.string().c_str(), "wb"));
    if (!out || !Encode(out.get(), rows))
        throw std::runtime_error("cannot write " + file.string());
    if (std::fclose(out.release()) != 0)
        throw std::runtime_error("cannot write " + file.string());
}

} // namespace skingen
