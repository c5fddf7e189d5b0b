#include "pictures/PngPicture.h"

#include "corvane/Errors.h"
#include "pictures/PictureCache.h"
#include "pictures/PngDecode.h"

#include <optional>
#include <utility>

namespace qm {

namespace {

constexpr const char* kTakePngLocation =
    "TPngPack.TakePNG(ARelaFile: string; bReload: Boolean = False): TPNGObject";
constexpr const char* kImageMalformed = "图片(%s)格式错误: %s";

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
    : name_(std::move(name)), source_(std::move(source)), size_(decoded.size()), pixels_(std::move(decoded)),
      decoded_(true) {}

const QImage& TPngPicture::Pixels() const {
    if (!decoded_) {
        // A picture that cannot be decoded is told once and then drawn as nothing: the error
        // reaches the user from a paint, and a second one from the repaint under the message
        // would stack messages without end.
        decoded_ = true;
        pixels_ = QImage(size_, QImage::Format_ARGB32);
        pixels_.fill(Qt::transparent);
        pixels_ = DecodeForDesk(source_, name_);
    }
    return pixels_;
}

void TPngPicture::Prepare() const {
    if (decoded_)
        return;
    try {
        pixels_ = DecodeForDesk(source_, name_);
        decoded_ = true;
    } catch (const std::exception&) {
        // Raised to the desk when it draws the picture.
    }
}

void TPngPicture::Replace(std::string name, std::string source, QImage decoded) {
    name_ = std::move(name);
    source_ = std::move(source);
    size_ = decoded.size();
    pixels_ = std::move(decoded);
    decoded_ = true;
}

} // namespace qm
