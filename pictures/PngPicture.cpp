#include "pictures/PngPicture.h"

#include "corvane/Errors.h"
#include "pictures/BigEndian.h"
#include "pictures/PictureCache.h"
#include "pictures/PngDecode.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace qm {

namespace {

constexpr const char* kTakePngLocation =
    "TPngPack.TakePNG(ARelaFile: string; bReload: Boolean = False): TPNGObject";
constexpr const char* kImageMalformed = "图片(%s)格式错误: %s";

} // namespace

namespace {

// Whether every pixel of a PNG file is opaque by its header alone: grey, truecolour or palette
// pictures without a transparency chunk, which has to come before the image data.
bool OpaqueByHeader(std::string_view png) {
    constexpr std::size_t kColourTypeAt = 8 + 8 + 9;
    if (png.size() <= kColourTypeAt)
        return false;
    const auto colourType = static_cast<unsigned char>(png[kColourTypeAt]);
    if (colourType != 0 && colourType != 2 && colourType != 3)
        return false;
    for (std::size_t at = 8; at + 8 <= png.size();) {
        const std::string_view type = png.substr(at + 4, 4);
        if (type == "tRNS")
            return false;
        if (type == "IDAT" || type == "IEND")
            return true;
        const std::uint64_t next = std::uint64_t{at} + 12 + BigEndian32(png.data() + at);
        if (next > png.size())
            return false;
        at = static_cast<std::size_t>(next);
    }
    return false;
}

// An opaque picture's straight and premultiplied pixels are the same bytes. Saying so lets the
// painter draw it as it is, where it would first convert a copy of it: about 2 ms for a
// whole-window background at start.
QImage AsDrawn(QImage decoded, std::string_view png) {
    if (decoded.format() == QImage::Format_ARGB32 && OpaqueByHeader(png))
        decoded.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return decoded;
}

} // namespace

QImage DecodeForDesk(std::string_view bytes, const std::string& name) {
    if (std::optional<QImage> cached = FindCachedPicture(bytes))
        return std::move(*cached);
    QImage image;
    std::string error;
    if (!DecodePng(bytes, image, error))
        throw corvane::EUI(corvane::FormatText(kImageMalformed, name, error), kTakePngLocation);
    KeepCachedPicture(bytes, image);
    return image;
}

TPngPicture::TPngPicture(std::string name, std::string source, QSize size)
    : name_(std::move(name)), source_(std::move(source)), size_(size) {}

TPngPicture::TPngPicture(std::string name, std::string source, QImage decoded)
    : name_(std::move(name)), source_(std::move(source)), size_(decoded.size()),
      pixels_(AsDrawn(std::move(decoded), source_)), decoded_(true) {}

const QImage& TPngPicture::Pixels() const {
    if (!decoded_) {
        // A picture that cannot be decoded is told once and then drawn as nothing: the error
        // reaches the user from a paint, and a second one from the repaint under the message
        // would stack messages without end.
        decoded_ = true;
        pixels_ = QImage(size_, QImage::Format_ARGB32);
        pixels_.fill(Qt::transparent);
        pixels_ = AsDrawn(DecodeForDesk(source_, name_), source_);
    }
    return pixels_;
}

void TPngPicture::Prepare() const {
    if (decoded_)
        return;
    try {
        pixels_ = AsDrawn(DecodeForDesk(source_, name_), source_);
        decoded_ = true;
    } catch (const std::exception&) {
        // Raised to the desk when it draws the picture.
    }
}

void TPngPicture::Replace(std::string name, std::string source, QImage decoded) {
    name_ = std::move(name);
    source_ = std::move(source);
    size_ = decoded.size();
    pixels_ = AsDrawn(std::move(decoded), source_);
    decoded_ = true;
}

} // namespace qm
